// Which terminal bytes make one keystroke and what it gives: one row a case, all bytes of the
// row waiting at once, so the row also says where the keystroke ends and what stays behind.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "../support/RowName.h"
#include "TerminalKeys.h"

namespace {

struct KeystrokeCase {
    const char* name;
    std::string bytes;  // everything waiting
    std::size_t taken;  // how many of them the keystroke takes
    int first;
    int second;
};

void PrintTo(const KeystrokeCase& row, std::ostream* out)
{
    *out << row.name;
}

std::size_t Take(const std::string& bytes, KeyCodes& codes)
{
    return TakeKeystroke(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), codes);
}

constexpr int kUnknown = kUnknownKeyCode;
constexpr int kFFFD = kReplacementCharacter;

const KeystrokeCase kCases[] = {
    // Single bytes give themselves and take nothing after them.
    {"Letter", "kz", 1, 'k', 0},
    {"CarriageReturn", "\r", 1, 13, 0},
    {"LineFeed", "\nz", 1, 10, 0},
    {"CtrlC", "\x03z", 1, 3, 0},
    {"Delete", "\x7f", 1, 127, 0},
    {"CtrlAtIsTwoCodes", std::string("\0z", 2), 1, 0, 3},
    {"EscapeAlone", "\x1b", 1, 27, 0},

    // UTF-8: one whole character, its code point; anything malformed gives U+FFFD, never 0.
    {"Utf8TwoBytes", "\xc3\xa9z", 2, 0xE9, 0},
    {"Utf8ThreeBytes", "\xe2\x82\xacz", 3, 0x20AC, 0},
    {"Utf8FourBytes", "\xf0\x9f\x98\x80z", 4, 0x1F600, 0},
    {"Utf8CutShort", "\xe2\x82", 2, kFFFD, 0},
    {"Utf8ContinuationMissing", "\xc3z", 2, kFFFD, 0},
    {"Utf8Overlong", "\xe0\x80\x80", 2, kFFFD, 0},
    {"Utf8Surrogate", "\xed\xa0\x80", 2, kFFFD, 0},
    {"Utf8AboveUnicode", "\xf4\x90\x80\x80", 2, kFFFD, 0},
    {"Utf8OverlongLeadByte", "\xc0\x80", 1, kFFFD, 0},
    {"StrayContinuationByte", "\x80z", 1, kFFFD, 0},
    {"ByteFF", "\xff", 1, kFFFD, 0},

    // Cursor and editing keys, as xterm, VT220, rxvt and the Linux console send them.
    {"Up", "\x1b[Az", 3, 0, 72},
    {"Down", "\x1b[B", 3, 0, 80},
    {"Right", "\x1b[C", 3, 0, 77},
    {"Left", "\x1b[D", 3, 0, 75},
    {"UpApplicationMode", "\x1bOAz", 3, 0, 72},
    {"Home", "\x1b[H", 3, 0, 71},
    {"End", "\x1b[F", 3, 0, 79},
    {"HomeVt220", "\x1b[1~", 4, 0, 71},
    {"HomeRxvt", "\x1b[7~", 4, 0, 71},
    {"EndVt220", "\x1b[4~", 4, 0, 79},
    {"EndRxvt", "\x1b[8~", 4, 0, 79},
    {"Insert", "\x1b[2~z", 4, 0, 82},
    {"DeleteKey", "\x1b[3~", 4, 0, 83},
    {"PageUp", "\x1b[5~", 4, 0, 73},
    {"PageDown", "\x1b[6~", 4, 0, 81},
    {"KeypadFive", "\x1b[E", 3, 0, 76},
    {"KeypadFiveOtherForm", "\x1b[G", 3, 0, 76},

    // Function keys.
    {"F1", "\x1bOPz", 3, 0, 59},
    {"F2", "\x1bOQ", 3, 0, 60},
    {"F3", "\x1bOR", 3, 0, 61},
    {"F4", "\x1bOS", 3, 0, 62},
    {"F1Vt220", "\x1b[11~", 5, 0, 59},
    {"F5", "\x1b[15~z", 5, 0, 63},
    {"F6", "\x1b[17~", 5, 0, 64},
    {"F10", "\x1b[21~", 5, 0, 68},
    {"F11", "\x1b[23~", 5, 0, 133},
    {"F12", "\x1b[24~", 5, 0, 134},
    {"F1LinuxConsole", "\x1b[[Az", 4, 0, 59},
    {"F5LinuxConsole", "\x1b[[E", 4, 0, 63},

    // Modifiers: xterm's parameter, Alt counting before Ctrl before Shift.
    {"ShiftF1", "\x1b[1;2P", 6, 0, 84},
    {"CtrlF1OlderForm", "\x1bO5P", 4, 0, 94},
    {"CtrlF5", "\x1b[15;5~", 7, 0, 98},
    {"ShiftF12", "\x1b[24;2~", 7, 0, 136},
    {"AltF12", "\x1b[24;3~", 7, 0, 140},
    {"ShiftUpSameAsUp", "\x1b[1;2A", 6, 0, 72},
    {"CtrlRight", "\x1b[1;5Cz", 6, 0, 116},
    {"AltUp", "\x1b[1;3A", 6, 0, 152},
    {"CtrlAltLeftCountsAsAlt", "\x1b[1;7D", 6, 0, 155},
    {"MetaLeftCountsAsAlt", "\x1b[1;9D", 6, 0, 155},
    {"CtrlDelete", "\x1b[3;5~", 6, 0, 147},
    {"CtrlUpEmptyFirstParameter", "\x1b[;5A", 5, 0, 141},
    {"ShiftTab", "\x1b[Zz", 3, 0, 15},

    // rxvt's own forms of modified keys.
    {"RxvtShiftUp", "\x1b[a", 3, 0, 72},
    {"RxvtCtrlUp", "\x1bOa", 3, 0, 141},
    {"RxvtShiftInsert", "\x1b[2$z", 4, 0, 82},
    {"RxvtCtrlDelete", "\x1b[3^", 4, 0, 147},
    {"RxvtCtrlShiftHome", "\x1b[7@", 4, 0, 119},

    // Alt with a key: ESC and one character.
    {"AltX", "\x1bxz", 2, 0, 45},
    {"AltShiftX", "\x1bX", 2, 0, 45},
    {"AltQ", "\x1bq", 2, 0, 16},
    {"AltA", "\x1b" "a", 2, 0, 30},
    {"AltM", "\x1bm", 2, 0, 50},
    {"Alt1", "\x1b" "1", 2, 0, 120},
    {"Alt0", "\x1b" "0", 2, 0, 129},
    {"AltSlash", "\x1b/", 2, 0, 53},
    {"AltEsc", "\x1b\x1b", 2, 0, 1},
    {"AltBackspace", "\x1b\x7f", 2, 0, 14},
    {"AltEnter", "\x1b\r", 2, 0, 28},
    {"AltTab", "\x1b\t", 2, 0, 165},
    {"AltSpace", "\x1b ", 2, 0, 57},
    {"AltLeftBracketAlone", "\x1b[", 2, 0, 26},
    {"AltOAlone", "\x1bO", 2, 0, 24},
    {"AltCtrlA", "\x1b\x01z", 2, 0, kUnknown},
    {"AltWithUtf8Character", "\x1b\xc3\xa9z", 3, 0, kUnknown},
    {"EscapeThenStrayByte", "\x1b\x80z", 2, 0, kUnknown},

    // Sequences of no key we know are still taken whole, with one stable second code.
    {"F13", "\x1b[25~", 5, 0, kUnknown},
    {"PasteStart", "\x1b[200~z", 6, 0, kUnknown},
    {"PrivateMarker", "\x1b[?1;2cz", 7, 0, kUnknown},
    {"ThreeParameters", "\x1b[1;2;3A", 8, 0, kUnknown},
    {"SubParameter", "\x1b[97:65;5u", 10, 0, kUnknown},
    {"IntermediateByte", "\x1b[1 qz", 5, 0, kUnknown},
    {"KeypadApplicationMode", "\x1bOpz", 3, 0, kUnknown},
    {"LinuxConsoleOther", "\x1b[[Z", 4, 0, kUnknown},
    {"CutShortInParameters", "\x1b[1;5", 5, 0, kUnknown},
    {"CutShortInSs3", "\x1bO5", 3, 0, kUnknown},
    {"CutShortLinuxConsole", "\x1b[[", 3, 0, kUnknown},
    {"ControlByteEndsSequence", "\x1b[1\x03z", 4, 0, kUnknown},
    {"VeryLongParameter", "\x1b[" + std::string(200, '9') + "~z", 203, 0, kUnknown},
};

