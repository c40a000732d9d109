// Format texts that come from data (the text table, text resources): the
// game fills whole numbers into them, and a modder's text must not be able
// to make the formatting read what is not there.
#pragma once

#include <span>
#include <string>

// The text with its whole-number conversions (d, i, u, with flags and a
// width) filled from `values` in order; "%%" is a percent sign. Any other
// conversion, and any conversion beyond the values given, is kept as
// written.
std::string FormatWholeNumbers(const char* text, std::span<const int> values);
