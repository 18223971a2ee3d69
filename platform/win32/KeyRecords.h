// Which console input records make a keystroke, and the code or codes that getch gives for it.
//
// Pure: no windows.h, no console, no state. ConsoleKeys.cpp turns each INPUT_RECORD into a
// KeyRecord and asks KeystrokeCodes; kbhit and getch then agree by construction on what a
// keystroke is, so kbhit never reports one that getch would wait past.
//
// The codes are the classic PC keyboard codes: plain keys give their character, the cursor,
// editing and function keys and most Alt combinations give 0 and then a second code (the PC
// scan code of the combination). The modifiers are looked at in the order Alt, Ctrl, Shift.
#pragma once

#include <cstdint>

enum class RecordType {
    Key,    // a key went down or up
    Other,  // mouse, window-size, menu and focus records
};

// The parts of a console input record that decide the keystroke; everything else (the repeat
// count, the scan code, the other control-key flags) plays no part.
struct KeyRecord {
    RecordType type = RecordType::Other;
    bool keyDown = false;
    std::uint16_t virtualKey = 0;  // the system's virtual-key code (VK_...)
    unsigned char character = 0;   // the character the record carries in the input code page; 0: none
    bool alt = false;              // either Alt key
    bool ctrl = false;             // either Ctrl key
    bool shift = false;
};

// What getch gives for one record.
struct RecordCodes {
    int count = 0;   // 0: not a keystroke (dropped by getch, passed over by kbhit); 1 or 2
    int first = 0;   // the code getch returns; 0 when count is 2
    int second = 0;  // with count 2: the code the next getch returns

    friend bool operator==(const RecordCodes& a, const RecordCodes& b)
    {
        return a.count == b.count && a.first == b.first && a.second == b.second;
    }
};

// The codes of a key-down record. Everything that is not a key-down, and every key-down for
// which there is no code (Shift, Ctrl and Alt alone, the lock keys, Pause, the Windows and
// application keys, F13 and above, keypad 5 without Num Lock, Ctrl with most digits and
// punctuation, Alt with a keypad digit, a character key whose record carries no character),
// gives count 0.
RecordCodes KeystrokeCodes(const KeyRecord& record);
