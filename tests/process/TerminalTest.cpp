// The built command at a real pseudo-terminal: which key presses end the wait, what they take
// from the terminal's input, and that the terminal's mode is the same afterwards on every way
// out. Bounds on times are generous (the poll is every 250 ms; builds may run beside us): they
// tell the next poll from no poll at all, not a fast machine from a slow one.
#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "RowName.h"
#include "Subprocess.h"

namespace {

void Sleep(double seconds)
{
    auto whole = static_cast<time_t>(seconds);
    timespec duration{whole, static_cast<long>((seconds - static_cast<double>(whole)) * 1e9)};
    nanosleep(&duration, nullptr);
}

// Every field of two modes, with what differs spelled out.
testing::AssertionResult SameMode(const termios& expected, const termios& actual)
{
    std::ostringstream differences;
    differences << std::hex;
    auto compare = [&](const char* name, unsigned long want, unsigned long got) {
        if (want != got)
            differences << " " << name << " 0x" << want << " became 0x" << got << ";";
    };
    compare("c_iflag", expected.c_iflag, actual.c_iflag);
    compare("c_oflag", expected.c_oflag, actual.c_oflag);
    compare("c_cflag", expected.c_cflag, actual.c_cflag);
    compare("c_lflag", expected.c_lflag, actual.c_lflag);
    compare("c_line", expected.c_line, actual.c_line);
    compare("input speed", cfgetispeed(&expected), cfgetispeed(&actual));
    compare("output speed", cfgetospeed(&expected), cfgetospeed(&actual));
    for (int i = 0; i < NCCS; ++i)
        compare(("c_cc[" + std::to_string(i) + "]").c_str(), expected.c_cc[i], actual.c_cc[i]);
    if (differences.str().empty())
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "modes differ:" << differences.str();
}

// The mode during the wait: the one found, out of canonical mode and echo, a byte at a time.
termios WaitModeOf(termios found)
{
    found.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    found.c_cc[VMIN] = 1;
    found.c_cc[VTIME] = 0;
    return found;
}

// Variations on the mode a user may have, each applied to the pseudo-terminal's default.
using ModeChange = void (*)(termios&);

void AsOpened(termios&) {}

// Much of it changed, none of it the wait's business: all of it must come back as it was.
void Unusual(termios& mode)
{
    mode.c_lflag |= ECHONL | NOFLSH;
    mode.c_lflag &= ~static_cast<tcflag_t>(IEXTEN | ECHOCTL);
    mode.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    mode.c_oflag &= ~static_cast<tcflag_t>(ONLCR);
    mode.c_cc[VMIN] = 4;
    mode.c_cc[VTIME] = 7;
    mode.c_cc[VERASE] = 8;
    cfsetispeed(&mode, B2400);
    cfsetospeed(&mode, B2400);
}

void SignalKeysOff(termios& mode)
{
    mode.c_lflag &= ~static_cast<tcflag_t>(ISIG);
}

void EchoNewline(termios& mode)
{
    mode.c_lflag |= ECHONL;
}

class TerminalTest : public testing::Test {
protected:
    PseudoTerminal pty;
    termios before{};

    // Sets the terminal's mode for the test and keeps it as the mode to compare with.
    void StartMode(ModeChange change)
    {
        termios mode = pty.Mode();
        change(mode);
        pty.SetMode(mode);
        before = pty.Mode();
        ASSERT_TRUE(SameMode(mode, before)) << "the pseudo-terminal did not take the mode";
    }

    void SetUp() override { StartMode(AsOpened); }

    ChildOptions Options(const std::vector<std::string>& arguments) const
    {
        ChildOptions options;
        options.argv = {SNOOZLET_PATH};
        options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
        options.controllingTerminal = pty.slavePath;
        return options;
    }

    // True once the terminal's mode is the given one, false when it is not within the time.
    bool ModeBecomes(const termios& expected, double seconds) const
    {
        double deadline = MonotonicSeconds() + seconds;
        do {
            if (SameMode(expected, pty.Mode()))
                return true;
            Sleep(0.005);
        } while (MonotonicSeconds() < deadline);
        return false;
    }

    // Waits until the command has the terminal in the wait's mode.
    void AwaitWaitMode() const
    {
        ASSERT_TRUE(ModeBecomes(WaitModeOf(before), 3))
            << SameMode(WaitModeOf(before), pty.Mode()).message();
    }

