// An independent route to the value of a decimal text, for tests of the seconds reader.
//
// Where long double is the x87 extended format, the C library's strtold rounds a decimal
// text to 64 bits (ties to even), and converting that to double rounds to 53 bits (ties to
// even, the subnormal range included): the two roundings ReadSeconds must reproduce. The
// caller splits the text into its parts itself; TruncatedText forms the 19-digit truncation
// and hands it to strtold as plain digits with an exponent (no point, so no locale plays a
// part). Likewise an extended product of a double and 1000 is exact, and its conversion to a
// 64-bit integer truncates.
//
// Header only and free of any test framework, so that the unit tests and the fuzzers share it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

inline bool ExtendedOracleAvailable()
{
    return std::numeric_limits<long double>::digits == 64 &&
           std::numeric_limits<long double>::max_exponent == 16384;
}

// A decimal text in parts, so that the expected value can be formed without reading the text.
struct DecimalParts {
    std::string lead;            // white space
    std::string sign;            // "", "+" or "-"
    std::string integerDigits;   // before the point
    bool point = false;
    std::string fractionDigits;  // after the point
    std::string exponent;        // as written: "", or e/E, an optional sign, digits or none
    std::int64_t exponentValue = 0;
    std::string tail;            // text that does not fit a number

    std::string Text() const
    {
        return lead + sign + integerDigits + (point ? "." : "") + fractionDigits + exponent +
               tail;
    }

    // The value as strtold reads it: the first 19 significant digits, as an integer, and the
    // power of ten that puts them in place. Empty when the mantissa has no digit.
    std::string TruncatedText() const
    {
        const std::string digits = integerDigits + fractionDigits;
        if (digits.empty())
            return "";
        const std::size_t first = digits.find_first_not_of('0');
        if (first == std::string::npos)
            return sign + "0";
        const std::string kept = digits.substr(first, 19);
        const std::int64_t scale = exponentValue +
                                   static_cast<std::int64_t>(integerDigits.size()) -
                                   static_cast<std::int64_t>(first) -
                                   static_cast<std::int64_t>(kept.size());
        return (sign == "-" ? "-" : "") + kept + "e" + std::to_string(scale);
    }
};

// The double that the two roundings give for a truncated text; 0 for the empty one.
inline double ExtendedRead(const std::string& truncated)
{
    if (truncated.empty())
        return 0.0;
    return static_cast<double>(std::strtold(truncated.c_str(), nullptr));
}

// The milliseconds of a double by the FPU: the exact extended product, truncated to 64 bits,
// low 32 bits; 0 when the truncated product does not fit a signed 64-bit integer.
inline std::uint32_t ExtendedMilliseconds(double seconds)
{
    const long double product = static_cast<long double>(seconds) * 1000;  // exact
    if (!(product < 0x1p63L && product >= -0x1p63L))
        return 0;
    return static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(static_cast<std::int64_t>(product)));
}
