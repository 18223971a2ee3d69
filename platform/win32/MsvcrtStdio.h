// Included ahead of every source of the program (see CMakeLists.txt): printf is msvcrt's own.
//
// msvcrt's printf formats into one buffer and hands it to the stream at once, so the usage
// line on an unbuffered console is a single write of 27 bytes, its newline turned into CR LF
// by the text-mode stream. MinGW's C99 printf, which libstdc++'s configuration forces on for
// every C++ source that includes <cstdio>, puts the characters one by one instead: 26 writes
// on a console. Including <stdio.h> here, before libstdc++ has spoken, keeps its declarations
// the C runtime's; its include guard then leaves them as they are.
#pragma once

#define __USE_MINGW_ANSI_STDIO 0
#include <stdio.h>
