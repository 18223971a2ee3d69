// The built command as a process, without a terminal: exit statuses, the exact bytes on
// standard output, and how long a wait takes. Timing bounds are generous on purpose.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RowName.h"
#include "Subprocess.h"

namespace {

const std::string kUsage = "usage: SNOOZLET <seconds>\n";

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
    int status;
};

void PrintTo(const UsageCase& usageCase, std::ostream* out)
{
    *out << usageCase.name;
}

const UsageCase kUsageCases[] = {
    {"NoArgument", {}, 2},
    {"UsageRequest", {"/?"}, 3},
    {"UsageRequestWithMoreArguments", {"/?", "5"}, 3},
};

class Usage : public testing::TestWithParam<UsageCase> {
protected:
    ChildOptions Options() const
    {
        ChildOptions options;
        options.argv = {SNOOZLET_PATH};
        for (const std::string& argument : GetParam().arguments)
            options.argv.push_back(argument);
        return options;
    }
};

TEST_P(Usage, PrintsExactlyTheUsageLine)
{
    Child child(Options());
    ChildResult result = child.Wait();
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, GetParam().status);
    EXPECT_EQ(result.stdoutBytes, kUsage);
    EXPECT_LT(result.wallSeconds, 1.0) << "the usage line does not wait";
}

TEST_P(Usage, StatusStaysWhenStandardOutputIsClosed)
{
    ChildOptions options = Options();
    options.stdoutClosed = true;
    ChildResult result = Child(options).Wait();
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, GetParam().status);
}

TEST_P(Usage, StatusStaysWhenNobodyReadsThePipe)
{
    ChildOptions options = Options();
    options.stdoutBrokenPipe = true;
    ChildResult result = Child(options).Wait();
    ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.exitCode, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Command, Usage, testing::ValuesIn(kUsageCases),
                         RowName());

struct WaitCase {
    const char* name;
    std::vector<std::string> arguments;
    double seconds;  // what the wait should take
};

void PrintTo(const WaitCase& waitCase, std::ostream* out)
{
    *out << waitCase.name;
}

// Arguments that are no usage request wait, silently, and end by time.
const WaitCase kWaitCases[] = {
    {"Fraction", {"0.5"}, 0.5},
    {"Exponent", {"2.5E-1"}, 0.25},
    {"UsageRequestOnlyCountsFirst", {"0.25", "/?"}, 0.25},
    {"FurtherArgumentsIgnored", {"0.2", "junk", "9"}, 0.2},
    {"TrailingTextIgnored", {"0.4s"}, 0.4},
    {"Zero", {"0"}, 0},
    {"NoNumber", {"abc"}, 0},
    {"Empty", {""}, 0},
    {"NotTheUsageRequestDash", {"-?"}, 0},
    {"NotTheUsageRequestSlashH", {"/h"}, 0},
    {"NotTheUsageRequestWithBlank", {"/? "}, 0},
    {"UnsignedInfinityIsNoNumber", {"INF"}, 0},
    {"Hexadecimal", {"0x10"}, 0},
    {"BelowOneMillisecond", {"0.0005"}, 0},
    {"WholeMillisecondsWrapAt32Bits", {"4294967.296"}, 0},
    {"SignedInfinityWaitsNothing", {"+INF"}, 0},
    {"NegativeInfinityWaitsNothing", {"-INF"}, 0},
    {"NotANumberWaitsNothing", {"+NAN"}, 0},
    {"TooLargeForADoubleWaitsNothing", {"1e400"}, 0},
    {"TooLargeForMillisecondsWaitsNothing", {"1e16"}, 0},
    {"BytesAbove127", {"\xC3\xA9\xFF"}, 0},
    // 100 kB arguments: only 19 significant digits count, leading zeros none, and the reader
    // goes through the rest without trouble.
    {"HundredKilobytesOfDigits", {"0.3" + std::string(100000, '9')}, 0.4},
    {"HundredKilobytesOfLeadingZeros", {std::string(100000, '0') + "0.25"}, 0.25},
    {"HundredKilobyteExponent", {"1e-" + std::string(100000, '9')}, 0},
};

class Wait : public testing::TestWithParam<WaitCase> {};

TEST_P(Wait, EndsByTimeWithStatusZeroAndPrintsNothing)
{
    std::vector<std::string> argv = {SNOOZLET_PATH};
    for (const std::string& argument : GetParam().arguments)
        argv.push_back(argument);
    ChildResult result = RunCommand(argv);
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.stdoutBytes, "");
    EXPECT_GE(result.wallSeconds, GetParam().seconds);
    EXPECT_LT(result.wallSeconds, GetParam().seconds + 0.4);
}

INSTANTIATE_TEST_SUITE_P(Command, Wait, testing::ValuesIn(kWaitCases),
                         RowName());

TEST(Command, MinusOneIsStillWaitingAfterASecond)
{
    // -1 s wraps to 4294966296 ms, which the timer service caps at about 24.8 days.
    ChildOptions options;
    options.argv = {SNOOZLET_PATH, "-1"};
    Child child(options);
    EXPECT_TRUE(child.RunningAfter(1.2));
}

TEST(Command, AWaitUsesNextToNoProcessorTime)
{
    ChildResult result = RunCommand({SNOOZLET_PATH, "1.5"});
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_GE(result.wallSeconds, 1.5);
    EXPECT_LT(result.cpuSeconds, 0.05);
}

TEST(Command, StandardInputClosedChangesNothing)
{
    ChildOptions options;
    options.argv = {SNOOZLET_PATH, "0.2"};
    options.stdinPath = "";
    ChildResult result = Child(options).Wait();
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_GE(result.wallSeconds, 0.2);
}

TEST(Command, ManyWaitsAtOnceAllEndOnTime)
{
    std::vector<std::unique_ptr<Child>> children;
    ChildOptions options;
    options.argv = {SNOOZLET_PATH, "1"};
    for (int i = 0; i < 50; ++i)
        children.push_back(std::make_unique<Child>(options));
    for (auto& child : children) {
        ChildResult result = child->Wait();
        ASSERT_TRUE(result.exited);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_GE(result.wallSeconds, 1.0);
        EXPECT_LT(result.wallSeconds, 2.0);
    }
}

}  // namespace
