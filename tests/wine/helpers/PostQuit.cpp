// Test-only: starts a command and, once it has run for the given time, posts the quit message
// to its thread, as another program of the session could.
//
//   PostQuit MILLISECONDS PROGRAM [ARG...]
//
// The post is repeated until the thread takes it: a thread has a message queue only from its
// first USER32 call on. Exit status: the command's; 254 when it ended before any post got
// through, 255 when something here failed (the reason on standard error).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: PostQuit MILLISECONDS PROGRAM [ARG...]\n");
        return 255;
    }
    DWORD delayMs = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    std::string commandLine;
    for (int i = 2; i < argc; ++i)
        commandLine += (i > 2 ? " " : "") + std::string(argv[i]);  // the tests' arguments hold no blanks

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "PostQuit: cannot start %s (error %lu)\n", argv[2], GetLastError());
        return 255;
    }
    bool posted = false;
    if (WaitForSingleObject(process.hProcess, delayMs) == WAIT_TIMEOUT) {
        while (!posted && WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT)
            posted = PostThreadMessageA(process.dwThreadId, WM_QUIT, 0, 0) != FALSE;
    }
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "PostQuit: the command did not end within a minute\n");
        TerminateProcess(process.hProcess, 255);
        return 255;
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    if (!posted) {
        std::fprintf(stderr, "PostQuit: the command ended (status %lu) before the post\n", status);
        return 254;
    }
    return static_cast<int>(status);
}
