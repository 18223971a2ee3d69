#include "TerminalKeys.h"

namespace {

constexpr unsigned char kEscape = 0x1B;

// The keys that escape sequences name, and their PC second codes plain, with Shift, with Ctrl
// and with Alt. On the PC Shift changes none of the cursor keys' codes, only the function keys'.
enum Key {
    kUp, kDown, kRight, kLeft, kHome, kEnd, kPageUp, kPageDown, kInsert, kDelete, kBegin,
    kF1, kF2, kF3, kF4, kF5, kF6, kF7, kF8, kF9, kF10, kF11, kF12,
    kKeyCount,
    kNoKey = kKeyCount,
};

enum Modifier { kPlain, kShift, kCtrl, kAlt };

constexpr int kKeyCodes[kKeyCount][4] = {
    {72, 72, 141, 152},    // Up
    {80, 80, 145, 160},    // Down
    {77, 77, 116, 157},    // Right
    {75, 75, 115, 155},    // Left
    {71, 71, 119, 151},    // Home
    {79, 79, 117, 159},    // End
    {73, 73, 132, 153},    // Page Up
    {81, 81, 118, 161},    // Page Down
    {82, 82, 146, 162},    // Insert
    {83, 83, 147, 163},    // Delete
    {76, 76, 143, kUnknownKeyCode},  // keypad 5 with Num Lock off ("begin")
    {59, 84, 94, 104},     // F1
    {60, 85, 95, 105},
    {61, 86, 96, 106},
    {62, 87, 97, 107},
    {63, 88, 98, 108},     // F5
    {64, 89, 99, 109},
    {65, 90, 100, 110},
    {66, 91, 101, 111},
    {67, 92, 102, 112},
    {68, 93, 103, 113},    // F10
    {133, 135, 137, 139},  // F11
    {134, 136, 138, 140},  // F12
};

constexpr int kShiftTabCode = 15;
constexpr int kAltLeftBracketCode = 26;  // ESC '[' with nothing after it
constexpr int kAltOCode = 24;            // ESC 'O' with nothing after it
constexpr int kCtrlAtSecondCode = 3;     // byte 0

// The key of "ESC [ n ~" (xterm, VT220, rxvt and the Linux console use the same numbers).
Key TildeKey(int number)
{
    switch (number) {
    case 1: case 7: return kHome;
    case 2: return kInsert;
    case 3: return kDelete;
    case 4: case 8: return kEnd;
    case 5: return kPageUp;
    case 6: return kPageDown;
    case 11: return kF1;
    case 12: return kF2;
    case 13: return kF3;
    case 14: return kF4;
    case 15: return kF5;
    case 17: return kF6;
    case 18: return kF7;
    case 19: return kF8;
    case 20: return kF9;
    case 21: return kF10;
    case 23: return kF11;
    case 24: return kF12;
    default: return kNoKey;
    }
}

// The key of a sequence that ends in a letter: cursor keys, Home, End, keypad 5 and F1 to F4.
Key LetterKey(unsigned char finalByte)
{
    switch (finalByte) {
    case 'A': return kUp;
    case 'B': return kDown;
    case 'C': return kRight;
    case 'D': return kLeft;
    case 'H': return kHome;
    case 'F': return kEnd;
    case 'E': case 'G': return kBegin;
    case 'P': return kF1;
    case 'Q': return kF2;
    case 'R': return kF3;
    case 'S': return kF4;
    default: return kNoKey;
    }
}

// rxvt's lower-case letters: Shift with an arrow after '[', Ctrl with an arrow after 'O'.
Key RxvtArrowKey(unsigned char finalByte)
{
    switch (finalByte) {
    case 'a': return kUp;
    case 'b': return kDown;
    case 'c': return kRight;
    case 'd': return kLeft;
    default: return kNoKey;
    }
}

// xterm's modifier parameter: 1 plus Shift 1, Alt 2, Ctrl 4, Meta 8. Meta counts as Alt, and
// as on the PC Alt counts before Ctrl and Ctrl before Shift.
Modifier ModifierOf(int parameter)
{
    int bits = parameter > 1 ? parameter - 1 : 0;
    if (bits & (2 | 8))
        return kAlt;
    if (bits & 4)
        return kCtrl;
    if (bits & 1)
        return kShift;
    return kPlain;
}

int KeyCode(Key key, Modifier modifier)
{
    return key == kNoKey ? kUnknownKeyCode : kKeyCodes[key][modifier];
}

// The PC second code of Alt with the key that sends this byte (ESC then the byte).
int AltCode(unsigned char byte)
{
    static constexpr char kTopRow[] = "qwertyuiop";    // 16 to 25
    static constexpr char kMiddleRow[] = "asdfghjkl";  // 30 to 38
    static constexpr char kBottomRow[] = "zxcvbnm";    // 44 to 50
    unsigned char lower = byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a')
                                                     : byte;
    for (int i = 0; kTopRow[i] != '\0'; ++i)
        if (lower == kTopRow[i])
            return 16 + i;
    for (int i = 0; kMiddleRow[i] != '\0'; ++i)
        if (lower == kMiddleRow[i])
            return 30 + i;
    for (int i = 0; kBottomRow[i] != '\0'; ++i)
        if (lower == kBottomRow[i])
            return 44 + i;
    if (byte >= '1' && byte <= '9')
        return 120 + (byte - '1');
    switch (byte) {
    case '0': return 129;
    case '-': return 130;
    case '=': return 131;
    case '[': return 26;
    case ']': return 27;
    case ';': return 39;
    case '\'': return 40;
    case '`': return 41;
    case '\\': return 43;
    case ',': return 51;
    case '.': return 52;
    case '/': return 53;
    case ' ': return 57;
    case kEscape: return 1;
    case 0x7F: case '\b': return 14;  // Backspace, as either byte
    case '\r': case '\n': return 28;  // Enter, with or without ICRNL
    case '\t': return 165;
    default: return kUnknownKeyCode;
    }
}

}  // namespace

