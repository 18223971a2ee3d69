// Reading the command's argument as seconds, and the seconds as a delay in milliseconds.
//
// Pure: standard library only, no locale, no floating-point environment, no errno, no heap;
// all arithmetic is done on integers, so the result is the same on every compiler and
// processor, whatever the FPU's precision or rounding mode.
#pragma once

#include <cstdint>

// Reads the leading decimal number of the text as seconds:
// - white space first (codes 9 to 13 and 32, nothing else), then an optional sign;
// - directly after an explicit sign, the upper-case words "INF" and "NAN" read as an infinity
//   or a NaN of that sign (anything may follow them); any other word reads as no number;
// - digits with at most one '.' (first, last or in between), then an optional exponent: 'e'
//   or 'E', an optional sign and digits. An exponent letter without digits is not part of the
//   number ("1e" reads as 1). Reading stops at the first character that does not fit;
// - no digit at all reads as 0.
// Only the first 19 significant digits count; the rest are dropped unrounded, but still move
// the decimal point. The value so formed is rounded to a 64-bit significand, then to double,
// ties to even in both steps (so a value may land on a tie in the first step and be decided
// by the second). A magnitude too large for a double reads as an infinity of its sign, one
// too small as a zero of its sign.
double ReadSeconds(const char* pszText);

// The seconds times 1000 (exact, not rounded), truncated toward zero, low 32 bits: fractions
// of a millisecond are dropped, negative values and 2^32 milliseconds or more wrap. 0 when the
// truncated product does not fit a signed 64-bit integer (infinities, NaNs and magnitudes of
// about 9.22e15 seconds and more), which is what a processor's integer conversion gives with
// its invalid-operation exception masked.
std::uint32_t SecondsToMilliseconds(double dSeconds);
