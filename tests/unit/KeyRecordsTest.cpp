// Which console input records are keystrokes and which codes getch gives for them: one row a
// record, as the console would deliver it for that key press.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <ostream>
#include <string>

#include "KeyRecords.h"

// Found by the assertions' messages next to RecordCodes itself.
static std::ostream& operator<<(std::ostream& out, const RecordCodes& codes)
{
    return out << "{count " << codes.count << ", " << codes.first << ", " << codes.second << "}";
}

namespace {

enum Modifiers { Plain = 0, Alt = 1, Ctrl = 2, Shift = 4 };

KeyRecord Down(std::uint16_t virtualKey, unsigned char character, int modifiers = Plain)
{
    KeyRecord record;
    record.type = RecordType::Key;
    record.keyDown = true;
    record.virtualKey = virtualKey;
    record.character = character;
    record.alt = (modifiers & Alt) != 0;
    record.ctrl = (modifiers & Ctrl) != 0;
    record.shift = (modifiers & Shift) != 0;
    return record;
}

KeyRecord Up(std::uint16_t virtualKey, unsigned char character, int modifiers = Plain)
{
    KeyRecord record = Down(virtualKey, character, modifiers);
    record.keyDown = false;
    return record;
}

KeyRecord NotAKey()
{
    KeyRecord record;
    record.type = RecordType::Other;
    record.keyDown = true;  // whatever the other fields hold, only key records count
    record.virtualKey = 'A';
    record.character = 'a';
    return record;
}

constexpr RecordCodes kNoKeystroke{0, 0, 0};
constexpr RecordCodes One(int code) { return {1, code, 0}; }
constexpr RecordCodes Two(int second) { return {2, 0, second}; }

struct Row {
    const char* what;
    KeyRecord record;
    RecordCodes expected;
};

void CheckRows(const Row* rows, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(rows[i].what);
        EXPECT_EQ(KeystrokeCodes(rows[i].record), rows[i].expected);
    }
}

TEST(KeyRecords, CharacterKeysGiveTheCharacterTheRecordCarries)
{
    const Row rows[] = {
        {"a", Down('A', 'a'), One('a')},
        {"Shift+a gives the layout's upper case", Down('A', 'A', Shift), One('A')},
        {"a with Caps Lock on: the record says A", Down('A', 'A'), One('A')},
        {"Shift+a with Caps Lock on", Down('A', 'a', Shift), One('a')},
        {"z on a German layout is the Y key", Down('Z', 'z'), One('z')},
        {"a letter of the code page above 127", Down('A', 0xE4), One(0xE4)},
        {"digit 7", Down('7', '7'), One('7')},
        {"Shift+1 on a US layout", Down('1', '!', Shift), One('!')},
        {"keypad 3 with Num Lock on", Down(0x63, '3'), One('3')},
        {"keypad *", Down(0x6A, '*'), One('*')},
        {"keypad .", Down(0x6E, '.'), One('.')},
        {"semicolon", Down(0xBA, ';'), One(';')},
        {"Shift+slash", Down(0xBF, '?', Shift), One('?')},
        {"the extra key of ISO keyboards", Down(0xE2, '<'), One('<')},
        {"a key of no table that carries a character", Down(0xE7, 'x'), One('x')},
        {"a record with no key that carries a character", Down(0, 'q'), One('q')},
    };
    CheckRows(rows, std::size(rows));
}

TEST(KeyRecords, ControlKeysGiveTheirAsciiCodes)
{
    const Row rows[] = {
        {"Enter", Down(0x0D, '\r'), One(13)},
        {"Shift+Enter", Down(0x0D, '\r', Shift), One(13)},
        {"Ctrl+Enter", Down(0x0D, '\n', Ctrl), One(10)},
        {"Esc", Down(0x1B, 27), One(27)},
        {"Backspace", Down(0x08, 8), One(8)},
        {"Ctrl+Backspace", Down(0x08, 127, Ctrl), One(127)},
        {"Tab", Down(0x09, '\t'), One(9)},
        {"Space", Down(0x20, ' '), One(32)},
        {"Alt+Space", Down(0x20, ' ', Alt), One(32)},
        {"Ctrl+A", Down('A', 1, Ctrl), One(1)},
        {"Ctrl+C with processed input off", Down('C', 3, Ctrl), One(3)},
        {"Ctrl+Z", Down('Z', 26, Ctrl), One(26)},
        {"Ctrl+Shift+Z: Ctrl before Shift", Down('Z', 26, Ctrl | Shift), One(26)},
        {"Ctrl+6", Down('6', 30, Ctrl), One(30)},
        {"Ctrl+[", Down(0xDB, 27, Ctrl), One(27)},
        {"Ctrl+backslash", Down(0xDC, 28, Ctrl), One(28)},
        {"Ctrl+]", Down(0xDD, 29, Ctrl), One(29)},
        {"Ctrl+-", Down(0xBD, 31, Ctrl), One(31)},
        {"Ctrl+a letter whose record has no character", Down('K', 0, Ctrl), One(11)},
    };
    CheckRows(rows, std::size(rows));
}