    void ExpectModeAsBefore() const { EXPECT_TRUE(SameMode(before, pty.Mode())); }

    // Nothing the command did reached the screen: no echo, no text.
    void ExpectNothingShown() const { EXPECT_EQ(pty.ReadAvailable(), ""); }
};

// ---------------------------------------------------------------------------------------------
// A key press ends the wait, whatever standard input is

enum class Input { DevNull, Closed, TheTerminal };

// Parameters print as their names, in test listings too.
void PrintTo(Input input, std::ostream* out)
{
    *out << (input == Input::DevNull  ? "/dev/null"
             : input == Input::Closed ? "closed"
                                      : "the terminal");
}

class TerminalKeyDuringTheWait : public TerminalTest,
                                 public testing::WithParamInterface<Input> {};

TEST_P(TerminalKeyDuringTheWait, EndsItAtTheNextPollWithStatusOneAndNoEcho)
{
    ChildOptions options = Options({"5"});
    options.stdinPath = GetParam() == Input::DevNull ? "/dev/null"
                      : GetParam() == Input::Closed  ? ""
                                                     : pty.slavePath;
    Child child(options);
    AwaitWaitMode();
    Sleep(0.3);
    double typedAt = MonotonicSeconds();
    pty.Type("k");
    ChildResult result = child.Wait(10);
    double latency = MonotonicSeconds() - typedAt;

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_LT(latency, 1.0) << "a poll every 250 ms should have taken it";
    EXPECT_EQ(pty.TakeInput(), "") << "the key is taken";
    ExpectNothingShown();
    ExpectModeAsBefore();
}

std::string InputName(const testing::TestParamInfo<Input>& row)
{
    switch (row.param) {
    case Input::DevNull: return "DevNull";
    case Input::Closed: return "Closed";
    case Input::TheTerminal: break;
    }
    return "TheTerminal";
}

INSTANTIATE_TEST_SUITE_P(StandardInput, TerminalKeyDuringTheWait,
                         testing::Values(Input::DevNull, Input::Closed, Input::TheTerminal),
                         InputName);

// ---------------------------------------------------------------------------------------------
// Exactly one keystroke is taken; what follows it stays for the next reader

struct WholeKeystroke {
    const char* name;
    std::string keystroke;
    std::string rest;  // typed in the same write, right behind it
};

void PrintTo(const WholeKeystroke& row, std::ostream* out)
{
    *out << row.name;
}

class TerminalOneKeystroke : public TerminalTest,
                             public testing::WithParamInterface<WholeKeystroke> {};

TEST_P(TerminalOneKeystroke, IsTakenWholeAndTheRestStays)
{
    Child child(Options({"5"}));
    AwaitWaitMode();
    pty.Type(GetParam().keystroke + GetParam().rest);
    ChildResult result = child.Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(pty.TakeInput(), GetParam().rest);
    ExpectNothingShown();
    ExpectModeAsBefore();
}

INSTANTIATE_TEST_SUITE_P(Keys, TerminalOneKeystroke,
                         testing::Values(WholeKeystroke{"Letter", "k", "\x1b[A"},
                                         WholeKeystroke{"UpArrow", "\x1b[A", "z"},
                                         WholeKeystroke{"F1", "\x1bOP", "z"},
                                         WholeKeystroke{"AltX", "\x1bx", "z"},
                                         WholeKeystroke{"F5", "\x1b[15~", "z"},
                                         WholeKeystroke{"CtrlRight", "\x1b[1;5C", "\x1b[B"},
                                         WholeKeystroke{"Utf8Character", "\xc3\xa9", "z"},
                                         WholeKeystroke{"CtrlAt", std::string(1, '\0'), "z"},
                                         WholeKeystroke{"Enter", "\r", "z"},
                                         WholeKeystroke{"EscapeAlone", "\x1b", ""}),
                         RowName());

TEST_F(TerminalTest, KeyTypedAheadIsTakenByTheFirstPoll)
{
    pty.Type("kz");
    pty.ReadAvailable();  // the echo of the line discipline, before the command ran
    double startedAt = MonotonicSeconds();
    Child child(Options({"5"}));
    ChildResult result = child.Wait(10);
    double took = MonotonicSeconds() - startedAt;

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_GE(took, 0.2) << "taken before the first poll";
    EXPECT_LT(took, 1.5) << "not taken by the first poll";
    EXPECT_EQ(pty.TakeInput(), "z");
    ExpectModeAsBefore();
}

class TerminalDelayShorterThanThePoll : public TerminalTest,
                                        public testing::WithParamInterface<const char*> {};

TEST_P(TerminalDelayShorterThanThePoll, LeavesAWaitingKeyUnread)
{
    pty.Type("k");
    pty.ReadAvailable();
    Child child(Options({GetParam()}));
    ChildResult result = child.Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(pty.TakeInput(), "k");
    ExpectModeAsBefore();
}

std::string DelayName(const testing::TestParamInfo<const char*>& row)
{
    return row.index == 0 ? "Zero" : "Tenth";
}

INSTANTIATE_TEST_SUITE_P(Delays, TerminalDelayShorterThanThePoll, testing::Values("0", "0.1"),
                         DelayName);

// ---------------------------------------------------------------------------------------------
// The mode as found, on every way out

struct WayOut {
    const char* name;
    std::vector<std::string> arguments;
    bool waits;                            // reaches the wait, so the mode is the wait's first
    std::function<void(Child&, const PseudoTerminal&)> act;  // after the wait's mode is set
    int exitCode;                          // -1: ends by endSignal instead
    int endSignal;
};

void Nothing(Child&, const PseudoTerminal&) {}

WayOut BySignal(const char* name, int signalNumber)
{
    auto send = [signalNumber](Child& child, const PseudoTerminal&) { child.Signal(signalNumber); };
    return {name, {"5"}, true, send, -1, signalNumber};
}

const WayOut kWaysOut[] = {
    {"TimeOut", {"0.6"}, true, Nothing, 0, 0},
    {"Key", {"5"}, true, [](Child&, const PseudoTerminal& pty) { pty.Type("k"); }, 1, 0},
    {"CtrlC", {"5"}, true, [](Child&, const PseudoTerminal& pty) { pty.Type("\x03"); }, -1, SIGINT},
    BySignal("SigInt", SIGINT),
    BySignal("SigQuit", SIGQUIT),
    BySignal("SigTerm", SIGTERM),
    BySignal("SigHup", SIGHUP),
    {"Usage", {}, false, Nothing, 2, 0},
    {"UsageRequest", {"/?"}, false, Nothing, 3, 0},
};

struct ModeCase {
    const char* name;
    ModeChange change;
};

void PrintTo(const WayOut& row, std::ostream* out)
{
    *out << row.name;
}

void PrintTo(const ModeCase& row, std::ostream* out)
{
    *out << row.name;
}

const ModeCase kModes[] = {{"AsOpened", AsOpened}, {"Unusual", Unusual}};

class TerminalModeAfterwards
    : public TerminalTest,
      public testing::WithParamInterface<std::tuple<WayOut, ModeCase>> {};

TEST_P(TerminalModeAfterwards, IsTheModeFound)
{
    const WayOut& way = std::get<0>(GetParam());
    StartMode(std::get<1>(GetParam()).change);
    Child child(Options(way.arguments));
    if (way.waits) {
        AwaitWaitMode();
        way.act(child, pty);
    }
    ChildResult result = child.Wait(10);

    if (way.exitCode >= 0) {
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.exitCode, way.exitCode);
    } else {
        EXPECT_FALSE(result.exited);
        EXPECT_EQ(result.signal, way.endSignal) << "ends by the signal, with its default action";
    }
    ExpectModeAsBefore();
    ExpectNothingShown();
}

