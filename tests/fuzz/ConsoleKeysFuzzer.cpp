// The Windows console keys (platform/win32/ConsoleKeys.cpp, built here against the stand-in
// windows.h) on any queue of console input records, polled as the wait polls: kbhit, and
// getch only after kbhit has said yes, a second getch after a 0.
//
// The fuzzer's data is a list of records, five bytes each. The first byte of the data says
// how many of them are waiting from the start; the others arrive after the first keystroke
// has been taken. For every poll:
// - kbhit says yes exactly when a waiting record makes a keystroke (KeyRecords.h), and takes
//   nothing away and changes no mode;
// - getch takes at least one record and never waits for one (the queue is never empty when
//   it reads), takes exactly one keystroke: the records before it are those that make none,
//   and the last one taken makes it; it returns that keystroke's code, the console mode is 0
//   while it reads and as found afterwards;
// - a two-code key gives 0, then its second code from the next getch, which reads nothing;
// - no call reads or writes past a buffer (the peek buffer grows when many records wait), and
//   the polling ends: every keystroke takes a record away.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include <windows.h>

#include "ConsoleKeys.h"
#include "KeyRecords.h"

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "console keys: %s\n", what);
    std::abort();
}

HANDLE const kConsoleInput = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x5A5A));
constexpr DWORD kModeFound = 0x01F7;  // processed, line and echo input, mouse, insert, ...

// The fake console input: the records waiting, and its mode.
struct Console {
    std::deque<INPUT_RECORD> records;
    DWORD mode = kModeFound;
    bool reading = false;  // inside ReadConsoleInputA
} console;

bool IsConsoleInput(HANDLE handle)
{
    return handle == kConsoleInput;
}

// A waiting record, as the fuzzer made it and as the key tables see it.
struct Made {
    INPUT_RECORD input;
    KeyRecord record;
};

Made MakeRecord(const std::uint8_t* bytes)
{
    // bytes[0]: bit 0 a key record (else one of the others, by bits 1-2), bit 3 key down,
    // bits 4-6 Alt, Ctrl, Shift, bit 7 the right-hand Alt and Ctrl instead of the left;
    // bytes[1]: the virtual key's low byte; bytes[2]: the character; bytes[3]: the virtual
    // key's high byte when its top bit is set, and other state bits (Num Lock, Caps Lock, the
    // enhanced-key flag) that play no part; bytes[4]: repeat count and scan code, no part.
    Made made{};
    std::memset(&made.input, bytes[4], sizeof made.input);  // whatever the rest holds
    const std::uint8_t flags = bytes[0];
    if ((flags & 1) == 0) {
        static const WORD kOthers[] = {MOUSE_EVENT, WINDOW_BUFFER_SIZE_EVENT, MENU_EVENT,
                                       FOCUS_EVENT};
        made.input.EventType = kOthers[(flags >> 1) & 3];
        made.record.type = RecordType::Other;
        return made;
    }
    KEY_EVENT_RECORD& key = made.input.Event.KeyEvent;
    made.input.EventType = KEY_EVENT;
    const bool right = (flags & 0x80) != 0;
    key.bKeyDown = (flags & 0x08) != 0 ? (bytes[4] | 1) : FALSE;  // any nonzero is true
    key.wVirtualKeyCode = static_cast<WORD>(
        bytes[1] | ((bytes[3] & 0x80) != 0 ? (bytes[3] & 0x7F) << 8 : 0));
    key.uChar.UnicodeChar = 0;
    key.uChar.AsciiChar = static_cast<CHAR>(bytes[2]);
    key.wRepeatCount = bytes[4];
    key.wVirtualScanCode = bytes[4];
    key.dwControlKeyState = static_cast<DWORD>(bytes[3] & 0x7F) << 5;  // 0x20 and up: no part
    if ((flags & 0x10) != 0)
        key.dwControlKeyState |= right ? RIGHT_ALT_PRESSED : LEFT_ALT_PRESSED;
    if ((flags & 0x20) != 0)
        key.dwControlKeyState |= right ? RIGHT_CTRL_PRESSED : LEFT_CTRL_PRESSED;
    if ((flags & 0x40) != 0)
        key.dwControlKeyState |= SHIFT_PRESSED;

    made.record.type = RecordType::Key;
    made.record.keyDown = key.bKeyDown != FALSE;
    made.record.virtualKey = key.wVirtualKeyCode;
    made.record.character = bytes[2];
    made.record.alt = (flags & 0x10) != 0;
    made.record.ctrl = (flags & 0x20) != 0;
    made.record.shift = (flags & 0x40) != 0;
    return made;
}

