#include <gtest/gtest.h>
#include "Subprocess.h"