std::string ModeAfterwardsName(const testing::TestParamInfo<std::tuple<WayOut, ModeCase>>& row)
{
    return std::string(std::get<0>(row.param).name) + "_" + std::get<1>(row.param).name;
}

INSTANTIATE_TEST_SUITE_P(WaysOut, TerminalModeAfterwards,
                         testing::Combine(testing::ValuesIn(kWaysOut), testing::ValuesIn(kModes)),
                         ModeAfterwardsName);

// Two waits in one pipeline share the terminal's foreground, and the later one finds the
// earlier one's wait mode. Whichever ends first, the terminal is left as it was before both.
TEST_F(TerminalTest, TwoWaitsInOnePipelineLeaveTheModeFound)
{
    const char* const kPipelines[] = {
        "\"$0\" 1.2 | (sleep 0.3; exec \"$0\" 0.5)",  // the later one ends first
        "\"$0\" 0.6 | (sleep 0.3; exec \"$0\" 1)",    // the earlier one ends first
    };
    for (const char* pipeline : kPipelines) {
        SCOPED_TRACE(pipeline);
        ChildOptions options = Options({});
        options.argv = {"/bin/sh", "-c", pipeline, SNOOZLET_PATH};
        ChildResult result = Child(options).Wait(10);
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.exitCode, 0);
        ExpectModeAsBefore();
        ExpectNothingShown();
    }
}

