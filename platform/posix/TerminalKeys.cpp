#include "TerminalKeys.h"
