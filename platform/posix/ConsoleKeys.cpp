// TEMPORARY stand-in until the terminal keys land.
#include "ConsoleKeys.h"
int kbhit() { return 0; }
int getch() { return -1; }