class TerminalKeystroke : public testing::TestWithParam<KeystrokeCase> {};

TEST_P(TerminalKeystroke, TakesTheKeystrokeAndNothingAfterIt)
{
    const KeystrokeCase& row = GetParam();
    KeyCodes codes;
    EXPECT_EQ(Take(row.bytes, codes), row.taken);
    EXPECT_EQ(codes.first, row.first);
    EXPECT_EQ(codes.second, row.second);
}

// Byte by byte, as the terminal reader feeds it: the decoder asks for more until the last
// byte of the keystroke, and says whole at that byte when the keystroke did not run short.
TEST_P(TerminalKeystroke, AsksForMoreUntilTheLastByte)
{
    const KeystrokeCase& row = GetParam();
    KeystrokeDecoder decoder;
    for (std::size_t i = 0; i + 1 < row.taken; ++i)
        ASSERT_FALSE(decoder.Add(static_cast<unsigned char>(row.bytes[i]))) << "byte " << i;
    bool whole = decoder.Add(static_cast<unsigned char>(row.bytes[row.taken - 1]));
    EXPECT_EQ(whole, decoder.Whole());
    if (row.taken < row.bytes.size()) {
        EXPECT_TRUE(whole) << "bytes followed, so the keystroke must have ended by itself";
    }
    EXPECT_EQ(decoder.Codes().first, row.first);
    EXPECT_EQ(decoder.Codes().second, row.second);
}

