// Test-only: prints, for each argument, the delay in milliseconds that the command would wait
// for it, one line each: the seconds reader as compiled for Windows, given its arguments by
// the Windows command line and the C runtime's splitting of it.
#include <cstdio>

#include "Seconds.h"

// As in the command: the arguments are not expanded as file names.
extern "C" {
int _dowildcard = 0;
}

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        std::printf("%lu\n", static_cast<unsigned long>(SecondsToMilliseconds(ReadSeconds(argv[i]))));
    return 0;
}