TEST(KeyRecords, CursorEditingAndFunctionKeysAreTwoCodeKeys)
{
    const Row rows[] = {
        {"Up", Down(0x26, 0), Two(72)},
        {"Left", Down(0x25, 0), Two(75)},
        {"Right", Down(0x27, 0), Two(77)},
        {"Down", Down(0x28, 0), Two(80)},
        {"Home", Down(0x24, 0), Two(71)},
        {"End", Down(0x23, 0), Two(79)},
        {"Page Up", Down(0x21, 0), Two(73)},
        {"Page Down", Down(0x22, 0), Two(81)},
        {"Insert", Down(0x2D, 0), Two(82)},
        {"Delete", Down(0x2E, 0), Two(83)},
        {"Shift+Up", Down(0x26, 0, Shift), Two(72)},
        {"Ctrl+Left", Down(0x25, 0, Ctrl), Two(115)},
        {"Ctrl+Home", Down(0x24, 0, Ctrl), Two(119)},
        {"Alt+Delete", Down(0x2E, 0, Alt), Two(163)},
        {"F1", Down(0x70, 0), Two(59)},
        {"F10", Down(0x79, 0), Two(68)},
        {"Shift+F1", Down(0x70, 0, Shift), Two(84)},
        {"Ctrl+F1", Down(0x70, 0, Ctrl), Two(94)},
        {"Alt+F1", Down(0x70, 0, Alt), Two(104)},
        {"Alt+Ctrl+Shift+F10: Alt first", Down(0x79, 0, Alt | Ctrl | Shift), Two(113)},
        {"F11", Down(0x7A, 0), Two(133)},
        {"F12", Down(0x7B, 0), Two(134)},
        {"Shift+F12", Down(0x7B, 0, Shift), Two(136)},
        {"Ctrl+F11", Down(0x7A, 0, Ctrl), Two(137)},
        {"Alt+F12", Down(0x7B, 0, Alt), Two(140)},
        {"Shift+Tab", Down(0x09, 0, Shift), Two(15)},
        {"Ctrl+Tab", Down(0x09, 0, Ctrl), Two(148)},
        {"Ctrl+2 is NUL", Down('2', 0, Ctrl), Two(3)},
        {"Ctrl+keypad +", Down(0x6B, 0, Ctrl), Two(144)},
    };
    CheckRows(rows, std::size(rows));
}

TEST(KeyRecords, AltCombinationsGiveTheScanCode)
{
    const Row rows[] = {
        {"Alt+Q", Down('Q', 'q', Alt), Two(16)},
        {"Alt+P", Down('P', 'p', Alt), Two(25)},
        {"Alt+A", Down('A', 'a', Alt), Two(30)},
        {"Alt+L", Down('L', 'l', Alt), Two(38)},
        {"Alt+Z", Down('Z', 'z', Alt), Two(44)},
        {"Alt+M", Down('M', 'm', Alt), Two(50)},
        {"Alt+X without a character", Down('X', 0, Alt), Two(45)},
        {"Alt+Ctrl+C: Alt before Ctrl", Down('C', 3, Alt | Ctrl), Two(46)},
        {"Alt+Shift+C: Alt before Shift", Down('C', 'C', Alt | Shift), Two(46)},
        {"Alt+1", Down('1', '1', Alt), Two(120)},
        {"Alt+9", Down('9', '9', Alt), Two(128)},
        {"Alt+0", Down('0', '0', Alt), Two(129)},
        {"Alt+-", Down(0xBD, '-', Alt), Two(130)},
        {"Alt+=", Down(0xBB, '=', Alt), Two(131)},
        {"Alt+[", Down(0xDB, '[', Alt), Two(26)},
        {"Alt+/", Down(0xBF, '/', Alt), Two(53)},
        {"Alt+Esc", Down(0x1B, 27, Alt), Two(1)},
        {"Alt+Backspace", Down(0x08, 8, Alt), Two(14)},
        {"Alt+Enter", Down(0x0D, '\r', Alt), Two(28)},
        {"Alt+Tab", Down(0x09, '\t', Alt), Two(165)},
        {"Alt+keypad -", Down(0x6D, '-', Alt), Two(74)},
    };
    CheckRows(rows, std::size(rows));
}

