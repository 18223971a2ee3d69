// Reads the headers of a Windows program file (PE/COFF): the machine, the optional header's
// kind (PE32 or PE32+), the subsystem and the DLLs and functions it imports. Enough to check a
// build without running it; throws std::runtime_error for a file that is not a PE image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImage {
    std::uint16_t machine = 0;        // 0x14C i386, 0x8664 x86-64
    std::uint16_t optionalMagic = 0;  // 0x10B PE32, 0x20B PE32+
    std::uint16_t subsystem = 0;      // 2 GUI, 3 console
    struct Import {
        std::string dll;                     // as the import table spells it
        std::vector<std::string> functions;  // imported by name (ordinals are left out)
    };
    std::vector<Import> imports;
};

PeImage ReadPeImage(const std::string& path);
