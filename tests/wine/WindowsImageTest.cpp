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
        for (const PeImage::Import& import : image.imports)
            dlls.insert(Upper(import.dll));
        EXPECT_EQ(dlls, (std::set<std::string>{"KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"}));
    }
}

std::set<std::string> FunctionsFrom(const PeImage& image, const std::string& dll)
{
    std::set<std::string> functions;
    for (const PeImage::Import& import : image.imports)
        if (Upper(import.dll) == dll)
            functions.insert(import.functions.begin(), import.functions.end());
    return functions;
}

// The usage line is written by msvcrt itself (printf, or puts, which the compiler may make of a
// printf without conversions), in one write of the whole line; MinGW's own formatter, linked in
// statically, would write a console line character by character. The timers and the message
// loop are USER32's, and the console keys read the console input records.
TEST(WindowsImage, UsesTheSystemsOwnFunctions)
{
    if (*SNOOZLET_WINDOWS_BUILD_MISSING)
        GTEST_SKIP() << SNOOZLET_WINDOWS_BUILD_MISSING;
    for (const Build& build : kBuilds) {
        SCOPED_TRACE(build.name);
        PeImage image = ReadPeImage(std::string(build.directory) + "/snoozlet.exe");
        const std::set<std::string> msvcrt = FunctionsFrom(image, "MSVCRT.DLL");
        EXPECT_TRUE(msvcrt.count("printf") != 0 || msvcrt.count("puts") != 0);
        for (const char* function : {"strcmp", "exit"})
            EXPECT_EQ(msvcrt.count(function), 1u) << function;
        const std::set<std::string> user32 = FunctionsFrom(image, "USER32.DLL");
        EXPECT_EQ(user32, (std::set<std::string>{"SetTimer", "KillTimer", "GetMessageA",
                                                 "TranslateMessage", "DispatchMessageA"}));
        const std::set<std::string> kernel32 = FunctionsFrom(image, "KERNEL32.DLL");
        for (const char* function : {"CreateFileA", "GetNumberOfConsoleInputEvents",
                                     "PeekConsoleInputA", "ReadConsoleInputA", "GetConsoleMode",
                                     "SetConsoleMode"})
            EXPECT_EQ(kernel32.count(function), 1u) << function;
    }
}

}  // namespace
