// What the program may call of the system, one include for every platform.
//
// Timers and the thread's message queue: SetTimer, KillTimer, GetMessageA, TranslateMessage,
// DispatchMessageA and PostQuitMessage with MSG, WM_TIMER, WM_QUIT and the timer-procedure
// form. On Windows these are USER32's own; elsewhere our layer gives them the same contract.
//
// Console keystrokes: kbhit and getch on the console input device (ConsoleKeys.h), our own on
// every platform.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "posix/Timers.h"
#endif

#include "ConsoleKeys.h"
