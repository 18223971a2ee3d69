#include "KeyRecords.h"

namespace {

// The virtual-key codes we name, as the system defines them (windows.h is kept out on purpose).
enum : std::uint16_t {
    VkBack = 0x08, VkTab = 0x09, VkClear = 0x0C, VkReturn = 0x0D,
    VkShift = 0x10, VkControl = 0x11, VkMenu = 0x12, VkPause = 0x13, VkCapital = 0x14,
    VkEscape = 0x1B, VkSpace = 0x20,
    VkPrior = 0x21, VkNext = 0x22, VkEnd = 0x23, VkHome = 0x24,
    VkLeft = 0x25, VkUp = 0x26, VkRight = 0x27, VkDown = 0x28,
    VkInsert = 0x2D, VkDelete = 0x2E,
    VkLWin = 0x5B, VkRWin = 0x5C, VkApps = 0x5D,
    VkNumpad0 = 0x60, VkNumpad9 = 0x69,
    VkMultiply = 0x6A, VkAdd = 0x6B, VkSubtract = 0x6D, VkDecimal = 0x6E, VkDivide = 0x6F,
    VkF1 = 0x70, VkF10 = 0x79, VkF11 = 0x7A, VkF12 = 0x7B, VkF13 = 0x7C, VkF24 = 0x87,
    VkNumLock = 0x90, VkScroll = 0x91,
    VkLShift = 0xA0, VkRMenu = 0xA5,
    VkOem1 = 0xBA, VkOemPlus = 0xBB, VkOemComma = 0xBC, VkOemMinus = 0xBD, VkOemPeriod = 0xBE,
    VkOem2 = 0xBF, VkOem3 = 0xC0, VkOem4 = 0xDB, VkOem5 = 0xDC, VkOem6 = 0xDD, VkOem7 = 0xDE,
    VkOem102 = 0xE2,
};

// One entry of the code tables: a single code 0..255, a two-code key, the record's own
// character, or nothing.
using Code = int;
constexpr Code None = -1;
constexpr Code Char = -2;  // the character the record carries; nothing when it carries none
constexpr Code Two(int second) { return 0x100 | second; }

RecordCodes Resolve(Code code, unsigned char character)
{
    if (code == Char)
        code = character != 0 ? character : None;
    if (code == None)
        return {};
    if (code & 0x100)
        return {2, 0, code & 0xFF};
    return {1, code, 0};
}

// The code for each modifier state, in the order they are looked at.
struct KeyRow {
    std::uint16_t virtualKey;
    Code alt;
    Code ctrl;
    Code shift;
    Code plain;
};

// The keys other than letters and main-block digits. The keypad gives the cursor keys' virtual
// codes when Num Lock is off, so it needs no rows of its own for that.
constexpr KeyRow kKeys[] = {
    //                 Alt        Ctrl       Shift      plain
    {VkBack,          Two(14),   127,       8,         8},
    {VkTab,           Two(165),  Two(148),  Two(15),   9},
    {VkReturn,        Two(28),   10,        13,        13},
    {VkEscape,        Two(1),    27,        27,        27},
    {VkSpace,         32,        32,        32,        32},
    {VkHome,          Two(151),  Two(119),  Two(71),   Two(71)},
    {VkUp,            Two(152),  Two(141),  Two(72),   Two(72)},
    {VkPrior,         Two(153),  Two(132),  Two(73),   Two(73)},
    {VkLeft,          Two(155),  Two(115),  Two(75),   Two(75)},
    {VkRight,         Two(157),  Two(116),  Two(77),   Two(77)},
    {VkEnd,           Two(159),  Two(117),  Two(79),   Two(79)},
    {VkDown,          Two(160),  Two(145),  Two(80),   Two(80)},
    {VkNext,          Two(161),  Two(118),  Two(81),   Two(81)},
    {VkInsert,        Two(162),  Two(146),  Two(82),   Two(82)},
    {VkDelete,        Two(163),  Two(147),  Two(83),   Two(83)},
    {VkF11,           Two(139),  Two(137),  Two(135),  Two(133)},
    {VkF12,           Two(140),  Two(138),  Two(136),  Two(134)},
    // Keypad with Num Lock on; Alt with a keypad digit is the system's character entry.
    {VkMultiply,      Two(55),   Two(150),  Char,      Char},
    {VkAdd,           Two(78),   Two(144),  Char,      Char},
    {VkSubtract,      Two(74),   Two(142),  Char,      Char},
    {VkDivide,        Two(164),  Two(149),  Char,      Char},
    {VkDecimal,       None,      None,      Char,      Char},
    // Punctuation: the layout decides the characters; Ctrl gives a control code only where
    // the ASCII table has one for the key's US character.
    {VkOem1,          Two(39),   None,      Char,      Char},  // ;
    {VkOemPlus,       Two(131),  None,      Char,      Char},  // =
    {VkOemComma,      Two(51),   None,      Char,      Char},  // ,
    {VkOemMinus,      Two(130),  31,        Char,      Char},  // -
    {VkOemPeriod,     Two(52),   None,      Char,      Char},  // .
    {VkOem2,          Two(53),   None,      Char,      Char},  // /
    {VkOem3,          Two(41),   None,      Char,      Char},  // `
    {VkOem4,          Two(26),   27,        Char,      Char},  // [
    {VkOem5,          Two(43),   28,        Char,      Char},  // backslash
    {VkOem6,          Two(27),   29,        Char,      Char},  // ]
    {VkOem7,          Two(40),   None,      Char,      Char},  // '
    {VkOem102,        None,      None,      Char,      Char},  // the extra key of ISO boards
};

// Keys that never make a keystroke, whatever the record carries.
bool NeverKeystroke(std::uint16_t vk)
{
    return vk == VkShift || vk == VkControl || vk == VkMenu || (vk >= VkLShift && vk <= VkRMenu) ||
           vk == VkCapital || vk == VkNumLock || vk == VkScroll || vk == VkPause ||
           vk == VkLWin || vk == VkRWin || vk == VkApps || vk == VkClear ||
           (vk >= VkF13 && vk <= VkF24);
}

Code Pick(const KeyRecord& record, Code alt, Code ctrl, Code shift, Code plain)
{
    if (record.alt)
        return alt;
    if (record.ctrl)
        return ctrl;
    if (record.shift)
        return shift;
    return plain;
}

// The PC scan codes of the letter keys, which Alt with a letter gives as its second code.
constexpr unsigned char kLetterScanCodes[26] = {
    30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,  // A to M
    49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44,  // N to Z
};

}  // namespace

