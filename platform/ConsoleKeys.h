// Console keystroke functions on the console input device: the console on Windows, the
// controlling terminal elsewhere; never standard input.
//
// The device is opened before main runs and closed at exit. Without one (no console, no
// controlling terminal) kbhit always reports no keystroke and nothing is reported.
#pragma once

// Nonzero when a keystroke is waiting. Never waits, removes nothing, changes no mode.
int kbhit();

// Takes exactly one keystroke, without echo, and returns its code. A two-code key (cursor and
// function keys, most Alt combinations) gives 0, and the next call gives its second code. Never
// waits: meant for after kbhit has said yes, it gives -1 when no keystroke is pending any more
// (another reader of the console took it in between) or the console cannot be read.
int getch();