bool KeystrokeDecoder::Finish(KeyCodes codes)
{
    codes_ = codes;
    state_ = State::Whole;
    return true;
}

bool KeystrokeDecoder::StartUtf8(unsigned char lead)
{
    state_ = State::Utf8;
    lowest_ = 0x80;
    highest_ = 0xBF;
    if (lead < 0xE0) {
        continuations_ = 1;
        codePoint_ = lead & 0x1Fu;
    } else if (lead < 0xF0) {
        continuations_ = 2;
        codePoint_ = lead & 0x0Fu;
        if (lead == 0xE0)
            lowest_ = 0xA0;  // below: an overlong form
        if (lead == 0xED)
            highest_ = 0x9F;  // above: a surrogate
    } else {
        continuations_ = 3;
        codePoint_ = lead & 0x07u;
        if (lead == 0xF0)
            lowest_ = 0x90;  // below: an overlong form
        if (lead == 0xF4)
            highest_ = 0x8F;  // above: beyond U+10FFFF
    }
    return false;
}

bool KeystrokeDecoder::AddParameterByte(unsigned char byte)
{
    sequenceStarted_ = true;
    if (byte >= '0' && byte <= '9') {
        if (parameterCount_ == 0)
            parameterCount_ = 1;
        if (parameterCount_ <= 2) {
            int& parameter = parameters_[parameterCount_ - 1];
            // Saturates: no key has a number this large, and the sequence may be any length.
            if (parameter < 10000)
                parameter = parameter * 10 + (byte - '0');
        }
    } else if (byte == ';') {
        // An empty first parameter before ';' still counts as one.
        parameterCount_ = parameterCount_ == 0 ? 2 : parameterCount_ + 1;
        if (parameterCount_ > 2) {
            unusual_ = true;
            parameterCount_ = 3;
        }
    } else {
        unusual_ = true;  // ':' sub-parameters or a private marker: none of our keys
    }
    return false;
}

bool KeystrokeDecoder::FinishSequence(unsigned char finalByte)
{
    bool ss3 = state_ == State::Ss3;
    if (unusual_)
        return Finish({0, kUnknownKeyCode});

    // The modifier: the second parameter, or a lone one where a letter ends the sequence
    // (older terminals send "ESC O 5 P" and "ESC [ 5 A").
    int modifierParameter = parameterCount_ >= 2 ? parameters_[1]
                          : parameterCount_ == 1 ? parameters_[0] : 1;

    Key key = LetterKey(finalByte);
    if (key != kNoKey && !(ss3 && finalByte == 'G'))
        return Finish({0, KeyCode(key, ModifierOf(modifierParameter))});

    if (!ss3 && finalByte == 'Z')
        return Finish({0, kShiftTabCode});

    key = RxvtArrowKey(finalByte);
    if (key != kNoKey && parameterCount_ == 0)
        return Finish({0, KeyCode(key, ss3 ? kCtrl : kShift)});

    if (!ss3 && parameterCount_ >= 1) {
        key = TildeKey(parameters_[0]);
        if (finalByte == '~')
            return Finish({0, KeyCode(key, ModifierOf(parameterCount_ >= 2 ? parameters_[1] : 1))});
        // rxvt puts the modifier in the final byte instead: '$' Shift, '^' Ctrl, '@' both.
        if (parameterCount_ == 1 && finalByte == '$')
            return Finish({0, KeyCode(key, kShift)});
        if (parameterCount_ == 1 && (finalByte == '^' || finalByte == '@'))
            return Finish({0, KeyCode(key, kCtrl)});
    }
    return Finish({0, kUnknownKeyCode});
}

