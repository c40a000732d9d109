// The ship's log.
#pragma once

#include <cstdint>

void ResetShipLog();
void AddShipLogEntry(int16_t kind, const char* subject, const char* text);
void AddShipLogText(int32_t time, const char* text);
void DumpShipLog();