INSTANTIATE_TEST_SUITE_P(Table, TerminalKeystroke, testing::ValuesIn(kCases), RowName());

// The poll reads a second code only after a 0, at once and without waiting: so whatever the
// bytes, a keystroke gives 0 only with a nonzero second code, otherwise a positive code alone,
// and it takes at least one byte and never more than are there. Every input of one or two
// bytes, and every three-byte input that starts with ESC (which covers ESC '[' and ESC 'O').
TEST(TerminalKeystrokeCodes, ZeroAlwaysComesWithASecondCode)
{
    auto check = [](const std::vector<unsigned char>& bytes) {
        KeyCodes codes;
        std::size_t taken = TakeKeystroke(bytes.data(), bytes.size(), codes);
        bool good = taken >= 1 && taken <= bytes.size()
                 && (codes.first == 0 ? codes.second > 0 : codes.first > 0 && codes.second == 0);
        if (!good) {
            std::string shown;
            for (unsigned char byte : bytes)
                shown += std::to_string(byte) + " ";
            ADD_FAILURE() << "bytes " << shown << "took " << taken << ", gave " << codes.first
                          << " and " << codes.second;
        }
        return good;
    };
    for (int a = 0; a < 256; ++a) {
        if (!check({static_cast<unsigned char>(a)}))
            return;
        for (int b = 0; b < 256; ++b) {
            if (!check({static_cast<unsigned char>(a), static_cast<unsigned char>(b)}))
                return;
            if (!check({0x1B, static_cast<unsigned char>(a), static_cast<unsigned char>(b)}))
                return;
        }
    }
}

TEST(TerminalKeystrokeCodes, NothingWaitingTakesNothing)
{
    KeyCodes codes;
    EXPECT_EQ(TakeKeystroke(nullptr, 0, codes), 0u);
}

}  // namespace