// Ctrl+C reaches the poll as byte 3 when the user has the signal keys off.
TEST_F(TerminalTest, CtrlCWithSignalKeysOffIsAKeystroke)
{
    StartMode(SignalKeysOff);
    Child child(Options({"5"}));
    AwaitWaitMode();
    pty.Type("\x03");
    ChildResult result = child.Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(pty.TakeInput(), "");
    ExpectModeAsBefore();
}

// ECHONL is left as found: out of canonical mode it echoes nothing.
TEST_F(TerminalTest, NewlineIsNotEchoedWithEchoNewlineOn)
{
    StartMode(EchoNewline);
    Child child(Options({"5"}));
    AwaitWaitMode();
    pty.Type("\n");
    ChildResult result = child.Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 1);
    ExpectNothingShown();
    ExpectModeAsBefore();
}

// ---------------------------------------------------------------------------------------------
// TerminalStopped and continued

struct StopWay {
    const char* name;
    std::function<void(Child&, const PseudoTerminal&)> stop;
};

void PrintTo(const StopWay& row, std::ostream* out)
{
    *out << row.name;
}

const StopWay kStopWays[] = {
    {"CtrlZ", [](Child&, const PseudoTerminal& pty) { pty.Type("\x1a"); }},
    {"SigTstp", [](Child& child, const PseudoTerminal&) { child.Signal(SIGTSTP); }},
    {"SigTtin", [](Child& child, const PseudoTerminal&) { child.Signal(SIGTTIN); }},
    {"SigTtou", [](Child& child, const PseudoTerminal&) { child.Signal(SIGTTOU); }},
};

// The command as a job of a shell, so that a stop really stops it.
class TerminalJob : public TerminalTest {
protected:
    ChildOptions JobOptions(const std::vector<std::string>& arguments) const
    {
        ChildOptions options = Options(arguments);
        options.jobControl = true;
        return options;
    }
};

class TerminalStopped : public TerminalJob, public testing::WithParamInterface<StopWay> {};

// While stopped the user has the terminal as found; continued in the foreground the wait has its
// mode again and a key still ends it.
TEST_P(TerminalStopped, HasTheModeFoundUntilContinuedInTheForeground)
{
    Child child(JobOptions({"10"}));
    AwaitWaitMode();
    GetParam().stop(child, pty);
    ASSERT_TRUE(child.StoppedWithin(3));
    ExpectModeAsBefore();

    child.ContinueInForeground();
    AwaitWaitMode();
    pty.Type("k");
    ChildResult result = child.Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(pty.TakeInput(), "");
    ExpectNothingShown();
    ExpectModeAsBefore();
}

INSTANTIATE_TEST_SUITE_P(StopWays, TerminalStopped, testing::ValuesIn(kStopWays), RowName());

// Continued in the background, the job leaves the terminal alone and ends by time: a read or a
// change of mode from there would stop it again.
TEST_F(TerminalJob, ContinuedInTheBackgroundWaitsOutItsTime)
{
    Child child(JobOptions({"1.5"}));
    AwaitWaitMode();
    pty.Type("\x1a");
    ASSERT_TRUE(child.StoppedWithin(3));
    child.ContinueInBackground();
    Sleep(0.3);
    ExpectModeAsBefore();
    pty.Type("k");
    ChildResult result = child.Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(pty.TakeInput(), "k");
    ExpectModeAsBefore();
}

