// The wait's decisions, driven through a scripted platform: which calls the program makes, in
// which order, and the status it ends with. The whole call log is compared, so an extra fetch,
// a missing KillTimer or a wrong teardown order fails the case.
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

#include "RowName.h"
#include "Subprocess.h"

namespace {

struct WaitCase {
    const char* name;
    const char* argument;  // nullptr: none
    const char* failingTimerCall;  // "" for none
    const char* messages;
    const char* keys;
    int status;
    const char* log;  // one call a line
};

void PrintTo(const WaitCase& waitCase, std::ostream* out)
{
    *out << waitCase.name;
}

const char kUsage[] = "usage: SNOOZLET <seconds>\n";

const WaitCase kWaitCases[] = {
    {"NoArgumentMakesNoTimer", nullptr, "", "", "", 2, ""},
    {"UsageRequestMakesNoTimer", "/?", "", "", "", 3, ""},
    {"DelayRunsOut", "2.5", "", "poll,poll,delay", "none,none", 0,
     "SetTimer(null, 0, 2500) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> WM_TIMER 2\nTranslateMessage\nDispatchMessageA\nkbhit -> 0\n"
     "GetMessageA -> WM_TIMER 2\nTranslateMessage\nDispatchMessageA\nkbhit -> 0\n"
     "GetMessageA -> WM_TIMER 1\nTranslateMessage\nDispatchMessageA\n"
     "KillTimer(2)\nKillTimer(1)\n"},
    {"DelayTimerCannotBeMade", "5", "1", "", "", 2,
     "SetTimer(null, 0, 5000) -> 0\n"},
    {"PollTimerCannotBeMadeDestroysTheDelayTimer", "5", "2", "", "", 2,
     "SetTimer(null, 0, 5000) -> 1\nSetTimer(null, 0, 250) -> 0\nKillTimer(1)\n"},
    {"QuitEndsUndecidedWithPollTimerDestroyedFirst", "5", "", "poll,quit", "none", 1,
     "SetTimer(null, 0, 5000) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> WM_TIMER 2\nTranslateMessage\nDispatchMessageA\nkbhit -> 0\n"
     "GetMessageA -> WM_QUIT\nKillTimer(2)\nKillTimer(1)\n"},
    {"FetchErrorEndsTheLoopUndecided", "5", "", "error", "", 1,
     "SetTimer(null, 0, 5000) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> error\nKillTimer(2)\nKillTimer(1)\n"},
    {"KeyTakesOneCodeAndNothingIsFetchedAfter", "5", "", "poll,delay", "65", 1,
     "SetTimer(null, 0, 5000) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> WM_TIMER 2\nTranslateMessage\nDispatchMessageA\nkbhit -> 1\ngetch -> 65\n"
     "KillTimer(2)\nKillTimer(1)\n"},
    {"TwoCodeKeyIsTakenWhole", "5", "", "poll", "0:72", 1,
     "SetTimer(null, 0, 5000) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> WM_TIMER 2\nTranslateMessage\nDispatchMessageA\nkbhit -> 1\ngetch -> 0\n"
     "getch -> 72\nKillTimer(2)\nKillTimer(1)\n"},
    {"ReadFailureCountsAsTheKeystroke", "5", "", "poll", "-1", 1,
     "SetTimer(null, 0, 5000) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> WM_TIMER 2\nTranslateMessage\nDispatchMessageA\nkbhit -> 1\ngetch -> -1\n"
     "KillTimer(2)\nKillTimer(1)\n"},
    {"BothDueDelayFirstLeavesTheKeyboardAlone", "0.25", "", "delay,poll", "65", 0,
     "SetTimer(null, 0, 250) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> WM_TIMER 1\nTranslateMessage\nDispatchMessageA\n"
     "KillTimer(2)\nKillTimer(1)\n"},
    {"BothDuePollFirstWithAKeyWins", "0.25", "", "poll,delay", "65", 1,
     "SetTimer(null, 0, 250) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> WM_TIMER 2\nTranslateMessage\nDispatchMessageA\nkbhit -> 1\ngetch -> 65\n"
     "KillTimer(2)\nKillTimer(1)\n"},
    {"OtherMessagesChangeNothing", "0", "", "other,delay", "", 0,
     "SetTimer(null, 0, 0) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> other\nTranslateMessage\nDispatchMessageA\n"
     "GetMessageA -> WM_TIMER 1\nTranslateMessage\nDispatchMessageA\n"
     "KillTimer(2)\nKillTimer(1)\n"},
    {"NegativeDelayWrapsAndIsPassedUnchanged", "-1", "", "delay", "", 0,
     "SetTimer(null, 0, 4294966296) -> 1\nSetTimer(null, 0, 250) -> 2\n"
     "GetMessageA -> WM_TIMER 1\nTranslateMessage\nDispatchMessageA\n"
     "KillTimer(2)\nKillTimer(1)\n"},
};

class WaitDecision : public testing::TestWithParam<WaitCase> {};

TEST_P(WaitDecision, CallsAndStatus)
{
    const WaitCase& waitCase = GetParam();
    std::string logPath = testing::TempDir() + "fake-platform-" + std::to_string(getpid()) + ".log";
    setenv("SNOOZLET_FAKE_FAIL_TIMER", waitCase.failingTimerCall, 1);
    setenv("SNOOZLET_FAKE_MESSAGES", waitCase.messages, 1);
    setenv("SNOOZLET_FAKE_KEYS", waitCase.keys, 1);
    setenv("SNOOZLET_FAKE_LOG", logPath.c_str(), 1);

    std::vector<std::string> argv = {FAKE_SNOOZLET_PATH};
    if (waitCase.argument != nullptr)
        argv.push_back(waitCase.argument);
    ChildResult result = RunCommand(argv);

    std::ifstream logFile(logPath);
    std::stringstream log;
    log << logFile.rdbuf();
    std::remove(logPath.c_str());
    EXPECT_EQ(log.str(), waitCase.log);
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, waitCase.status);
    bool usage = waitCase.argument == nullptr || std::string(waitCase.argument) == "/?";
    EXPECT_EQ(result.stdoutBytes, usage ? kUsage : "");
}

INSTANTIATE_TEST_SUITE_P(Script, WaitDecision, testing::ValuesIn(kWaitCases),
                         RowName());

}  // namespace
