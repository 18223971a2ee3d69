// Which bytes from a terminal make one keystroke, and the codes that keystroke gives.
//
// Pure: no system calls, no allocation, no state beyond the one keystroke being decoded; the
// bytes come in one at a time and after each the decoder says whether the keystroke is whole.
// A reader that reads the next byte only when the keystroke is not yet whole and a byte is
// already waiting therefore never reads past the keystroke and never waits for one.
//
// One keystroke is:
// - one byte below 0x80 other than ESC (a letter, Enter, Ctrl with a letter, ...);
// - one whole UTF-8 character;
// - ESC alone, when nothing follows it;
// - a control sequence: ESC '[' then parameter bytes (0x30-0x3F) and intermediate bytes
//   (0x20-0x2F) up to a final byte (0x40-0x7E); the Linux console's ESC '[' '[' with one more
//   byte; rxvt's '$' ends one too;
// - SS3: ESC 'O', parameter bytes if any, then one final byte;
// - Alt with a key: ESC followed by one other character.
// A byte that cannot continue the keystroke it was read for ends it and belongs to it: it is
// already read, and a terminal cannot take a byte back.
//
// Codes, as the console keystroke functions return them:
// - A single byte gives its own value, a UTF-8 character its code point: never 0.
// - Byte 0 (Ctrl+Space, Ctrl+@) and every escape sequence are two-code keys: 0, then a second
//   code that is never 0, so a reader that reads the second code after a 0 never waits for it.
//   Byte 0 gives 0 and 3, as Ctrl+@ does on the PC. The other second codes are the PC
//   keyboard's too: arrows, Home, End, Page Up/Down, Insert, Delete,
//   keypad 5 and F1-F12 plain and with Shift, Ctrl or Alt (Alt counts first, then Ctrl, then
//   Shift; Meta counts as Alt), Shift+Tab, and Alt with a letter, a digit, the punctuation of
//   the main block, Space, Enter, Tab, Backspace or Esc. Everything else gives kUnknownKeyCode.
// - Bytes that are not well-formed UTF-8 give U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>

struct KeyCodes {
    int first = 0;   // 0 announces a two-code key
    int second = 0;  // the second code of a two-code key, else 0
};

// The second code of an escape sequence or Alt combination that has none of its own.
constexpr int kUnknownKeyCode = 0xFF;
// The code of bytes that are not well-formed UTF-8.
constexpr int kReplacementCharacter = 0xFFFD;

class KeystrokeDecoder {
public:
    // Takes the next byte of the keystroke; true when the keystroke is whole with it. Must not
    // be called again once it has returned true.
    bool Add(unsigned char byte);

    // True once a byte has completed the keystroke.
    bool Whole() const { return state_ == State::Whole; }

    // The codes of the keystroke: a whole one, or one cut short because no further byte was
    // waiting (ESC alone, a sequence or character whose rest did not come). Needs at least one
    // byte.
    KeyCodes Codes() const;

private:
    enum class State {
        Start,
        Utf8,             // a UTF-8 lead byte read, continuation bytes to come
        Escape,           // ESC read
        ControlSequence,  // ESC '[' read
        LinuxFunction,    // ESC '[' '[' read: one more byte names F1 to F5
        Ss3,              // ESC 'O' read
        Whole,
    };

    State state_ = State::Start;
    KeyCodes codes_;
    // After ESC: the keystroke is Alt with what follows.
    bool alt_ = false;
    // UTF-8: continuation bytes still to come, the code point so far, the range that the next
    // continuation byte must lie in (narrower after some lead bytes, so that overlong forms,
    // surrogates and values above U+10FFFF are not taken as characters).
    int continuations_ = 0;
    std::uint32_t codePoint_ = 0;
    unsigned char lowest_ = 0x80;
    unsigned char highest_ = 0xBF;
    // Control sequences and SS3: the first two numeric parameters and how many were started,
    // and whether anything but plain digits and ';' came (no key of ours has it).
    int parameters_[2] = {0, 0};
    int parameterCount_ = 0;
    bool sequenceStarted_ = false;  // a byte came after ESC '[' or ESC 'O'
    bool unusual_ = false;

    bool Finish(KeyCodes codes);
    bool FinishSequence(unsigned char finalByte);
    bool StartUtf8(unsigned char lead);
    bool AddParameterByte(unsigned char byte);
};

// The first keystroke of bytes that are all waiting: how many of them it takes (at least one,
// never more than count) and, in codes, what it gives. 0 when count is 0.
std::size_t TakeKeystroke(const unsigned char* bytes, std::size_t count, KeyCodes& codes);
