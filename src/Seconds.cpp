// TEMPORARY stand-in until the exact reader lands.
#include "Seconds.h"
#include <cstdlib>
double ReadSeconds(const char* pszText) { return std::strtod(pszText, nullptr); }
std::uint32_t SecondsToMilliseconds(double dSeconds)
{
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(dSeconds * 1000.0));
}
