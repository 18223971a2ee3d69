// Keys at the console end the wait of the 64-bit Windows build, run under Wine.
//
// Wine gives a program a console of its own when it is started from a terminal, so TypeKeys
// runs on a pseudo-terminal, starts the command in its console and writes key records into
// that console's input (WriteConsoleInput), as the console does for a user's typing. Bytes
// typed on the pseudo-terminal itself do not become console input records under Wine.
//
// Records are written as TypeKeys reads them: K:VK:CHAR[:MODS] a key pressed and released,
// D:... its key-down only, U:... its key-up only (VK in hex, CHAR in decimal, MODS of a, c, s
// for Alt, Ctrl, Shift), mouse, focus, menu, size, and X*N for N of X.
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "RowName.h"
#include "Wine.h"
#include "WineConfig.h"

namespace {

struct Scenario {
    const char* name;
    std::string mode;            // console input mode to set first (hex); empty: as Wine gives it
    std::string before;          // records pending when the command starts
    int afterMs;                 // when to write `after`
    std::string after;           // records written during the wait
    bool stdinFromFile;          // the command's standard input is a file
    std::string seconds;         // the command's argument
    int status;                  // its exit status
    int minMs, maxMs;            // the command's run time, start to end
    std::string left;            // the records left in the console input afterwards
};

// Names the row in gtest's messages instead of its bytes.
void PrintTo(const Scenario& scenario, std::ostream* out)
{
    *out << scenario.name;
}

// The records a list stands for, one word each, in TypeKeys' notation.
std::string Records(const std::string& list)
{
    std::string words;
    std::istringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        int count = 1;
        std::string::size_type star = item.find('*');
        if (star != std::string::npos) {
            count = std::stoi(item.substr(star + 1));
            item.erase(star);
        }
        for (int i = 0; i < count; ++i) {
            if (item.rfind("K:", 0) == 0)
                words += " D:" + item.substr(2) + " U:" + item.substr(2);
            else
                words += " " + item;
        }
    }
    return words.empty() ? words : words.substr(1);
}

const Scenario kScenarios[] = {
    {"TypeAheadTakesTheFirstKeystrokeAndLeavesTheRest", "", "K:0x58:120,K:0x59:121", 0, "",
     false, "10", 1, 0, 8000, "U:0x58:120,K:0x59:121"},
    {"ArrowKeyIsTakenWholeAndNothingAfterIt", "", "K:0x26:0,K:0x41:97", 0, "", false, "10", 1, 0,
     8000, "U:0x26:0,K:0x41:97"},
    {"FunctionKeyEndsTheWait", "", "K:0x70:0", 0, "", false, "10", 1, 0, 8000, "U:0x70:0"},
    {"AltWithALetterEndsTheWait", "", "K:0x58:120:a", 0, "", false, "10", 1, 0, 8000,
     "U:0x58:120:a"},
    {"RecordsAheadOfTheKeystrokeAreDropped", "",
     "focus,mouse,size,menu,U:0x41:97,K:0x10:0:s,K:0x14:0,K:0x1B:27,K:0x42:98", 0, "", false,
     "10", 1, 0, 8000, "U:0x1B:27,K:0x42:98"},
    {"KeysWithoutACodeNeverEndTheWaitAndStayPending", "",
     "K:0x10:0:s,K:0x11:0:c,K:0x12:0:a,K:0x14:0,K:0x90:0,K:0x91:0,K:0x13:0,K:0x5B:0,K:0x5D:0,"
     "K:0x7C:0,K:0xC:0,K:0x41:0,K:0x31:49:c,mouse,focus,menu,size",
     0, "", false, "1.5", 0, 1400, 8000,
     "K:0x10:0:s,K:0x11:0:c,K:0x12:0:a,K:0x14:0,K:0x90:0,K:0x91:0,K:0x13:0,K:0x5B:0,K:0x5D:0,"
     "K:0x7C:0,K:0xC:0,K:0x41:0,K:0x31:49:c,mouse,focus,menu,size"},
    {"KeystrokeBehindManyOtherRecordsIsFound", "", "mouse*100,K:0x41:97", 0, "", false, "10", 1,
     0, 8000, "U:0x41:97"},
    {"KeyPressedDuringTheWaitEndsItAtTheNextPoll", "", "", 1000, "K:0x20:32", false, "15", 1,
     1000, 8000, "U:0x20:32"},
    {"DelayOfZeroLeavesAWaitingKeystrokeAlone", "", "K:0x41:97", 0, "", false, "0", 0, 0, 3000,
     "K:0x41:97"},
    {"ConsoleKeyCountsWhenStandardInputIsAFile", "", "K:0xD:13", 0, "", true, "10", 1, 0, 8000,
     "U:0xD:13"},
    {"CtrlCWithProcessedInputOffIsAKeystroke", "1F6", "K:0x43:3:c", 0, "", false, "10", 1, 0,
     8000, "U:0x43:3:c"},
};

class WineKeys : public WineTest, public testing::WithParamInterface<Scenario> {};

TEST_P(WineKeys, Scenario)
{
    const Scenario& scenario = GetParam();
    PseudoTerminal terminal;

    std::vector<std::string> argv = {HelperExe("TypeKeys")};
    if (!scenario.mode.empty())
        argv.insert(argv.end(), {"--mode", scenario.mode});
    if (!scenario.before.empty())
        argv.insert(argv.end(), {"--before", scenario.before});
    if (!scenario.after.empty())
        argv.insert(argv.end(), {"--after", std::to_string(scenario.afterMs), scenario.after});
    if (scenario.stdinFromFile) {
        // Standard input holds text too; the key that counts is the console's.
        const std::string path = std::string(SNOOZLET_WINE_PREFIX) + "-standard-input.txt";
        std::ofstream(path) << "x\r\n";
        argv.insert(argv.end(), {"--stdin", WindowsPath(path)});
    }
    argv.insert(argv.end(), {"--", WindowsPath(CommandExe()), scenario.seconds});

    ChildOptions options = UnderWine(argv);
    options.controllingTerminal = terminal.slavePath;
    options.stdinPath = terminal.slavePath;  // what makes Wine give the program a console
    Child child(options);
    ChildResult result = child.Wait(90);
    ASSERT_TRUE(result.exited && result.exitCode == 0)
        << "TypeKeys failed (" << result.exitCode << "):\n" << result.stdoutBytes;

    std::map<std::string, std::string> report;
    std::istringstream lines(result.stdoutBytes);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();  // the helper's standard output is in text mode
        std::string::size_type blank = line.find(' ');
        report[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
    }
    SCOPED_TRACE("TypeKeys reported:\n" + result.stdoutBytes);
    EXPECT_EQ(report["status"], std::to_string(scenario.status));
    const int elapsedMs = std::stoi(report["elapsed-ms"]);
    EXPECT_GE(elapsedMs, scenario.minMs);
    EXPECT_LE(elapsedMs, scenario.maxMs);
    EXPECT_EQ(report["left"], Records(scenario.left));
    EXPECT_EQ(report["mode-before"], report["mode-after"]) << "the console mode is left as found";
    if (!scenario.mode.empty()) {
        EXPECT_EQ(report["mode-before"], scenario.mode);
    }
    EXPECT_EQ(terminal.ReadAvailable(), "") << "nothing is echoed";
}

INSTANTIATE_TEST_SUITE_P(Console, WineKeys, testing::ValuesIn(kScenarios), RowName());

}  // namespace
