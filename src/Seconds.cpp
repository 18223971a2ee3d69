// Reading the seconds exactly, with integers only.
//
// The text is scanned into a sign, an integer of at most 19 decimal digits and a power of
// ten. That number is rounded to a 64-bit significand with a big integer on the stack (an
// exact product for non-negative powers of ten, an exact quotient and remainder for negative
// ones), and the 64-bit significand is rounded to a double with plain 64-bit arithmetic. No
// floating-point operation takes part, so neither the FPU's precision, its rounding mode nor
// its exception masks can change a result.
#include "Seconds.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// ---------------------------------------------------------------------------------------------
// Doubles as bits

constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63;  // of a double
constexpr std::uint64_t kInfinityBits = 0x7FF0000000000000;
constexpr std::uint64_t kQuietNanBits = 0x7FF8000000000000;
constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t kHiddenBit = std::uint64_t{1} << 52;

double FromBits(std::uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint64_t ToBits(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double WithSign(std::uint64_t magnitudeBits, bool negative)
{
    return FromBits(negative ? (magnitudeBits | kSignBit) : magnitudeBits);
}

// ---------------------------------------------------------------------------------------------
// A fixed-size unsigned big integer
//
// The largest numbers formed are (see ReadSeconds for the bounds on the power of ten):
// - a product below 10^19 * 10^308 < 2^64 * 2^1024 = 2^1088;
// - a dividend and a shifted divisor below 2^66 * 10^342 < 2^66 * 2^1137 = 2^1203.
// 40 limbs of 32 bits (1280 bits) hold both, so no operation below ever carries out of the
// top limb.

class BigUInt {
public:
    explicit BigUInt(std::uint64_t value) : limbs_{}
    {
        limbs_[0] = static_cast<std::uint32_t>(value);
        limbs_[1] = static_cast<std::uint32_t>(value >> 32);
    }

    // *this *= factor. Exact: a limb times a 32-bit factor plus a 32-bit carry is at most
    // (2^32 - 1)^2 + (2^32 - 1) < 2^64.
    void MultiplyBy(std::uint32_t factor)
    {
        std::uint64_t carry = 0;
        for (std::uint32_t& limb : limbs_) {
            const std::uint64_t product = std::uint64_t{limb} * factor + carry;
            limb = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
    }

    // *this *= 10^exponent, nine decimal places at a time (10^9 < 2^32).
    void MultiplyByPowerOfTen(int exponent)
    {
        static constexpr std::uint32_t kPowersOfTen[] = {
            1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
        for (; exponent >= 9; exponent -= 9)
            MultiplyBy(kPowersOfTen[9]);
        MultiplyBy(kPowersOfTen[exponent]);
    }

    // *this *= 2^bits.
    void ShiftLeft(int bits)
    {
        const int limbShift = bits / 32;
        const int bitShift = bits % 32;
        for (int i = kLimbs - 1; i >= 0; --i) {
            const int from = i - limbShift;
            std::uint32_t limb = from >= 0 ? limbs_[Index(from)] << bitShift : 0;
            if (bitShift != 0 && from >= 1)
                limb |= limbs_[Index(from - 1)] >> (32 - bitShift);
            limbs_[Index(i)] = limb;
        }
    }

    // *this = floor(*this / 2).
    void ShiftRightOne()
    {
        for (int i = 0; i < kLimbs; ++i) {
            std::uint32_t limb = limbs_[Index(i)] >> 1;
            if (i + 1 < kLimbs)
                limb |= limbs_[Index(i + 1)] << 31;
            limbs_[Index(i)] = limb;
        }
    }

    // *this -= other; only called with other <= *this, so the final borrow is 0.
    void Subtract(const BigUInt& other)
    {
        std::uint32_t borrow = 0;
        for (int i = 0; i < kLimbs; ++i) {
            const std::uint64_t subtrahend = std::uint64_t{other.limbs_[Index(i)]} + borrow;
            const std::uint64_t minuend = limbs_[Index(i)];
            borrow = minuend < subtrahend ? 1 : 0;
            limbs_[Index(i)] =
                static_cast<std::uint32_t>((minuend | (std::uint64_t{borrow} << 32)) - subtrahend);
        }
    }

    bool IsAtLeast(const BigUInt& other) const
    {
        for (int i = kLimbs - 1; i >= 0; --i) {
            if (limbs_[Index(i)] != other.limbs_[Index(i)])
                return limbs_[Index(i)] > other.limbs_[Index(i)];
        }
        return true;
    }

    bool IsZero() const
    {
        for (std::uint32_t limb : limbs_) {
            if (limb != 0)
                return false;
        }
        return true;
    }

    // The number of bits up to and including the highest set one; 0 for zero.
    int BitLength() const
    {
        for (int i = kLimbs - 1; i >= 0; --i) {
            std::uint32_t limb = limbs_[Index(i)];
            if (limb != 0) {
                int length = 32 * i;
                for (; limb != 0; limb >>= 1)
                    ++length;
                return length;
            }
        }
        return 0;
    }

    bool Bit(int position) const
    {
        return ((limbs_[Index(position / 32)] >> (position % 32)) & 1) != 0;
    }

    void SetBit(int position)
    {
        limbs_[Index(position / 32)] |= std::uint32_t{1} << (position % 32);
    }

    // Whether any bit below the position is set.
    bool AnyBitBelow(int position) const
    {
        const int limb = position / 32;
        for (int i = 0; i < limb; ++i) {
            if (limbs_[Index(i)] != 0)
                return true;
        }
        const std::uint32_t mask = (std::uint32_t{1} << (position % 32)) - 1;
        return (limbs_[Index(limb)] & mask) != 0;
    }

private:
    static constexpr int kLimbs = 40;

    static std::size_t Index(int i) { return static_cast<std::size_t>(i); }

    std::array<std::uint32_t, kLimbs> limbs_;  // least significant first
};

// ---------------------------------------------------------------------------------------------
// First rounding: to a 64-bit significand

// A value significand * 2^exponent with the significand's top bit set (2^63 <= significand
// < 2^64): a number of extended precision. Its exponent needs no bound of its own: the values
// that reach it lie between 10^-342 > 2^-1137 and 2^1088, far inside the extended range
// (2^-16382 to 2^16384), so the extended format neither overflows nor goes subnormal here.
struct Extended {
    std::uint64_t significand;
    std::int64_t exponent;
};

constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;

// Rounds n + f to 64 significant bits, ties to even, where n > 0 and 0 <= f < 1 is a fraction
// known only as zero or not (fractionNonZero). The fraction can only act as a sticky bit
// when n has more than 64 bits; callers pass a nonzero one only then.
Extended RoundTo64Bits(const BigUInt& n, bool fractionNonZero)
{
    const int length = n.BitLength();
    const int dropped = length - 64;  // bits below the significand; negative: n fits as it is

    std::uint64_t significand = 0;
    for (int i = length - 1; i >= 0 && i >= dropped; --i)
        significand = (significand << 1) | (n.Bit(i) ? 1u : 0u);
    if (dropped <= 0)
        return {significand << -dropped, dropped};  // exact, nothing to round

    // The dropped part compared with half a unit of the last kept bit: the highest dropped bit
    // is the half, everything below it (and the fraction) says "more than half".
    const bool half = n.Bit(dropped - 1);
    const bool belowHalf = fractionNonZero || n.AnyBitBelow(dropped - 1);
    std::int64_t exponent = dropped;
    if (half && (belowHalf || (significand & 1) != 0)) {
        ++significand;
        if (significand == 0) {  // carried out of 64 bits: 2^64 is 2^63 one binade up
            significand = kTopBit;
            ++exponent;
        }
    }
    return {significand, exponent};
}

// digits * 10^exponent for 0 <= exponent <= 308, rounded to 64 bits: the product is an
// integer, formed exactly.
Extended RoundProduct(std::uint64_t digits, int exponent)
{
    BigUInt n(digits);
    n.MultiplyByPowerOfTen(exponent);
    return RoundTo64Bits(n, false);
}

int BitLength(std::uint64_t value)
{
    int length = 0;
    for (; value != 0; value >>= 1)
        ++length;
    return length;
}

// digits / 10^exponent for 1 <= exponent <= 342, rounded to 64 bits.
//
// With D = 10^exponent, take q = floor(digits * 2^k / D) and r = its remainder for a k that
// makes q 65 or 66 bits long: then digits / D = (q + r / D) * 2^-k, q holds the 64 bits of
// the significand and the rounding bit, and r / D is a fraction that only says whether
// anything lies below them. Both are exact integers.
Extended RoundQuotient(std::uint64_t digits, int exponent)
{
    BigUInt divisor(1);
    divisor.MultiplyByPowerOfTen(exponent);

    // With 2^(m-1) <= digits < 2^m and 2^(d-1) <= D < 2^d, k = 65 + d - m gives
    // 2^64 = 2^(m-1+k) / 2^d < digits * 2^k / D < 2^(m+k) / 2^(d-1) = 2^66,
    // so 2^64 <= q < 2^66.
    const int k = 65 + divisor.BitLength() - BitLength(digits);
    BigUInt remainder(digits);
    remainder.ShiftLeft(k);

    // Binary long division: step i takes D * 2^i away when it fits. The remainder starts below
    // D * 2^66 (q < 2^66) and stays below D * 2^i after step i, so each quotient bit is 0 or 1
    // and the bits found are exactly q.
    BigUInt quotient(0);
    divisor.ShiftLeft(65);
    for (int i = 65; i >= 0; --i) {
        if (remainder.IsAtLeast(divisor)) {
            remainder.Subtract(divisor);
            quotient.SetBit(i);
        }
        divisor.ShiftRightOne();  // exact: D * 2^i with i >= 1 is even; the last shift is unused
    }

    Extended rounded = RoundTo64Bits(quotient, !remainder.IsZero());
    rounded.exponent -= k;
    return rounded;
}

// ---------------------------------------------------------------------------------------------
// Second rounding: to a double

// Rounds significand * 2^exponent to the nearest double, ties to even, including the
// subnormal range (units of 2^-1074) and overflow to infinity. Gives the bits of the
// magnitude.
std::uint64_t RoundToDouble(Extended value)
{
    // The value's top bit stands for 2^top.
    std::int64_t top = value.exponent + 63;

    if (top >= -1022) {
        // A normal double keeps the top 53 of the 64 bits; the 11 dropped bits are compared
        // with half a unit of the last kept one (0x400).
        std::uint64_t kept = value.significand >> 11;
        const std::uint64_t rest = value.significand & 0x7FF;
        if (rest > 0x400 || (rest == 0x400 && (kept & 1) != 0)) {
            ++kept;
            if (kept == kHiddenBit << 1) {  // 2^53 is 2^52 one binade up
                kept = kHiddenBit;
                ++top;
            }
        }
        if (top > 1023)
            return kInfinityBits;  // 2^1024 or more
        return (static_cast<std::uint64_t>(top + 1023) << 52) | (kept & kFractionMask);
    }

    // Below 2^-1022 a double counts whole units of 2^-1074, so the bits below 2^-1074 are
    // dropped: dropped = -1074 - exponent, which is at least 12 here since top < -1022.
    const std::int64_t dropped = -1074 - value.exponent;
    if (dropped > 64)
        return 0;  // value < 2^64 * 2^(-1074-65) = 2^-1075, below half the smallest subnormal
    const int shift = static_cast<int>(dropped);
    std::uint64_t kept = shift == 64 ? 0 : value.significand >> shift;
    const std::uint64_t rest =
        shift == 64 ? value.significand : value.significand & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (kept & 1) != 0))
        ++kept;  // reaching 2^52 gives the bits of 2^-1022, the smallest normal double
    return kept;
}

// ---------------------------------------------------------------------------------------------
// Scanning the text

constexpr int kSignificantDigits = 19;  // 10^19 - 1 < 2^64: they fit one 64-bit integer

// Beyond these powers of ten no 19-digit number needs exact work:
// - digits * 10^e >= 10^309 > 2^1024 for e > 308: infinity after both roundings (2^1024 is
//   itself a 64-bit value, so the first rounding cannot bring the value below it);
// - digits * 10^e < 10^19 * 10^-343 = 10^-324 < 2^-1076 for e < -342: the first rounding
//   gives at most 2^-1076, which is below half the smallest subnormal (2^-1075), so 0.
constexpr std::int64_t kLargestExactExponent = 308;
constexpr std::int64_t kSmallestExactExponent = -342;

// Written exponents saturate here. Only the digit count of the mantissa can offset a written
// exponent, and no text in memory has anywhere near 10^17 digits, so a saturated exponent
// still lands beyond the bounds above with the same sign.
constexpr std::int64_t kExponentSaturation = 100000000000000000;  // 10^17

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');  // codes 9 to 13 and 32
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWith(const char* text, const char* word)
{
    return std::strncmp(text, word, std::strlen(word)) == 0;
}

}  // namespace

double ReadSeconds(const char* pszText)
{
    const char* p = pszText;
    while (IsSpace(*p))
        ++p;

    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
        // Only after an explicit sign, and only in upper case.
        if (StartsWith(p, "INF"))
            return WithSign(kInfinityBits, negative);
        if (StartsWith(p, "NAN"))
            return WithSign(kQuietNanBits, negative);
    }

    // The mantissa as digits * 10^exponent. Leading zeros only move the point; of the
    // significant digits the first 19 are kept, a dropped one before the point multiplies the
    // value by ten and a dropped one after it changes nothing.
    std::uint64_t digits = 0;
    int significantDigits = 0;
    std::int64_t exponent = 0;  // grows by one per character at most: cannot overflow
    bool anyDigit = false;
    bool afterPoint = false;
    for (;; ++p) {
        if (IsDigit(*p)) {
            anyDigit = true;
            const unsigned digit = static_cast<unsigned>(*p - '0');
            if (significantDigits == 0 && digit == 0) {
                if (afterPoint)
                    --exponent;
            } else if (significantDigits < kSignificantDigits) {
                digits = digits * 10 + digit;
                ++significantDigits;
                if (afterPoint)
                    --exponent;
            } else if (!afterPoint) {
                ++exponent;
            }
        } else if (*p == '.' && !afterPoint) {
            afterPoint = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return 0.0;  // no number at all: a plain zero, whatever sign was written

    // The exponent: the letter, an optional sign, digits. Without digits the letter is just
    // the first character that does not fit, and the loop adds nothing.
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        const bool negativeExponent = *q == '-';
        if (*q == '+' || *q == '-')
            ++q;
        std::int64_t written = 0;
        for (; IsDigit(*q); ++q) {
            if (written < kExponentSaturation)
                written = written * 10 + (*q - '0');
        }
        exponent += negativeExponent ? -written : written;
    }

    if (digits == 0 || exponent < kSmallestExactExponent)
        return WithSign(0, negative);
    if (exponent > kLargestExactExponent)
        return WithSign(kInfinityBits, negative);

    const int exactExponent = static_cast<int>(exponent);
    const Extended extended = exactExponent >= 0 ? RoundProduct(digits, exactExponent)
                                                 : RoundQuotient(digits, -exactExponent);
    return WithSign(RoundToDouble(extended), negative);
}

std::uint32_t SecondsToMilliseconds(double dSeconds)
{
    const std::uint64_t bits = ToBits(dSeconds);
    const bool negative = (bits & kSignBit) != 0;
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);

    if (biasedExponent == 0x7FF)
        return 0;  // infinity or NaN: no integer result
    if (biasedExponent == 0)
        return 0;  // zero or subnormal: the magnitude is below 2^-1022, the product below 1

    // |dSeconds| = significand * 2^shift with 2^52 <= significand < 2^53, so
    // |dSeconds| * 1000 = (significand * 1000) * 2^shift with significand * 1000 < 2^63.
    const std::uint64_t product = ((bits & kFractionMask) | kHiddenBit) * 1000;
    const int shift = biasedExponent - 1075;

    std::uint64_t magnitude;  // |the product truncated toward zero|, below 2^63
    if (shift >= 0) {
        // An integer already; it fits a signed 64-bit integer only below 2^63. (Exactly -2^63
        // would fit too, but it cannot occur: 125 divides the product, so it is never a power
        // of two. Its low 32 bits would be 0 anyway.)
        if (shift >= 63 || (product >> (63 - shift)) != 0)
            return 0;
        magnitude = product << shift;
    } else {
        // Shifting the magnitude right drops the fraction: truncation toward zero.
        magnitude = shift <= -64 ? 0 : product >> -shift;
    }

    // The low 32 bits of the two's complement integer: negation modulo 2^64 keeps them.
    return static_cast<std::uint32_t>(negative ? 0 - magnitude : magnitude);
}
