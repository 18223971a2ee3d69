// The 64-bit Windows build of the command run under Wine: output bytes, statuses, the delay,
// the quit message and the reading of the argument. Run this way, the command has no console
// (Wine gives a program one only when it is started from a terminal), so no key can end a wait
// here; WineKeysTest.cpp gives it one.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "Seconds.h"
#include "Wine.h"
#include "WineConfig.h"

namespace {

const std::string kUsage = "usage: SNOOZLET <seconds>\r\n";

std::string Shown(const std::vector<std::string>& arguments)
{
    std::string text = "snoozlet";
    for (const std::string& argument : arguments) {
        text += " \"";
        for (unsigned char c : argument) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, c < 32 ? "\\x%02X" : "%c", c);
            text += escaped;
        }
        text += "\"";
    }
    return text;
}

ChildResult RunCommandUnderWine(const std::vector<std::string>& arguments, double timeout = 60)
{
    std::vector<std::string> argv = {CommandExe()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunUnderWine(argv, timeout);
}

// What starting a Windows process costs under Wine on this machine now: the faster of two runs
// of a wait of 0.
double StartUpSeconds()
{
    double fastest = 1e9;
    for (int i = 0; i < 2; ++i) {
        ChildResult result = RunCommandUnderWine({"0"});
        EXPECT_TRUE(result.exited && result.exitCode == 0);
        fastest = std::min(fastest, result.wallSeconds);
    }
    return fastest;
}

class WinePrefix : public WineTest {};

// The CTest fixture wine_prefix: makes the prefix once, before the other tests. A wineserver
// that stays 30 seconds after its last client serves the whole run and keeps Wine's own
// services running, so each test pays for starting a Windows process only (a fraction of a
// second), not for starting Wine (seconds); it ends by itself.
TEST_F(WinePrefix, Ready)
{
    std::filesystem::create_directories(SNOOZLET_WINE_PREFIX);
    Child(WithStderrLogged({SNOOZLET_WINESERVER, "-p30"})).Wait(30);
    ChildResult result = RunCommandUnderWine({"/?"}, 240);
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    EXPECT_EQ(result.exitCode, 3);
}

class WineCommand : public WineTest {};

TEST_F(WineCommand, UsageLineIsItsExactBytesWithCarriageReturn)
{
    struct Row {
        std::vector<std::string> arguments;
        int status;
    } rows[] = {
        {{}, 2},
        {{"/?"}, 3},
        {{"/?", "5"}, 3},  // no wait: the usage request ends it
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Shown(row.arguments));
        ChildResult result = RunCommandUnderWine(row.arguments);
        ASSERT_TRUE(result.exited) << "signal " << result.signal;
        EXPECT_EQ(result.exitCode, row.status);
        EXPECT_EQ(result.stdoutBytes, kUsage);
        EXPECT_EQ(result.stdoutBytes.size(), 27u);
    }
}

TEST_F(WineCommand, DelayRunsOutWithStatusZeroAndNothingPrinted)
{
    const double startUp = StartUpSeconds();
    ChildResult result = RunCommandUnderWine({"2"});
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.stdoutBytes, "");
    EXPECT_GE(result.wallSeconds, 2.0);
    EXPECT_GE(result.wallSeconds - startUp, 1.5) << "start-up " << startUp;
    EXPECT_LE(result.wallSeconds - startUp, 2.0 + 5) << "start-up " << startUp;
}

TEST_F(WineCommand, UsageRequestCountsOnlyAsTheFirstArgument)
{
    ChildResult result = RunCommandUnderWine({"1", "/?"});
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.stdoutBytes, "");
    EXPECT_GE(result.wallSeconds, 1.0);
}

// Each of these reads as a wait of 0 ms: status 0 at once, nothing printed. The last ones have
// no defined delay (no integer result); the command waits 0 for them instead of dying of a
// floating-point exception. The exact delays are compared below; here the command itself runs.
TEST_F(WineCommand, ArgumentsThatReadAsZeroEndAtOnceWithStatusZero)
{
    const double startUp = StartUpSeconds();
    const std::vector<std::string> arguments = {
        "abc", "", "-?", "/h", "/? ", "0x10", "INF", "inf", "0", "0.0005",
        "+INF", "-INF", "+NAN", "-NAN", "1e400", "-1e400", "1e19", "9300000000000000",
    };
    for (const std::string& argument : arguments) {
        SCOPED_TRACE(Shown({argument}));
        ChildResult result = RunCommandUnderWine({argument});
        ASSERT_TRUE(result.exited) << "signal " << result.signal;
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.stdoutBytes, "");
        EXPECT_LT(result.wallSeconds - startUp, 4.0) << "start-up " << startUp;
    }
}

