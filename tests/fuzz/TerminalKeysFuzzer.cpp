// The terminal's bytes cut into keystrokes, on any bytes.
//
// The input is what a terminal holds, in the bursts in which it arrived: the first byte of the
// fuzzer's data says where a burst ends (a reader takes only what is waiting, so a keystroke
// never spans two bursts). Each burst is cut up from its start with TakeKeystroke, as getch
// cuts it when it feeds the decoder the waiting bytes one by one, and for every keystroke:
// - it takes at least one byte and never more than are waiting, so the cutting ends, and a
//   byte past the burst is never read (the burst is a heap block of its exact size);
// - the decoder fed the same bytes one at a time agrees on the length and the codes, and says
//   whole exactly at the last byte, unless the keystroke was cut short by the burst's end;
// - a whole keystroke is the same when nothing follows it: bytes after it play no part;
// - its codes are well formed: a single code that is a character (a Unicode scalar value, and
//   the very character its bytes encode), or 0 and a second code of 1 to 255;
// - a byte below 0x80 other than ESC is a keystroke of its own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "TerminalKeys.h"

namespace {

[[noreturn]] void Fail(const unsigned char* bytes, std::size_t count, const char* what)
{
    std::fprintf(stderr, "keystroke of %zu waiting bytes:", count);
    for (std::size_t i = 0; i < count && i < 64; ++i)
        std::fprintf(stderr, " %02X", bytes[i]);
    std::fprintf(stderr, "\n%s\n", what);
    std::abort();
}

// The UTF-8 form of a scalar value, written here from the encoding's definition.
std::string Utf8(std::uint32_t codePoint)
{
    std::string bytes;
    auto add = [&bytes](std::uint32_t byte) { bytes += static_cast<char>(byte); };
    if (codePoint < 0x80) {
        add(codePoint);
    } else if (codePoint < 0x800) {
        add(0xC0 | (codePoint >> 6));
        add(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        add(0xE0 | (codePoint >> 12));
        add(0x80 | ((codePoint >> 6) & 0x3F));
        add(0x80 | (codePoint & 0x3F));
    } else {
        add(0xF0 | (codePoint >> 18));
        add(0x80 | ((codePoint >> 12) & 0x3F));
        add(0x80 | ((codePoint >> 6) & 0x3F));
        add(0x80 | (codePoint & 0x3F));
    }
    return bytes;
}

bool SameCodes(const KeyCodes& a, const KeyCodes& b)
{
    return a.first == b.first && a.second == b.second;
}

void CheckCodes(const unsigned char* bytes, std::size_t taken, bool whole, const KeyCodes& codes)
{
    if (codes.first == 0) {
        if (codes.second < 1 || codes.second > 255)
            Fail(bytes, taken, "a two-code key whose second code is not 1 to 255");
        if (bytes[0] != 0x1B && bytes[0] != 0)
            Fail(bytes, taken, "a two-code key that starts neither with ESC nor with byte 0");
        return;
    }
    if (codes.second != 0)
        Fail(bytes, taken, "a second code after a nonzero first code");
    const auto first = static_cast<std::uint32_t>(codes.first);
    if (first > 0x10FFFF || (first >= 0xD800 && first <= 0xDFFF))
        Fail(bytes, taken, "a code that is no Unicode scalar value");
    if (taken == 1 && bytes[0] < 0x80) {
        if (first != bytes[0])
            Fail(bytes, taken, "a single byte that does not give its own value");
        return;
    }
    if (bytes[0] == 0x1B)
        Fail(bytes, taken, "an escape sequence with a single code");
    // Several bytes and a single code: a character, which those bytes must encode exactly,
    // or the replacement character for bytes that are not one.
    const std::string encoded = Utf8(first);
    const bool encodesIt = whole && encoded.size() == taken &&
                           std::memcmp(encoded.data(), bytes, taken) == 0;
    if (!encodesIt && first != static_cast<std::uint32_t>(kReplacementCharacter))
        Fail(bytes, taken, "a character its bytes do not encode");
    if (first == static_cast<std::uint32_t>(kReplacementCharacter) && taken > 1 && !encodesIt) {
        // A bad byte is taken with the keystroke only when it ends a character it cannot
        // continue, so everything before it is a well-formed start of one.
        if (bytes[0] < 0xC2 || bytes[0] > 0xF4)
            Fail(bytes, taken, "more than one byte taken after a byte that starts no character");
    }
}

void CutBurst(const unsigned char* burst, std::size_t count)
{
    std::size_t at = 0;
    while (at < count) {
        const unsigned char* bytes = burst + at;
        const std::size_t waiting = count - at;
        KeyCodes codes;
        const std::size_t taken = TakeKeystroke(bytes, waiting, codes);
        if (taken < 1 || taken > waiting)
            Fail(bytes, waiting, "taken none, or more than are waiting");

        // One byte at a time.
        KeystrokeDecoder decoder;
        std::size_t fed = 0;
        bool whole = false;
        while (fed < waiting && !whole)
            whole = decoder.Add(bytes[fed++]);
        if (fed != taken || decoder.Whole() != whole || !SameCodes(decoder.Codes(), codes))
            Fail(bytes, waiting, "the decoder and TakeKeystroke disagree");
        if (!whole && taken != waiting)
            Fail(bytes, waiting, "a keystroke cut short before the last waiting byte");

        if (whole && taken < waiting) {
            KeyCodes alone;
            if (TakeKeystroke(bytes, taken, alone) != taken || !SameCodes(alone, codes))
                Fail(bytes, waiting, "a whole keystroke that changes with the bytes after it");
        }

        if (bytes[0] < 0x80 && bytes[0] != 0x1B && taken != 1)
            Fail(bytes, waiting, "a byte below 0x80 that takes more bytes with it");
        CheckCodes(bytes, taken, whole, codes);
        at += taken;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        KeyCodes codes{1, 1};
        if (TakeKeystroke(data, 0, codes) != 0 || codes.first != 0 || codes.second != 0)
            Fail(data, 0, "nothing waiting and still a keystroke");
        return 0;
    }
    // The first byte: how many bytes the first burst holds (0: all of them); the rest come in
    // the next burst.
    const std::size_t split = data[0];
    const unsigned char* bytes = data + 1;
    const std::size_t count = size - 1;
    const std::size_t first = split == 0 || split > count ? count : split;
    for (const auto& [start, length] :
         {std::pair<std::size_t, std::size_t>{0, first}, {first, count - first}}) {
        if (length == 0)
            continue;
        const std::unique_ptr<unsigned char[]> burst(new unsigned char[length]);
        std::memcpy(burst.get(), bytes + start, length);
        CutBurst(burst.get(), length);
    }
    return 0;
}
