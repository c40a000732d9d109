// The recording renderer driver "RECORDING": a driver linked into the
// framework whose renderer draws nothing and writes one line for every call
// the scene layer makes of it (part values, matrix stack, bounds tests,
// model draws, material states, buffers, frame end). It keeps the state a
// caller can read back (the model-to-view matrix with its stack, the
// view-to-screen matrix), so everything above the renderer runs for real.
// Tests pin the scene layer's calls with its log; the software rasteriser
// answers the same calls.
//
// The device holds one renderer facility, "Default-Renderer".
#pragma once

#include <string>
#include <vector>

#include "framework/hx_math.h"
#include "framework/object.h"

inline constexpr const char* kHxRecordingDeviceName = "RECORDING";

hx_object* HxRecordingDriverBegin(const char* arguments);

// The log: on by default; off, the renderer formats nothing.
void HxRecordingLogEnable(bool on);
// The lines written since the last take, which empties the log.
std::vector<std::string> HxRecordingLogTake();

// What bounds tests answer (ACCEPT for every box by default; null restores
// that), and the screen rectangle {min x, min y, max x, max y} the BOUNDS
// part reports.
using hx_recording_bounds_fn = hx_token (*)(const hx_bounds3* box);
void HxRecordingBoundsTestSet(hx_recording_bounds_fn answer);
void HxRecordingScreenRectSet(float minX, float minY, float maxX, float maxY);
// Whether renderers made from now on offer the V1 buckets format (yes by
// default) and store geometry without sharing the prepared block.
void HxRecordingBucketsSet(bool offered);
