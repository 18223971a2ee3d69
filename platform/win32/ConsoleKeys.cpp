// kbhit and getch on the console input records (ConsoleKeys.h gives the contract).
//
// The device is "CONIN$", not standard input, so that a key at the console ends the wait
// wherever standard input points. Which records make a keystroke is decided in KeyRecords.cpp;
// here are only the console calls around it.
#include <windows.h>

#include <cstdlib>

#include "ConsoleKeys.h"
#include "KeyRecords.h"

namespace {

// The console input device, opened before main and closed at exit. Without a console the open
// fails and the handle stays invalid: every look then finds nothing and every read fails.
class ConsoleInput {
public:
    ConsoleInput()
        : handle_(CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr))
    {
    }
    ~ConsoleInput()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    ConsoleInput(const ConsoleInput&) = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;

    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_;
};

ConsoleInput consoleInput;

// The records kbhit looks at. It keeps what it has grown to, so that the polls of one wait
// allocate at most a few times, when more records are pending than ever before; the first 64
// need no allocation at all.
class PeekBuffer {
public:
    PeekBuffer() = default;
    ~PeekBuffer() { std::free(heap_); }
    PeekBuffer(const PeekBuffer&) = delete;
    PeekBuffer& operator=(const PeekBuffer&) = delete;

    // Room for at least count records; when memory runs out, the room there is.
    DWORD Reserve(DWORD count)
    {
        if (count > capacity_) {
            DWORD grown = count > 2 * capacity_ ? count : 2 * capacity_;
            void* memory = std::realloc(heap_, grown * sizeof(INPUT_RECORD));
            if (memory != nullptr) {
                heap_ = static_cast<INPUT_RECORD*>(memory);
                capacity_ = grown;
            }
        }
        return capacity_;
    }
    INPUT_RECORD* data() { return heap_ != nullptr ? heap_ : inline_; }

private:
    INPUT_RECORD inline_[64];
    INPUT_RECORD* heap_ = nullptr;
    DWORD capacity_ = 64;
};

PeekBuffer peekBuffer;

constexpr int kNoHeldCode = -1;

// The second code of a two-code key, kept for the next getch.
int heldCode = kNoHeldCode;

KeyRecord ToKeyRecord(const INPUT_RECORD& input)
{
    KeyRecord record;
    if (input.EventType != KEY_EVENT)
        return record;
    const KEY_EVENT_RECORD& key = input.Event.KeyEvent;
    record.type = RecordType::Key;
    record.keyDown = key.bKeyDown != FALSE;
    record.virtualKey = key.wVirtualKeyCode;
    record.character = static_cast<unsigned char>(key.uChar.AsciiChar);
    record.alt = (key.dwControlKeyState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
    record.ctrl = (key.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
    record.shift = (key.dwControlKeyState & SHIFT_PRESSED) != 0;
    return record;
}

}  // namespace

int kbhit()
{
    if (heldCode != kNoHeldCode)
        return 1;
    HANDLE input = consoleInput.handle();
    DWORD pending = 0;
    if (input == INVALID_HANDLE_VALUE || !GetNumberOfConsoleInputEvents(input, &pending) ||
        pending == 0)
        return 0;
    // Every pending record is looked at: a key pressed behind a long run of mouse or release
    // records is still found.
    DWORD room = peekBuffer.Reserve(pending);
    DWORD peeked = 0;
    if (!PeekConsoleInputA(input, peekBuffer.data(), pending < room ? pending : room, &peeked))
        return 0;
    for (DWORD i = 0; i < peeked; ++i) {
        if (KeystrokeCodes(ToKeyRecord(peekBuffer.data()[i])).count != 0)
            return 1;
    }
    return 0;
}

int getch()
{
    if (heldCode != kNoHeldCode) {
        int code = heldCode;
        heldCode = kNoHeldCode;
        return code;
    }
    HANDLE input = consoleInput.handle();
    DWORD savedMode = 0;
    // Mode 0 for the read: no line input, no echo, Ctrl+C as a key, no mouse or window records.
    if (!GetConsoleMode(input, &savedMode) || !SetConsoleMode(input, 0))
        return -1;
    int code = -1;
    for (;;) {
        // Only records already pending: another reader may have taken the keystroke since
        // kbhit saw it, and waiting here for the next one would hold up the delay.
        DWORD pending = 0;
        if (!GetNumberOfConsoleInputEvents(input, &pending) || pending == 0)
            break;
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputA(input, &record, 1, &read) || read != 1)
            break;
        RecordCodes codes = KeystrokeCodes(ToKeyRecord(record));
        if (codes.count == 0)
            continue;  // ahead of the keystroke: dropped
        code = codes.first;
        if (codes.count == 2)
            heldCode = codes.second;
        break;
    }
    SetConsoleMode(input, savedMode);
    return code;
}