// Started in the background and brought to the foreground, the job starts to take keys.
TEST_F(TerminalJob, BackgroundJobBroughtToTheForegroundTakesKeys)
{
    ChildOptions options = JobOptions({"10"});
    options.foreground = false;
    Child child(options);
    Sleep(0.4);
    ExpectModeAsBefore();

    child.ContinueInForeground();
    AwaitWaitMode();
    pty.Type("k");
    ChildResult result = child.Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 1);
    ExpectModeAsBefore();
}

// ---------------------------------------------------------------------------------------------
// Without the terminal: no controlling terminal, or in the background

enum class NoTerminal { DevNullInput, PseudoTerminalInput };

void PrintTo(NoTerminal input, std::ostream* out)
{
    *out << (input == NoTerminal::DevNullInput ? "/dev/null" : "a pseudo-terminal");
}

class TerminalWithoutControllingTerminal : public TerminalTest,
                                           public testing::WithParamInterface<NoTerminal> {};

TEST_P(TerminalWithoutControllingTerminal, EndsByTimeAndReadsNothing)
{
    ChildOptions options = Options({"0.6"});
    options.controllingTerminal.clear();
    // A terminal as standard input is still not the console input.
    if (GetParam() == NoTerminal::PseudoTerminalInput)
        options.stdinPath = pty.slavePath;
    pty.Type("k");
    pty.ReadAvailable();
    ChildResult result = Child(options).Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_GE(result.wallSeconds, 0.55);
    EXPECT_LT(result.wallSeconds, 3.0);
    EXPECT_EQ(result.stdoutBytes, "");
    EXPECT_EQ(pty.TakeInput(), "k");
    ExpectModeAsBefore();
}

std::string NoTerminalName(const testing::TestParamInfo<NoTerminal>& row)
{
    return row.param == NoTerminal::DevNullInput ? "DevNull" : "PseudoTerminal";
}

INSTANTIATE_TEST_SUITE_P(StandardInput, TerminalWithoutControllingTerminal,
                         testing::Values(NoTerminal::DevNullInput, NoTerminal::PseudoTerminalInput),
                         NoTerminalName);

// In the background from the start: the session's other group holds the foreground, or a shell
// does (then a read or a change of mode would stop the job, which the time would show).
class TerminalBackgroundJob : public TerminalTest, public testing::WithParamInterface<bool> {};

TEST_P(TerminalBackgroundJob, EndsByTimeAndLeavesTheTerminalAlone)
{
    ChildOptions options = Options({"1"});
    options.foreground = false;
    options.jobControl = GetParam();
    Child child(options);
    Sleep(0.4);
    ExpectModeAsBefore();
    pty.Type("k");
    ChildResult result = child.Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_GE(result.wallSeconds, 0.95);
    EXPECT_LT(result.wallSeconds, 4.0);
    EXPECT_EQ(pty.TakeInput(), "k");
    ExpectModeAsBefore();
}

std::string BackgroundName(const testing::TestParamInfo<bool>& row)
{
    return row.param ? "UnderAShell" : "BesideAForegroundGroup";
}

INSTANTIATE_TEST_SUITE_P(Leaders, TerminalBackgroundJob, testing::Bool(), BackgroundName);

// ---------------------------------------------------------------------------------------------
// Closed standard streams: the terminal never takes their numbers

struct ClosedStreams {
    const char* name;
    bool stdinClosed;
    bool stdoutClosed;
};

void PrintTo(const ClosedStreams& row, std::ostream* out)
{
    *out << row.name;
}

class TerminalStandardStreamsClosed : public TerminalTest,
                                      public testing::WithParamInterface<ClosedStreams> {};

// With the terminal on descriptor 1 the usage line would appear on the screen.
TEST_P(TerminalStandardStreamsClosed, UsageLineGoesNowhere)
{
    ChildOptions options = Options({});
    if (GetParam().stdinClosed)
        options.stdinPath.clear();
    options.stdoutClosed = GetParam().stdoutClosed;
    ChildResult result = Child(options).Wait(10);

    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 2);
    ExpectNothingShown();
    ExpectModeAsBefore();
}

INSTANTIATE_TEST_SUITE_P(Streams, TerminalStandardStreamsClosed,
                         testing::Values(ClosedStreams{"Output", false, true},
                                         ClosedStreams{"InputAndOutput", true, true}),
                         RowName());

}  // namespace
