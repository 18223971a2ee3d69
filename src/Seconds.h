// Reading the command's argument as seconds, and the seconds as a delay in milliseconds.
//
// Pure: standard library only, no locale, no floating-point environment, no errno; the same
// result on every compiler and processor.
#pragma once

#include <cstdint>

// Reads the leading decimal number of the text as seconds: white space (codes 9 to 13 and 32),
// an optional sign, digits with at most one '.', an optional exponent; "INF" and "NAN" in upper
// case directly after a sign. Only the first 19 significant digits count (the rest are dropped
// unrounded). The value is rounded to a 64-bit significand, then to double, ties to even in
// both. Text that does not start with a number reads as 0; a magnitude too large for a double
// reads as an infinity of its sign.
double ReadSeconds(const char* pszText);

// The seconds times 1000 (exact), truncated toward zero, low 32 bits: negative values and 2^32
// milliseconds or more wrap. 0 when the truncated product does not fit a signed 64-bit integer
// (infinities, NaNs and magnitudes of about 9.22e15 seconds and more).
std::uint32_t SecondsToMilliseconds(double dSeconds);