RecordCodes KeystrokeCodes(const KeyRecord& record)
{
    if (record.type != RecordType::Key || !record.keyDown)
        return {};
    const std::uint16_t vk = record.virtualKey;
    if (NeverKeystroke(vk))
        return {};

    if (vk >= 'A' && vk <= 'Z') {
        // Plain and shifted letters give the record's character, so that Caps Lock and the
        // layout decide the case; Ctrl with a letter is its control code 1 to 26.
        const int index = vk - 'A';
        return Resolve(Pick(record, Two(kLetterScanCodes[index]), index + 1, Char, Char),
                       record.character);
    }
    if (vk >= '0' && vk <= '9') {
        // Alt with 1 to 9 and 0 gives 120 to 129; Ctrl gives a code only with 2 (NUL, as a
        // two-code key) and 6 (RS).
        const Code alt = Two(vk == '0' ? 129 : 120 + (vk - '1'));
        const Code ctrl = vk == '2' ? Two(3) : vk == '6' ? 30 : None;
        return Resolve(Pick(record, alt, ctrl, Char, Char), record.character);
    }
    if (vk >= VkF1 && vk <= VkF10) {
        const int index = vk - VkF1;
        return Resolve(Pick(record, Two(104 + index), Two(94 + index), Two(84 + index),
                            Two(59 + index)),
                       record.character);
    }
    if (vk >= VkNumpad0 && vk <= VkNumpad9)
        return Resolve(Pick(record, None, None, Char, Char), record.character);
    for (const KeyRow& row : kKeys) {
        if (row.virtualKey == vk)
            return Resolve(Pick(record, row.alt, row.ctrl, row.shift, row.plain),
                           record.character);
    }
    // A key of no table (a character that an input method or another program put into the
    // console, a key of another keyboard): its character, when it carries one.
    return Resolve(Char, record.character);
}
