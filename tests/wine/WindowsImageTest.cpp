// The Windows builds of the command as files: a console program for its machine that imports
// nothing but system DLLs, so it runs on a bare system with no runtime DLLs beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "PeImage.h"
#include "WineConfig.h"

namespace {

struct Build {
    const char* name;
    const char* directory;
    std::uint16_t machine;
    std::uint16_t optionalMagic;
};

const Build kBuilds[] = {
    {"i686: PE32 for i386, the command's own target", SNOOZLET_WINDOWS_I686_DIR, 0x14C, 0x10B},
    {"x86-64: PE32+ for AMD64, the build Wine runs", SNOOZLET_WINDOWS_X86_64_DIR, 0x8664, 0x20B},
};

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

TEST(WindowsImage, IsAConsoleProgramImportingOnlySystemDlls)
{
    if (*SNOOZLET_WINDOWS_BUILD_MISSING)
        GTEST_SKIP() << SNOOZLET_WINDOWS_BUILD_MISSING;
    for (const Build& build : kBuilds) {
        SCOPED_TRACE(build.name);
        PeImage image = ReadPeImage(std::string(build.directory) + "/snoozlet.exe");
        EXPECT_EQ(image.machine, build.machine);
        EXPECT_EQ(image.optionalMagic, build.optionalMagic);
        EXPECT_EQ(image.subsystem, 3) << "3 is the console subsystem";
        std::set<std::string> dlls;
        for (const std::string& dll : image.importedDlls)
            dlls.insert(Upper(dll));
        EXPECT_EQ(dlls, (std::set<std::string>{"KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"}));
    }
}

}  // namespace