void CheckCodes(const RecordCodes& codes)
{
    switch (codes.count) {
    case 0:
        if (codes.first != 0 || codes.second != 0)
            Fail("a record that makes no keystroke still has codes");
        break;
    case 1:
        if (codes.first < 1 || codes.first > 255 || codes.second != 0)
            Fail("a single code that is not 1 to 255");
        break;
    case 2:
        if (codes.first != 0 || codes.second < 1 || codes.second > 255)
            Fail("a two-code key that is not 0 and then 1 to 255");
        break;
    default:
        Fail("a record with more than two codes");
    }
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD, DWORD, HANDLE)
{
    return std::strcmp(name, "CONIN$") == 0 ? kConsoleInput : INVALID_HANDLE_VALUE;
}

BOOL CloseHandle(HANDLE handle)
{
    return IsConsoleInput(handle) ? TRUE : FALSE;
}

BOOL GetNumberOfConsoleInputEvents(HANDLE input, DWORD* count)
{
    if (!IsConsoleInput(input))
        return FALSE;
    *count = static_cast<DWORD>(console.records.size());
    return TRUE;
}

BOOL PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read)
{
    if (!IsConsoleInput(input))
        return FALSE;
    DWORD n = 0;
    for (; n < length && n < console.records.size(); ++n)
        buffer[n] = console.records[n];  // past the caller's buffer: AddressSanitizer reports it
    *read = n;
    return TRUE;
}

BOOL ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read)
{
    if (!IsConsoleInput(input) || length < 1)
        return FALSE;
    if (console.mode != 0)
        Fail("a record read with the console mode not 0");
    if (console.records.empty())
        Fail("getch waits for a record, after kbhit said one was there");
    buffer[0] = console.records.front();
    console.records.pop_front();
    *read = 1;
    return TRUE;
}

BOOL GetConsoleMode(HANDLE handle, DWORD* mode)
{
    if (!IsConsoleInput(handle))
        return FALSE;
    *mode = console.mode;
    return TRUE;
}

BOOL SetConsoleMode(HANDLE handle, DWORD mode)
{
    if (!IsConsoleInput(handle))
        return FALSE;
    console.mode = mode;
    return TRUE;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    constexpr std::size_t kRecordBytes = 5;
    std::vector<Made> made;
    for (std::size_t at = 1; at + kRecordBytes <= size; at += kRecordBytes)
        made.push_back(MakeRecord(data + at));
    const std::size_t firstBatch = data[0] < made.size() ? data[0] : made.size();

    console.records.clear();
    console.mode = kModeFound;
    // What is waiting, as the key tables see it, beside the queue itself.
    std::deque<KeyRecord> waiting;
    auto arrive = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            console.records.push_back(made[i].input);
            waiting.push_back(made[i].record);
        }
    };
    arrive(0, firstBatch);
    bool secondBatchArrived = false;

    for (;;) {
        const std::size_t before = console.records.size();
        bool keystrokeWaiting = false;
        for (const KeyRecord& record : waiting) {
            const RecordCodes codes = KeystrokeCodes(record);
            CheckCodes(codes);
            keystrokeWaiting = keystrokeWaiting || codes.count != 0;
        }
        const int hit = kbhit();
        if (console.records.size() != before || console.mode != kModeFound)
            Fail("kbhit took a record or changed the mode");
        if ((hit != 0) != keystrokeWaiting)
            Fail(hit != 0 ? "kbhit says yes with no keystroke waiting"
                          : "kbhit says no with a keystroke waiting");
        if (hit == 0) {
            if (secondBatchArrived)
                break;
            secondBatchArrived = true;
            arrive(firstBatch, made.size());
            continue;
        }

        const int code = getch();
        const std::size_t taken = before - console.records.size();
        if (taken < 1 || taken > before)
            Fail("getch took no record");
        if (console.mode != kModeFound)
            Fail("the console mode is not as found after getch");
        for (std::size_t i = 0; i + 1 < taken; ++i) {
            if (KeystrokeCodes(waiting[i]).count != 0)
                Fail("getch took a keystroke and went on reading");
        }
        const RecordCodes codes = KeystrokeCodes(waiting[taken - 1]);
        if (codes.count == 0)
            Fail("getch ended on a record that makes no keystroke");
        waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(taken));
        if (code != codes.first)
            Fail("getch returned another code than the keystroke's first");
        if (codes.count == 2) {
            const std::size_t left = console.records.size();
            if (kbhit() == 0)
                Fail("kbhit says no while a second code is held");
            if (getch() != codes.second)
                Fail("the second getch returned another code than the keystroke's second");
            if (console.records.size() != left || console.mode != kModeFound)
                Fail("the second code read the console");
        }
        if (!secondBatchArrived) {
            secondBatchArrived = true;
            arrive(firstBatch, made.size());
        }
    }
    if (!console.records.empty() && console.records.size() != waiting.size())
        Fail("the queue and what the fuzzer thinks is waiting differ");
    return 0;
}