bool KeystrokeDecoder::Add(unsigned char byte)
{
    switch (state_) {
    case State::Start:
        if (byte == kEscape) {
            state_ = State::Escape;
            return false;
        }
        if (byte == 0)
            return Finish({0, kCtrlAtSecondCode});
        if (byte < 0x80)
            return Finish({byte, 0});
        if (byte >= 0xC2 && byte <= 0xF4)
            return StartUtf8(byte);
        return Finish({kReplacementCharacter, 0});  // a continuation byte or no lead byte

    case State::Utf8:
        if (byte < lowest_ || byte > highest_)
            return Finish(alt_ ? KeyCodes{0, kUnknownKeyCode} : KeyCodes{kReplacementCharacter, 0});
        codePoint_ = (codePoint_ << 6) | (byte & 0x3Fu);
        lowest_ = 0x80;
        highest_ = 0xBF;
        if (--continuations_ > 0)
            return false;
        if (alt_)
            return Finish({0, kUnknownKeyCode});
        return Finish({static_cast<int>(codePoint_), 0});

    case State::Escape:
        if (byte == '[') {
            state_ = State::ControlSequence;
            return false;
        }
        if (byte == 'O') {
            state_ = State::Ss3;
            return false;
        }
        if (byte >= 0xC2 && byte <= 0xF4) {
            alt_ = true;
            return StartUtf8(byte);
        }
        if (byte >= 0x80)
            return Finish({0, kUnknownKeyCode});
        return Finish({0, AltCode(byte)});

    case State::ControlSequence:
        if (byte == '[' && !sequenceStarted_) {
            state_ = State::LinuxFunction;
            return false;
        }
        if (byte >= 0x30 && byte <= 0x3F)
            return AddParameterByte(byte);
        if (byte == '$')
            return FinishSequence(byte);
        if (byte >= 0x20 && byte <= 0x2F) {
            sequenceStarted_ = true;
            unusual_ = true;  // an intermediate byte: none of our keys has one
            return false;
        }
        if (byte >= 0x40 && byte <= 0x7E)
            return FinishSequence(byte);
        return Finish({0, kUnknownKeyCode});

    case State::LinuxFunction:
        // The Linux console's F1 to F5: ESC [ [ A to ESC [ [ E.
        if (byte >= 'A' && byte <= 'E')
            return Finish({0, KeyCode(static_cast<Key>(kF1 + (byte - 'A')), kPlain)});
        return Finish({0, kUnknownKeyCode});

    case State::Ss3:
        if (byte >= 0x30 && byte <= 0x3F)
            return AddParameterByte(byte);
        if (byte >= 0x40 && byte <= 0x7E)
            return FinishSequence(byte);
        return Finish({0, kUnknownKeyCode});

    case State::Whole:
        break;
    }
    return true;
}

KeyCodes KeystrokeDecoder::Codes() const
{
    switch (state_) {
    case State::Start:
        return {kReplacementCharacter, 0};
    case State::Utf8:
        return alt_ ? KeyCodes{0, kUnknownKeyCode} : KeyCodes{kReplacementCharacter, 0};
    case State::Escape:
        return {kEscape, 0};  // ESC alone is the Esc key
    case State::ControlSequence:
        // ESC '[' alone is Alt+[.
        return {0, sequenceStarted_ ? kUnknownKeyCode : kAltLeftBracketCode};
    case State::Ss3:
        // ESC 'O' alone is Alt+O.
        return {0, sequenceStarted_ ? kUnknownKeyCode : kAltOCode};
    case State::LinuxFunction:
        return {0, kUnknownKeyCode};
    case State::Whole:
        break;
    }
    return codes_;
}

std::size_t TakeKeystroke(const unsigned char* bytes, std::size_t count, KeyCodes& codes)
{
    codes = KeyCodes{};
    if (count == 0)
        return 0;
    KeystrokeDecoder decoder;
    std::size_t taken = 0;
    while (taken < count && !decoder.Add(bytes[taken++])) {
    }
    codes = decoder.Codes();
    return taken;
}
