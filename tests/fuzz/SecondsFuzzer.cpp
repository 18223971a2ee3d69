// The seconds reader on any text: the value bit for bit against the extended-precision route
// of DecimalOracle.h, the milliseconds against the FPU's exact product, and not one byte read
// past the terminating NUL.
//
// The text is split into its parts here, by the reading rules alone and without any of the
// reader's code, and the oracle forms the 19-digit truncation from those parts.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "../support/DecimalOracle.h"
#include "Seconds.h"

namespace {

bool IsWhiteSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Exponents are kept below this; any larger one already makes every value we can be given
// (at most a few hundred thousand digits) overflow or underflow, and does so in strtold too.
constexpr std::int64_t kExponentCap = 1000000000000;

enum class Kind { Number, NoNumber, Infinity, NotANumber };

struct Reading {
    Kind kind = Kind::NoNumber;
    bool negative = false;
    DecimalParts parts;
};

// The text as the reading rules see it.
Reading Split(const std::string& text)
{
    Reading reading;
    DecimalParts& parts = reading.parts;
    std::size_t at = 0;
    while (at < text.size() && IsWhiteSpace(text[at]))
        parts.lead += text[at++];
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        parts.sign = text.substr(at, 1);
        reading.negative = text[at] == '-';
        ++at;
        if (text.compare(at, 3, "INF") == 0) {
            reading.kind = Kind::Infinity;
            return reading;
        }
        if (text.compare(at, 3, "NAN") == 0) {
            reading.kind = Kind::NotANumber;
            return reading;
        }
    }
    while (at < text.size() && IsDigit(text[at]))
        parts.integerDigits += text[at++];
    if (at < text.size() && text[at] == '.') {
        parts.point = true;
        ++at;
        while (at < text.size() && IsDigit(text[at]))
            parts.fractionDigits += text[at++];
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty())
        return reading;  // no digit: no number, and no exponent either
    reading.kind = Kind::Number;

    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        std::size_t digitsAt = at + 1;
        bool negativeExponent = false;
        if (digitsAt < text.size() && (text[digitsAt] == '+' || text[digitsAt] == '-'))
            negativeExponent = text[digitsAt++] == '-';
        if (digitsAt < text.size() && IsDigit(text[digitsAt])) {
            std::int64_t value = 0;
            std::size_t end = digitsAt;
            for (; end < text.size() && IsDigit(text[end]); ++end) {
                if (value < kExponentCap)
                    value = value * 10 + (text[end] - '0');
            }
            parts.exponent = text.substr(at, end - at);
            parts.exponentValue = negativeExponent ? -value : value;
        }
    }
    return reading;
}

std::uint64_t Bits(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

[[noreturn]] void Fail(const std::string& text, const char* what, double actual, double expected)
{
    std::fprintf(stderr, "ReadSeconds(\"%s\") (%zu bytes): %s: %a instead of %a\n",
                 text.size() > 200 ? (text.substr(0, 200) + "...").c_str() : text.c_str(),
                 text.size(), what, actual, expected);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The text ends at the first NUL, and the reader gets a buffer that ends there too: a read
    // past it is a heap overflow that AddressSanitizer reports.
    const std::size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    const std::string text(reinterpret_cast<const char*>(data), length);
    const std::unique_ptr<char[]> buffer(new char[length + 1]);
    std::memcpy(buffer.get(), data, length);
    buffer[length] = '\0';

    const double actual = ReadSeconds(buffer.get());
    const std::uint32_t milliseconds = SecondsToMilliseconds(actual);
    if (milliseconds != ExtendedMilliseconds(actual)) {
        std::fprintf(stderr, "SecondsToMilliseconds(%a): %u instead of %u\n", actual,
                     milliseconds, ExtendedMilliseconds(actual));
        std::abort();
    }

    const Reading reading = Split(text);
    switch (reading.kind) {
    case Kind::NoNumber:
        if (Bits(actual) != Bits(0.0))
            Fail(text, "no number", actual, 0.0);
        break;
    case Kind::Infinity: {
        const double expected = reading.negative ? -HUGE_VAL : HUGE_VAL;
        if (Bits(actual) != Bits(expected))
            Fail(text, "an infinity", actual, expected);
        break;
    }
    case Kind::NotANumber:
        if (!std::isnan(actual) || std::signbit(actual) != reading.negative)
            Fail(text, "a NaN of the sign written", actual, std::nan(""));
        break;
    case Kind::Number:
        if (ExtendedOracleAvailable()) {
            const double expected = ExtendedRead(reading.parts.TruncatedText());
            if (Bits(actual) != Bits(expected))
                Fail(text, ("a number, read as " + reading.parts.TruncatedText()).c_str(),
                     actual, expected);
        }
        break;
    }
    return 0;
}
