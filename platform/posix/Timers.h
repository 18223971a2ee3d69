// Timers and the thread's message queue for POSIX, with the contract of the Windows functions
// of the same names, so the program runs unchanged on both.
//
// - Timers are periodic and window-less (the window handle must be null); their identifiers
//   are nonzero. SetTimer returns 0 when no timer can be made.
// - Intervals below 10 ms count as 10 ms, above 0x7FFFFFFF ms as 0x7FFFFFFF ms.
// - GetMessageA blocks in one system call until the earliest timer falls due; it never busy
//   waits or wakes up without cause, and it runs on the monotonic clock, so setting the wall
//   clock neither shortens nor stretches a wait.
// - A due timer yields one WM_TIMER per fetch and is never queued twice; missed periods are not
//   caught up. Of two timers due at one fetch, the one due earliest comes first, ties in
//   creation order.
// - A quit message comes before any timer message and makes GetMessageA return 0.
// - Everything belongs to the calling thread: no locks, not for use from several threads.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using HWND = struct WindowHandle*;

// The Windows calling-convention marker for callbacks; the default convention here.
#define CALLBACK

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
    long x;
    long y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;  // WM_TIMER: the timer identifier; WM_QUIT: the exit code
    LPARAM lParam;  // WM_TIMER: the timer procedure
    DWORD time;     // milliseconds of the monotonic clock, wrapping
    POINT pt;
};

constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_TIMER = 0x0113;

constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// Creates a timer, or with the identifier of an existing one resets its interval and procedure.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
// Destroys the timer; its message, if already fetched, can still be dispatched.
BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);
// Fills *lpMsg with the next message, waiting for one. 0 for WM_QUIT, -1 for a bad argument
// (a window handle or filter this layer does not have), nonzero otherwise.
BOOL GetMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
// Nothing to translate without a keyboard message; returns 0.
BOOL TranslateMessage(const MSG* lpMsg);
// Calls the timer procedure of a WM_TIMER message; returns 0.
LRESULT DispatchMessageA(const MSG* lpMsg);
// Posts the quit message to the calling thread.
void PostQuitMessage(int nExitCode);
