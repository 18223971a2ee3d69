// A stand-in for the few console declarations of windows.h that the Windows console keys
// use, so that platform/win32/ConsoleKeys.cpp builds and runs on Linux against a console
// input queue that the fuzzer fills (ConsoleKeysFuzzer.cpp). Layouts and values are Windows' own
// where the code depends on them; nothing else of windows.h is here.
#pragma once

#include <cstdint>

using BOOL = int;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using CHAR = char;
using WCHAR = wchar_t;
using HANDLE = void*;
using LPCSTR = const char*;

#define FALSE 0
#define TRUE 1
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u

#define KEY_EVENT 0x0001
#define MOUSE_EVENT 0x0002
#define WINDOW_BUFFER_SIZE_EVENT 0x0004
#define MENU_EVENT 0x0008
#define FOCUS_EVENT 0x0010

#define RIGHT_ALT_PRESSED 0x0001u
#define LEFT_ALT_PRESSED 0x0002u
#define RIGHT_CTRL_PRESSED 0x0004u
#define LEFT_CTRL_PRESSED 0x0008u
#define SHIFT_PRESSED 0x0010u

struct KEY_EVENT_RECORD {
    BOOL bKeyDown;
    WORD wRepeatCount;
    WORD wVirtualKeyCode;
    WORD wVirtualScanCode;
    union {
        WCHAR UnicodeChar;
        CHAR AsciiChar;
    } uChar;
    DWORD dwControlKeyState;
};

struct INPUT_RECORD {
    WORD EventType;
    union {
        KEY_EVENT_RECORD KeyEvent;
        unsigned char other[16];  // the mouse, size, menu and focus records, never looked into
    } Event;
};

struct SECURITY_ATTRIBUTES;

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD creation, DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);
BOOL GetNumberOfConsoleInputEvents(HANDLE input, DWORD* count);
BOOL PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read);
BOOL ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read);
BOOL GetConsoleMode(HANDLE handle, DWORD* mode);
BOOL SetConsoleMode(HANDLE handle, DWORD mode);