// None of these may make kbhit report a keystroke: getch would drop them and wait for the
// next key, and the poll must never wait.
TEST(KeyRecords, RecordsWithoutACodeAreNoKeystrokes)
{
    const Row rows[] = {
        {"Shift alone", Down(0x10, 0, Shift), kNoKeystroke},
        {"Ctrl alone", Down(0x11, 0, Ctrl), kNoKeystroke},
        {"Alt alone", Down(0x12, 0, Alt), kNoKeystroke},
        {"left Shift", Down(0xA0, 0, Shift), kNoKeystroke},
        {"right Alt", Down(0xA5, 0, Alt), kNoKeystroke},
        {"Caps Lock", Down(0x14, 0), kNoKeystroke},
        {"Num Lock", Down(0x90, 0), kNoKeystroke},
        {"Scroll Lock", Down(0x91, 0), kNoKeystroke},
        {"Pause", Down(0x13, 0), kNoKeystroke},
        {"left Windows key", Down(0x5B, 0), kNoKeystroke},
        {"right Windows key", Down(0x5C, 0), kNoKeystroke},
        {"application key", Down(0x5D, 0), kNoKeystroke},
        {"F13", Down(0x7C, 0), kNoKeystroke},
        {"F24", Down(0x87, 0), kNoKeystroke},
        {"Shift+F13", Down(0x7C, 0, Shift), kNoKeystroke},
        {"keypad 5 with Num Lock off", Down(0x0C, 0), kNoKeystroke},
        {"a lock key whose record carries a character", Down(0x14, 'x'), kNoKeystroke},
        {"a letter whose record carries no character", Down('A', 0), kNoKeystroke},
        {"Shift+letter without a character", Down('B', 0, Shift), kNoKeystroke},
        {"a dead key: punctuation without a character", Down(0xDE, 0), kNoKeystroke},
        {"keypad 4 without a character", Down(0x64, 0), kNoKeystroke},
        {"Ctrl+1", Down('1', '1', Ctrl), kNoKeystroke},
        {"Ctrl+9", Down('9', 0, Ctrl), kNoKeystroke},
        {"Ctrl+;", Down(0xBA, 0, Ctrl), kNoKeystroke},
        {"Ctrl+keypad digit", Down(0x67, 0, Ctrl), kNoKeystroke},
        {"Alt+keypad digit: the system's character entry", Down(0x61, 0, Alt), kNoKeystroke},
        {"Alt+keypad .", Down(0x6E, 0, Alt), kNoKeystroke},
        {"a key of no table with no character", Down(0xE9, 0), kNoKeystroke},
        {"a key-down record of no key at all", Down(0, 0), kNoKeystroke},
        {"release of a", Up('A', 'a'), kNoKeystroke},
        {"release of Enter", Up(0x0D, '\r'), kNoKeystroke},
        {"release of F1", Up(0x70, 0), kNoKeystroke},
        {"mouse, focus, menu or window-size record", NotAKey(), kNoKeystroke},
    };
    CheckRows(rows, std::size(rows));
}

// Every key-down that has a code gives 1 or 2 codes, and exactly the two-code ones start with 0:
// the poll relies on 0 meaning "a second code follows".
TEST(KeyRecords, ZeroIsOnlyEverTheFirstOfTwoCodes)
{
    for (int vk = 0; vk < 256; ++vk) {
        for (int modifiers = 0; modifiers < 8; ++modifiers) {
            for (int character : {0, 1, int{'a'}, 0xFF}) {
                RecordCodes codes = KeystrokeCodes(
                    Down(static_cast<std::uint16_t>(vk), static_cast<unsigned char>(character),
                         modifiers));
                SCOPED_TRACE("virtual key " + std::to_string(vk) + ", modifiers " +
                             std::to_string(modifiers) + ", character " + std::to_string(character));
                ASSERT_GE(codes.count, 0);
                ASSERT_LE(codes.count, 2);
                if (codes.count == 1) {
                    EXPECT_GT(codes.first, 0);
                    EXPECT_LE(codes.first, 255);
                } else if (codes.count == 2) {
                    EXPECT_EQ(codes.first, 0);
                    EXPECT_GT(codes.second, 0);
                    EXPECT_LE(codes.second, 255);
                }
            }
        }
    }
}

}  // namespace
