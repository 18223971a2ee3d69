#include "KeyRecords.h"
