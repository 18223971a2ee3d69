// Reading the seconds and turning them into milliseconds: tables of texts and values with
// results worked out by hand, then randomized comparisons with an independent route through
// the C library's extended-precision reader and the FPU.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "../support/DecimalOracle.h"
#include "Seconds.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
const double kNan = std::numeric_limits<double>::quiet_NaN();

std::uint64_t Bits(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::string Hex(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

// The same double bit for bit (so 0.0 and -0.0 differ), or NaN for NaN.
testing::AssertionResult SameDouble(double actual, double expected)
{
    if (Bits(actual) == Bits(expected) || (std::isnan(actual) && std::isnan(expected)))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << Hex(actual) << " instead of " << Hex(expected);
}

// A text as a label: control characters and long runs shown so that a trace stays readable.
std::string Printable(const std::string& text)
{
    std::string shown;
    for (char character : text) {
        const auto c = static_cast<unsigned char>(character);
        if (c < 32 || c >= 127) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (shown.size() > 80)
        shown = shown.substr(0, 40) + "...(" + std::to_string(text.size()) + " chars)..." +
                shown.substr(shown.size() - 30);
    return "\"" + shown + "\"";
}

std::uint32_t MillisecondsOf(const std::string& text)
{
    return SecondsToMilliseconds(ReadSeconds(text.c_str()));
}

struct TextToValue {
    std::string text;
    double value;
    const char* why;
};

void ExpectReads(const std::vector<TextToValue>& rows)
{
    for (const TextToValue& row : rows) {
        SCOPED_TRACE(Printable(row.text) + ": " + row.why);
        EXPECT_TRUE(SameDouble(ReadSeconds(row.text.c_str()), row.value));
    }
}

// ---------------------------------------------------------------------------------------------
// The command's argument as milliseconds

TEST(SecondsToMillisecondsOfText, GivesTheDelayOfEachTypicalArgument)
{
    struct Row {
        const char* text;
        std::uint32_t milliseconds;
    };
    const Row rows[] = {
        {"5", 5000},
        {"1.5", 1500},
        {".5", 500},
        {"2.5E-1", 250},
        {"1e1", 10000},
        {"0.001", 1},            // the double lies just above 0.001
        {"0.0005", 0},           // half a millisecond is dropped
        {"0.3", 299},            // the double lies just below 0.3, the exact product below 300
        {"  7", 7000},
        {"1,5", 1000},           // no digit grouping or decimal comma
        {"0x10", 0},             // no hexadecimal form
        {"abc", 0},
        {"INF", 0},              // a word without a sign is no number
        {"inf", 0},
        {"-?", 0},
        {"/h", 0},
        {"", 0},
        {"-1", 4294966296u},     // negative values wrap
        {"4294967.296", 0},      // 2^32 milliseconds wrap to 0
        {"4294967.2975", 1},
        {"3s", 3000},
        {"1e", 1000},
        {"1e+", 1000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Printable(row.text));
        EXPECT_EQ(MillisecondsOf(row.text), row.milliseconds);
    }
}

// ---------------------------------------------------------------------------------------------
// Where the number ends

TEST(ReadSeconds, StopsAtTheFirstCharacterThatDoesNotFit)
{
    ExpectReads({
        {"3s", 3.0, "a unit letter ends the number"},
        {"1,5", 1.0, "a comma ends the number"},
        {"1 2", 1.0, "a blank ends the number"},
        {"1_000", 1.0, "no digit grouping"},
        {"0x10", 0.0, "the x ends the number after 0"},
        {"007", 7.0, "leading zeros"},
        {"5.", 5.0, "the point may stand last"},
        {"+.5", 0.5, "the point may stand first, after a sign"},
        {"-.5", -0.5, "a negative fraction"},
        {"1.25.5", 1.25, "a second point ends the number"},
        {"..5", 0.0, "a second point before any digit leaves no digit"},
        {"1e", 1.0, "an exponent letter without digits adds nothing"},
        {"1E", 1.0, "in either case"},
        {"1e+", 1.0, "nor with a sign"},
        {"1e-", 1.0, "nor with a minus sign"},
        {"1e+-2", 1.0, "only one exponent sign"},
        {"1e 2", 1.0, "no blank inside the exponent"},
        {"1ex", 1.0, "a letter after the exponent letter"},
        {"1e1.5", 10.0, "the exponent has no point"},
        {"2.5E-1", 0.25, "a negative exponent"},
        {"1E+2x", 100.0, "an exponent with a sign, then text"},
        {"0.5e1", 5.0, "exponent and fraction together"},
        {"-0", -0.0, "minus zero keeps its sign"},
        {"-0.000e5", -0.0, "so does a longer zero"},
        {"0", 0.0, "zero"},
        {"", 0.0, "the empty text"},
        {"+", 0.0, "a lone sign"},
        {"-", 0.0, "a lone minus sign is no number: plain zero"},
        {".", 0.0, "a lone point"},
        {"-.", 0.0, "a sign and a point"},
        {"-.e5", 0.0, "no digit, so no exponent either"},
        {"e5", 0.0, "an exponent without a mantissa"},
        {"+-1", 0.0, "only one sign"},
        {"--1", 0.0, "only one sign"},
        {"abc", 0.0, "a word"},
        {"/h", 0.0, "a switch"},
    });
}

TEST(ReadSeconds, SkipsOnlyTabLineFeedVerticalTabFormFeedCarriageReturnAndSpace)
{
    const std::string whiteSpace = "\t\n\v\f\r ";
    for (int code = 1; code < 256; ++code) {
        const char c = static_cast<char>(code);
        SCOPED_TRACE("code " + std::to_string(code));
        const std::string text = std::string(1, c) + "7";
        if (whiteSpace.find(c) != std::string::npos) {
            EXPECT_TRUE(SameDouble(ReadSeconds(text.c_str()), 7.0));
            EXPECT_TRUE(SameDouble(ReadSeconds((std::string(3, c) + "-7").c_str()), -7.0));
        } else if (std::string("0123456789.+-").find(c) == std::string::npos) {
            // Any other byte, 0x1C to 0x1F, 0x85 and 0xA0 included, is the first character
            // that does not fit: no number.
            EXPECT_TRUE(SameDouble(ReadSeconds(text.c_str()), 0.0));
        }
    }
    ExpectReads({
        {"\t\n\v\f\r 2.5", 2.5, "all six together"},
        {"- 7", 0.0, "no white space after the sign"},
        {"+\t7", 0.0, "not even a tab"},
    });
}

// ---------------------------------------------------------------------------------------------
// The 19 significant digits

TEST(ReadSeconds, KeepsTheFirstNineteenSignificantDigitsUnrounded)
{
    const double nineteen = ReadSeconds("0.1234567890123456789");
    EXPECT_TRUE(SameDouble(ReadSeconds("0.12345678901234567899"), nineteen));
    EXPECT_TRUE(SameDouble(ReadSeconds("0.1234567890123456789999999"), nineteen));

    // 2^63 + 1024 = 9223372036854776832 lies halfway between the doubles 2^63 and 2^63 + 2048
    // and goes to the even one, 2^63. A 20th digit would put the value above the tie, but it
    // is dropped, not rounded; as a 19th digit the same step does move it.
    ExpectReads({
        {"9223372036854776832", 0x1p63, "the tie itself goes to even"},
        {"9223372036854776832.9", 0x1p63, "a 20th digit is dropped"},
        {"9223372036854776832999e-3", 0x1p63, "a 22-digit integer keeps 19 digits, times 1000"},
        {"9223372036854776833", 0x1.0000000000001p63, "a 19th digit counts"},
        {"9223372036854776833999e-3", 0x1.0000000000001p63, "and stays counted"},
        {"000000000000000000009223372036854776832.9", 0x1p63,
         "leading zeros are not significant digits"},
        {"0.00000000000000000000009223372036854776833e41", 0x1.0000000000001p63,
         "nor are zeros right after the point, which still move it"},
    });

    // Dropped digits still count for the position of the decimal point.
    EXPECT_TRUE(SameDouble(ReadSeconds("1234567890123456789999"),
                           ReadSeconds("1234567890123456789e3")));
    EXPECT_TRUE(SameDouble(ReadSeconds("123456789012345678901234.5"),
                           ReadSeconds("1234567890123456789e5")));
    EXPECT_TRUE(SameDouble(ReadSeconds("0.000123456789012345678901234"),
                           ReadSeconds("1234567890123456789e-22")));
}

TEST(ReadSeconds, PlacesThePointOfVeryLongDigitStrings)
{
    const std::string zeros(100000, '0');
    ExpectReads({
        {"0." + zeros + "5e100001", 5.0, "a hundred thousand zeros after the point"},
        {"1" + zeros + "e-100000", 1.0, "a hundred thousand dropped digits before it"},
        {"1" + zeros + "e-99999999999999999999", 0.0, "dropped digits against a huge exponent"},
        {"0." + zeros + "1e99999999999999999999", kInfinity, "and the other way round"},
        {"0." + zeros + "1", 0.0, "too small without an exponent"},
        {"-1" + zeros, -kInfinity, "too large without an exponent"},
    });
}

// ---------------------------------------------------------------------------------------------
// Words after a sign

TEST(ReadSeconds, ReadsUpperCaseInfAndNanOnlyDirectlyAfterASign)
{
    ExpectReads({
        {"+INF", kInfinity, "infinity of the sign written"},
        {"-INF", -kInfinity, "negative infinity"},
        {" \t-INF", -kInfinity, "after white space"},
        {"+INFINITY", kInfinity, "starts with INF; the rest is ignored like any trailing text"},
        {"-INFx", -kInfinity, "trailing text"},
        {"INF", 0.0, "no sign"},
        {"NAN", 0.0, "no sign"},
        {"+inf", 0.0, "lower case"},
        {"+Inf", 0.0, "mixed case"},
        {"+iNF", 0.0, "mixed case"},
        {"+NaN", 0.0, "mixed case"},
        {"-nan", 0.0, "lower case"},
        {"+IN", 0.0, "an incomplete word"},
        {"+I", 0.0, "an incomplete word"},
        {"+NA", 0.0, "an incomplete word"},
        {"+N", 0.0, "an incomplete word"},
        {"+ INF", 0.0, "a blank between sign and word"},
        {"++INF", 0.0, "two signs"},
        {"+-INF", 0.0, "two signs"},
        {"+0INF", 0.0, "a digit first: the number 0"},
        {"1INF", 1.0, "the word ends a number"},
    });

    for (const char* text : {"+NAN", "-NAN", "+NAN(1)", "-NANQ"}) {
        SCOPED_TRACE(text);
        const double value = ReadSeconds(text);
        EXPECT_TRUE(std::isnan(value));
        EXPECT_EQ(std::signbit(value), text[0] == '-') << "a NaN of the sign written";
    }

    for (const char* text : {"+INF", "-INF", "+NAN", "-NAN"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(MillisecondsOf(text), 0u);
    }
}

// ---------------------------------------------------------------------------------------------
// Rounding: 64 bits first, then 53

TEST(ReadSeconds, RoundsToSixtyFourBitsThenToDoubleTiesToEvenInBoth)
{
    // Each text lies close enough to a point halfway between two doubles that the 64-bit
    // rounding lands exactly on it, and the second rounding then picks the even double,
    // where a single correct rounding would pick the other neighbour (named in each row).
    ExpectReads({
        {"-5e125", -0x1.7a2ecc414a04p+417,
         "an exact integer (5^126 * 2^125) just above a tie; one rounding: ...3fp+417"},
        {"1.769746054070134050e+28", 0x1.c977f852482e2p+93,
         "just above a tie; one rounding: ...e1p+93"},
        {"9.230444538765227922e+307", 0x1.06e44c242b192p+1023,
         "in the top binade; one rounding: ...191p+1023"},
        {"1.136400659831277812e+308", 0x1.43a85bd6576fcp+1023,
         "just below a tie, in the top binade; one rounding: ...fdp+1023"},
        {"7.437116156527959870e-309", 0x0.5590d6c319718p-1022,
         "between subnormals; one rounding: ...719p-1022"},
        {"2.225073858507201136e-308", 0x1p-1022,
         "just below halfway from the largest subnormal to the smallest normal, which wins; "
         "one rounding: 0x0.fffffffffffffp-1022"},
        {"2.470328229206232721e-324", 0.0,
         "just above 2^-1075, halfway from 0 to the smallest subnormal; one rounding: 0x1p-1074"},
        {"29514790517941905e4", 0x1.00000000003f2p+68,
         "an exact integer halfway between two 64-bit values: the even one is a double tie, "
         "settled to even; one rounding (and a first rounding away from zero): ...3f3p+68"},
    });

    // Ties in the decimal text itself, exact in 64 bits: one rounding to even.
    ExpectReads({
        {"9007199254740993", 0x1p53, "2^53 + 1: between 2^53 and 2^53 + 2, to the even one"},
        {"9007199254740995", 0x1.0000000000002p53, "2^53 + 3: to 2^53 + 4"},
        {"4503599627370496.5", 0x1p52, "2^52 + 1/2: to 2^52"},
        {"4503599627370497.5", 0x1.0000000000002p52, "2^52 + 3/2: to 2^52 + 2"},
        {"-4503599627370497.5", -0x1.0000000000002p52, "the same below zero"},
    });
}

TEST(ReadSeconds, UnderflowsToZeroAndOverflowsToInfinityAtTheDoubleBoundaries)
{
    ExpectReads({
        {"1e-400", 0.0, "far below the smallest subnormal"},
        {"-1e-400", -0.0, "a zero keeps its sign"},
        {"1e400", kInfinity, "far above the largest double"},
        {"-1e400", -kInfinity, "an infinity of its sign"},
        {"1.7976931348623157e308", DBL_MAX, "the largest double"},
        {"1.7976931348623158e308", DBL_MAX, "still below halfway to 2^1024"},
        {"1.797693134862315807e308", DBL_MAX, "just below halfway to 2^1024"},
        {"1.797693134862315808e308", kInfinity, "just above halfway to 2^1024"},
        {"1.7976931348623159e308", kInfinity, "above halfway to 2^1024"},
        {"-1.797693134862315808e308", -kInfinity, "the same below zero"},
        {"2.2250738585072014e-308", 0x1p-1022, "the smallest normal"},
        {"2.2250738585072009e-308", 0x0.fffffffffffffp-1022, "the largest subnormal"},
        {"4.9406564584124654e-324", 0x1p-1074, "the smallest subnormal"},
        {"3e-324", 0x1p-1074, "above half the smallest subnormal"},
        {"2.470328229206232722e-324", 0x1p-1074, "just above 2^-1075, beyond the 64-bit tie"},
        {"2.4703282292062327e-324", 0.0, "just below 2^-1075"},
        {"1e-323", 0x1p-1073, "two units of the subnormal range"},
        {"9999999999999999999e-343", 0.0, "below 10^-324"},
        {"-9999999999999999999e-343", -0.0, "the same below zero"},
        {"100000000000000000000e-342", 1e-322, "1e-322 written with dropped digits"},
        {"1e308", 1e308, "a large power of ten"},
        {"0.01e310", 1e308, "the same, written with a larger exponent"},
        {"10e308", kInfinity, "above the largest double"},
        {"0.00000000000000000001e328", 1e308, "zeros after the point against the exponent"},
    });
}

TEST(ReadSeconds, SaturatesExponentsWrittenWithHugeDigitStrings)
{
    ExpectReads({
        {"1e99999999999999999999", kInfinity, "a 20-digit exponent"},
        {"-1e99999999999999999999", -kInfinity, "the same below zero"},
        {"1e-99999999999999999999", 0.0, "a 20-digit negative exponent"},
        {"-1e-99999999999999999999", -0.0, "a zero of its sign"},
        {"0e99999999999999999999", 0.0, "zero stays zero"},
        {"1e2147483648", kInfinity, "just beyond a 32-bit int"},
        {"1e-2147483649", 0.0, "just beyond a 32-bit int"},
        {"1e9223372036854775808", kInfinity, "just beyond a 64-bit integer"},
        {"1e+" + std::string(5000, '9'), kInfinity, "five thousand exponent digits"},
        {"1e-" + std::string(5000, '9'), 0.0, "five thousand exponent digits"},
        {"1e+" + std::string(5000, '0') + "2", 100.0, "leading zeros in the exponent"},
    });
}

// ---------------------------------------------------------------------------------------------
// Seconds to milliseconds

TEST(SecondsToMilliseconds, TruncatesTheExactProductAndKeepsItsLowThirtyTwoBits)
{
    struct Row {
        double seconds;
        std::uint32_t milliseconds;
        const char* why;
    };
    const Row rows[] = {
        {0.0, 0, "zero"},
        {-0.0, 0, "minus zero"},
        {0x1p-1074, 0, "the smallest subnormal"},
        {-0x1p-1074, 0, "below zero"},
        {0x1p-1022, 0, "the smallest normal"},
        {0x1p-10, 0, "0.9765625 milliseconds"},
        {0.0015, 1, "truncated, not rounded"},
        {2.5, 2500, "exact"},
        {0.3, 299, "299.99999999999998889...: the product is not rounded to double (300)"},
        {0.001, 1, "1.0000000000000000208..."},
        {-0.0005, 0, "toward zero"},
        {-0.001, 0xFFFFFFFFu, "-1.00000000000000002...: -1, wrapped"},
        {-1.0, 4294966296u, "-1000, wrapped"},
        {4294967.5, 204, "2^32 + 204"},
        {4503599627370495.5, static_cast<std::uint32_t>(4503599627370495500u),
         "2^52 - 1/2: a fraction of a second at the top of the fraction range"},
        {9.2e15, static_cast<std::uint32_t>(9200000000000000000u), "fits 64 bits"},
        {-9.2e15, static_cast<std::uint32_t>(0 - 9200000000000000000u), "fits 64 bits"},
        // 2^63 / 1000 = 9223372036854775.808; the doubles next to it are 9223372036854774
        // and 9223372036854776 (the spacing is 2 there).
        {9223372036854774.0, static_cast<std::uint32_t>(9223372036854774000u),
         "the largest double whose product fits"},
        {-9223372036854774.0, static_cast<std::uint32_t>(0 - 9223372036854774000u),
         "the smallest one below zero"},
        {9223372036854776.0, 0, "the next double: the product is above 2^63"},
        {-9223372036854776.0, 0, "below -2^63"},
        {9.3e15, 0, "too large"},
        {-9.3e15, 0, "too large"},
        {0x1p63, 0, "too large"},
        {1e300, 0, "too large"},
        {-1e300, 0, "too large"},
        {DBL_MAX, 0, "too large"},
        {kInfinity, 0, "infinity"},
        {-kInfinity, 0, "negative infinity"},
        {kNan, 0, "NaN"},
        {-kNan, 0, "NaN with the sign bit"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Hex(row.seconds) + ": " + row.why);
        EXPECT_EQ(SecondsToMilliseconds(row.seconds), row.milliseconds);
    }
}

// ---------------------------------------------------------------------------------------------
// Randomized comparison with an independent route
//
// The expected values come from DecimalOracle.h: the C library's extended-precision reader on
// the 19-digit truncation, which the test forms from the parts it generated, and the FPU's
// exact extended product for the milliseconds.

class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}

    std::int64_t Between(std::int64_t low, std::int64_t high)
    {
        return std::uniform_int_distribution<std::int64_t>(low, high)(engine_);
    }
    bool Chance(int percent) { return Between(0, 99) < percent; }
    std::uint64_t Bits64() { return engine_(); }

    std::string Digits(std::int64_t count)
    {
        std::string digits;
        for (std::int64_t i = 0; i < count; ++i)
            digits += static_cast<char>('0' + Between(0, 9));
        return digits;
    }

    template <typename T>
    T Pick(const std::vector<T>& choices)
    {
        return choices[static_cast<std::size_t>(
            Between(0, static_cast<std::int64_t>(choices.size()) - 1))];
    }

private:
    std::mt19937_64 engine_;
};

void WriteExponent(Random& random, std::int64_t value, DecimalParts& parts)
{
    parts.exponentValue = value;
    parts.exponent = random.Chance(50) ? "e" : "E";
    if (value < 0)
        parts.exponent += "-";
    else if (random.Chance(30))
        parts.exponent += "+";
    if (random.Chance(5))
        parts.exponent += std::string(static_cast<std::size_t>(random.Between(1, 25)), '0');
    parts.exponent += std::to_string(value < 0 ? -value : value);
}

DecimalParts RandomDecimal(Random& random)
{
    DecimalParts parts;
    if (random.Chance(10))
        parts.lead = random.Pick<std::string>({" ", "\t", "  ", "\r\n"});
    parts.sign = random.Pick<std::string>({"", "+", "-"});

    if (random.Chance(20))
        parts.integerDigits = std::string(static_cast<std::size_t>(random.Between(1, 4)), '0');
    parts.integerDigits += random.Digits(random.Between(0, random.Chance(50) ? 25 : 8));
    parts.point = random.Chance(60);
    if (parts.point) {
        if (random.Chance(25))
            parts.fractionDigits = std::string(static_cast<std::size_t>(random.Between(1, 30)), '0');
        parts.fractionDigits += random.Digits(random.Between(0, random.Chance(50) ? 25 : 8));
    }

    // Aim the exponent at a magnitude across the whole double range and somewhat beyond, with
    // now and then a far one, so that subnormals, underflow and overflow all come up.
    if (random.Chance(85)) {
        const std::string digits = parts.integerDigits + parts.fractionDigits;
        const std::size_t first = digits.find_first_not_of('0');
        const std::int64_t leading =
            first == std::string::npos
                ? 0
                : static_cast<std::int64_t>(parts.integerDigits.size()) -
                      static_cast<std::int64_t>(first);
        const std::int64_t target =
            random.Chance(90) ? random.Between(-345, 330) : random.Between(-6000, 6000);
        WriteExponent(random, target - leading, parts);
    } else if (random.Chance(30)) {
        parts.exponent = random.Pick<std::string>({"e", "E", "e+", "E-"});  // no digits
    }

    if (random.Chance(10))
        parts.tail = random.Pick<std::string>({"s", " 1", ",5", "x9", "/"});
    return parts;
}

TEST(ReadSecondsAgainstExtendedPrecision, AgreesOnRandomDecimalTexts)
{
    if (!ExtendedOracleAvailable())
        GTEST_SKIP() << "long double is not the x87 extended format here";

    Random random(0x5EC0D5);
    for (int i = 0; i < 60000; ++i) {
        const DecimalParts parts = RandomDecimal(random);
        const std::string text = parts.Text();
        const std::string truncated = parts.TruncatedText();
        const double expected = ExtendedRead(truncated);
        const double actual = ReadSeconds(text.c_str());
        ASSERT_TRUE(SameDouble(actual, expected))
            << Printable(text) << " (read by strtold as " << truncated << ")";
    }
}

TEST(ReadSecondsAgainstExtendedPrecision, AgreesNextToPointsHalfwayBetweenDoubles)
{
    if (!ExtendedOracleAvailable())
        GTEST_SKIP() << "long double is not the x87 extended format here";

    // The point halfway between a double and the next one is exact in extended precision; its
    // nearest 19- and 22-digit decimals lie close beside it, often close enough that the
    // 64-bit rounding lands on it and the tie decides.
    Random random(0x7135);
    int decidedByTheSecondRounding = 0;
    for (int i = 0; i < 20000; ++i) {
        std::uint64_t bits;
        switch (i % 4) {
        case 0: bits = random.Bits64() & 0x7FEFFFFFFFFFFFFF; break;  // any finite double
        case 1: bits = random.Bits64() & 0x000FFFFFFFFFFFFF; break;  // subnormal
        case 2: bits = (0x7FEull << 52) | (random.Bits64() & 0x000FFFFFFFFFFFFF); break;
        default: bits = (0x001ull << 52) - 8 + (random.Bits64() & 15); break;  // subnormal to normal
        }
        double low;
        std::memcpy(&low, &bits, sizeof low);
        const long double high =
            bits == 0x7FEFFFFFFFFFFFFF ? std::ldexp(1.0L, 1024) : std::nextafter(low, kInfinity);
        const long double halfway = (static_cast<long double>(low) + high) / 2;

        for (int precision : {18, 21}) {
            char printed[64];
            std::snprintf(printed, sizeof printed, "%.*Le", precision, halfway);
            // "d.ddd...e+xx" in parts.
            DecimalParts parts;
            parts.sign = random.Pick<std::string>({"", "-"});
            parts.integerDigits = std::string(printed, 1);
            parts.point = true;
            const char* e = std::strchr(printed, 'e');
            parts.fractionDigits = std::string(static_cast<const char*>(printed) + 2, e);
            parts.exponentValue = std::strtoll(e + 1, nullptr, 10);
            parts.exponent = e;

            const std::string text = parts.Text();
            const std::string truncated = parts.TruncatedText();
            const double expected = ExtendedRead(truncated);
            ASSERT_TRUE(SameDouble(ReadSeconds(text.c_str()), expected))
                << Printable(text) << " (read by strtold as " << truncated << ")";
            if (!SameDouble(std::strtod(truncated.c_str(), nullptr), expected))
                ++decidedByTheSecondRounding;
        }
    }
    // The sample really holds cases where one correct rounding would differ.
    EXPECT_GT(decidedByTheSecondRounding, 1000);
}

TEST(SecondsToMillisecondsAgainstExtendedPrecision, AgreesOnRandomDoubles)
{
    if (!ExtendedOracleAvailable())
        GTEST_SKIP() << "long double is not the x87 extended format here";

    Random random(0x3E3);
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t bits = random.Bits64();
        if (!random.Chance(5)) {
            // Mostly magnitudes from 2^-20 to 2^64 seconds, around the wrap and the limit.
            const std::uint64_t exponent = static_cast<std::uint64_t>(random.Between(1003, 1087));
            bits = (bits & 0x800FFFFFFFFFFFFF) | (exponent << 52);
        }
        double seconds;
        std::memcpy(&seconds, &bits, sizeof seconds);

        ASSERT_EQ(SecondsToMilliseconds(seconds), ExtendedMilliseconds(seconds)) << Hex(seconds);
    }
}

}  // namespace
