#include "PeImage.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

class Bytes {
public:
    explicit Bytes(std::vector<unsigned char> data) : data_(std::move(data)) {}

    std::uint32_t U16(std::size_t at) const
    {
        Need(at, 2);
        return static_cast<std::uint32_t>(data_[at] | data_[at + 1] << 8);
    }
    std::uint32_t U32(std::size_t at) const { return U16(at) | U16(at + 2) << 16; }
    std::uint64_t U64(std::size_t at) const
    {
        return U32(at) | static_cast<std::uint64_t>(U32(at + 4)) << 32;
    }
    std::string String(std::size_t at) const
    {
        std::string text;
        for (Need(at, 1); data_[at] != 0; Need(++at, 1))
            text += static_cast<char>(data_[at]);
        return text;
    }

private:
    void Need(std::size_t at, std::size_t count) const
    {
        if (at + count > data_.size())
            throw std::runtime_error("truncated PE image");
    }
    std::vector<unsigned char> data_;
};

struct Section {
    std::uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

}  // namespace

PeImage ReadPeImage(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    const Bytes bytes(std::vector<unsigned char>(std::istreambuf_iterator<char>(file), {}));

    if (bytes.U16(0) != 0x5A4D)  // "MZ"
        throw std::runtime_error("no MZ header");
    const std::size_t pe = bytes.U32(0x3C);
    if (bytes.U32(pe) != 0x00004550)  // "PE\0\0"
        throw std::runtime_error("no PE signature");

    PeImage image;
    image.machine = static_cast<std::uint16_t>(bytes.U16(pe + 4));
    const std::uint32_t sectionCount = bytes.U16(pe + 6);
    const std::uint32_t optionalSize = bytes.U16(pe + 20);
    const std::size_t optional = pe + 24;
    image.optionalMagic = static_cast<std::uint16_t>(bytes.U16(optional));
    image.subsystem = static_cast<std::uint16_t>(bytes.U16(optional + 68));
    // The data directories follow the fixed part, which PE32+ makes 16 bytes longer.
    const std::size_t directories = optional + (image.optionalMagic == 0x20B ? 112 : 96);
    const std::uint32_t importRva = bytes.U32(directories + 8);  // directory 1: imports

    std::vector<Section> sections;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::size_t at = optional + optionalSize + 40 * i;
        sections.push_back({bytes.U32(at + 12), bytes.U32(at + 8), bytes.U32(at + 20),
                            bytes.U32(at + 16)});
    }
    auto fileOffset = [&](std::uint32_t rva) -> std::size_t {
        for (const Section& s : sections) {
            const std::uint32_t size = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
            if (rva >= s.virtualAddress && rva < s.virtualAddress + size)
                return rva - s.virtualAddress + s.rawOffset;
        }
        throw std::runtime_error("address outside every section");
    };

    if (importRva != 0) {
        // One 20-byte descriptor per DLL, its lookup table's address at offset 0 (0: use the
        // address table's at 16) and its name's at 12; a zero one ends the list. A lookup
        // entry is 4 bytes (PE32) or 8 (PE32+); its top bit marks an import by ordinal, else
        // its low 31 bits address a 2-byte hint and the function's name.
        const bool wide = image.optionalMagic == 0x20B;
        const std::size_t entrySize = wide ? 8 : 4;
        for (std::size_t at = fileOffset(importRva);; at += 20) {
            const std::uint32_t nameRva = bytes.U32(at + 12);
            if (nameRva == 0)
                break;
            PeImage::Import dll;
            dll.dll = bytes.String(fileOffset(nameRva));
            const std::uint32_t lookupRva = bytes.U32(at) != 0 ? bytes.U32(at) : bytes.U32(at + 16);
            for (std::size_t entry = fileOffset(lookupRva);; entry += entrySize) {
                const std::uint64_t value = wide ? bytes.U64(entry) : bytes.U32(entry);
                if (value == 0)
                    break;
                const bool byOrdinal = (value >> (wide ? 63 : 31)) != 0;
                if (!byOrdinal)
                    dll.functions.push_back(
                        bytes.String(fileOffset(static_cast<std::uint32_t>(value & 0x7FFFFFFF)) + 2));
            }
            image.imports.push_back(dll);
        }
    }
    return image;
}
