// SNOOZLET <seconds>: waits that many seconds and ends with status 0, or ends with status 1 as
// soon as a key is pressed at the console (not standard input). No argument prints the usage
// line and ends with status 2, "/?" prints it and ends with status 3.
//
// The wait runs on the thread's message queue: one timer for the delay, one that polls the
// keyboard every 250 ms, and a message loop that dispatches their messages until one of the
// callbacks has decided the outcome.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Platform.h"
#include "Seconds.h"

// The outcome: -1 while undecided, then the exit status. During the wait only the timer
// callbacks write it, and they run inside DispatchMessageA on this thread, between two tests
// of the loop.
int nErrorlevel;

void CALLBACK DelayTimerFunc(HWND, UINT, UINT_PTR, DWORD)
{
    nErrorlevel = 0;
}

void CALLBACK KeyTimerFunc(HWND, UINT, UINT_PTR, DWORD)
{
    if (!kbhit())
        return;
    int nChar = getch();
    if (nChar == 0) {
        // The second code of a two-code key, taken so that the keystroke leaves the console
        // whole; which key it was does not matter.
        int nExtended = getch();
        (void)nExtended;
    }
    nErrorlevel = 1;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("usage: SNOOZLET <seconds>\n");
        exit(2);
    }
    if (strcmp(argv[1], "/?") == 0) {
        printf("usage: SNOOZLET <seconds>\n");
        exit(3);
    }

    double dSeconds = ReadSeconds(argv[1]);
    UINT uMilliseconds = SecondsToMilliseconds(dSeconds);

    nErrorlevel = -1;
    UINT_PTR uDelayTimerID = SetTimer(nullptr, 0, uMilliseconds, DelayTimerFunc);
    if (uDelayTimerID == 0)
        exit(2);
    UINT_PTR uKeyTimerID = SetTimer(nullptr, 0, 250, KeyTimerFunc);
    if (uKeyTimerID == 0) {
        KillTimer(nullptr, uDelayTimerID);
        exit(2);
    }

    MSG Msg;
    UINT wParam = 0;
    UINT lParam = 0;
    // GetMessageA gives -1 on error; taking that as the end of the loop keeps a persistent
    // error from spinning here for the rest of the delay.
    while (nErrorlevel == -1 && GetMessageA(&Msg, nullptr, wParam, lParam) > 0) {
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    }

    KillTimer(nullptr, uKeyTimerID);
    KillTimer(nullptr, uDelayTimerID);
    if (nErrorlevel == -1)
        nErrorlevel = 1;
    exit(nErrorlevel);
}