// "?" and "*" reach the command as they are: in a directory holding only a file named 9, an
// expansion would make them a wait of nine seconds.
TEST_F(WineCommand, WildcardsAreNotExpanded)
{
    const std::filesystem::path directory =
        std::filesystem::path(SNOOZLET_WINE_PREFIX).parent_path() / "wildcards";
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    std::ofstream(directory / "9") << "";
    const double startUp = StartUpSeconds();

    const std::string before = std::filesystem::current_path();
    ASSERT_EQ(chdir(directory.c_str()), 0);  // Wine starts the program in its Unix directory
    for (const char* argument : {"?", "*"}) {
        SCOPED_TRACE(argument);
        ChildResult result = RunCommandUnderWine({argument});
        EXPECT_TRUE(result.exited && result.exitCode == 0);
        EXPECT_LT(result.wallSeconds - startUp, 5.0) << "start-up " << startUp;
    }
    ASSERT_EQ(chdir(before.c_str()), 0);
}

TEST_F(WineCommand, QuitMessageEndsTheWaitWithStatusOne)
{
    // PostQuit starts the command with a wait of 30 s and posts WM_QUIT to its thread after 1 s.
    ChildResult result =
        RunUnderWine({HelperExe("PostQuit"), "1000", WindowsPath(CommandExe()), "30"});
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    EXPECT_EQ(result.exitCode, 1) << "254: the command ended before the quit message";
    EXPECT_LT(result.wallSeconds, 15.0);
}

// The seconds reader as the Windows build compiles it, given the arguments through Wine's
// command line and the C runtime's splitting of it, gives the same delays as the Linux build.
// The worked examples also name the delay itself.
TEST_F(WineCommand, ReaderGivesTheSameDelaysAsOnLinux)
{
    constexpr long long kSameAsLinux = -1;
    struct Row {
        const char* argument;
        long long milliseconds;
    } rows[] = {
        {"5", 5000}, {"1.5", 1500}, {".5", 500}, {"2.5E-1", 250}, {"1e1", 10000},
        {"0.001", 1}, {"0.0005", 0}, {"0.3", 299}, {"  7", 7000}, {"1,5", 1000}, {"0x10", 0},
        {"abc", 0}, {"INF", 0}, {"inf", 0}, {"-?", 0}, {"/h", 0}, {"", 0},
        {"-1", 4294966296}, {"4294967.296", 0},
        {"\t7", 7000}, {"\n\v\f 7", 7000}, {"+1.5", 1500}, {"-.5", kSameAsLinux},
        {"5.", 5000}, {"1.2.3", 1199}, {"1e", 1000}, {"1e+", 1000}, {"3s", 3000},
        {"2.5e-1x", 250}, {"4294967.295", 4294967294}, {"4294967.2955", kSameAsLinux},
        {"0.1234567890123456789", kSameAsLinux}, {"0.12345678901234567899", kSameAsLinux},
        {"1234567890123456789012", kSameAsLinux}, {"9223372036854.775807", kSameAsLinux},
        {"0.0015", kSameAsLinux}, {"1.0000000000000000000000001", 1000},
        {"00000000000000000000000000001.5", 1500}, {"1e-400", 0},
        {"+INF", 0}, {"-INF", 0}, {"+NAN", 0}, {"-NAN", 0}, {"+inf", 0}, {"+INFINITY", 0},
        {"1e400", 0}, {"-1e400", 0}, {"9300000000000000", 0},
    };
    std::vector<std::string> argv = {HelperExe("ShowMilliseconds")};
    for (const Row& row : rows)
        argv.push_back(row.argument);
    ChildResult result = RunUnderWine(argv);
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.exitCode;

    std::istringstream lines(result.stdoutBytes);
    for (const Row& row : rows) {
        SCOPED_TRACE(Shown({row.argument}));
        const unsigned long long onLinux = SecondsToMilliseconds(ReadSeconds(row.argument));
        unsigned long long onWindows = 0;
        ASSERT_TRUE(lines >> onWindows) << "no line for it in:\n" << result.stdoutBytes;
        EXPECT_EQ(onWindows, onLinux);
        if (row.milliseconds != kSameAsLinux) {
            EXPECT_EQ(onWindows, static_cast<unsigned long long>(row.milliseconds));
        }
    }
}

}  // namespace
