// The manual page's table of examples, read from the page itself, against the command's own
// reader: every row the page shows must be what the command computes, and the examples that
// the page promises must all be there.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Seconds.h"

namespace {

struct Example {
    std::string argument;
    std::uint32_t milliseconds;
    std::string line;  // as written in the page
};

// The text that roff prints for one table cell. Only the escapes the page uses are known;
// any other one is an error, so that the test never guesses what a reader sees.
std::string CellText(const std::string& cell)
{
    std::string text;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] != '\\') {
            text += cell[i];
            continue;
        }
        std::string rest = cell.substr(i + 1);
        if (rest.rfind("fB", 0) == 0 || rest.rfind("fP", 0) == 0 || rest.rfind("fR", 0) == 0 ||
            rest.rfind("fI", 0) == 0) {
            i += 2;
        } else if (rest.rfind("(dq", 0) == 0) {
            text += '"';
            i += 3;
        } else if (rest.rfind("(ha", 0) == 0) {
            text += '^';
            i += 3;
        } else if (rest.rfind("&", 0) == 0) {
            i += 1;
        } else if (rest.rfind("-", 0) == 0) {
            text += '-';
            i += 1;
        } else if (rest.rfind(" ", 0) == 0) {
            text += ' ';
            i += 1;
        } else if (rest.rfind("e", 0) == 0) {
            text += '\\';
            i += 1;
        } else {
            throw std::runtime_error("unknown roff escape in table cell: " + cell);
        }
    }
    return text;
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream stream(line);
    std::string cell;
    while (std::getline(stream, cell, '\t'))
        cells.push_back(cell);
    return cells;
}

// The rows of the table whose heading starts with "Argument" and "Milliseconds".
std::vector<Example> ReadExamples()
{
    std::ifstream page(SNOOZLET_MAN_PAGE);
    if (!page)
        throw std::runtime_error("cannot open " SNOOZLET_MAN_PAGE);
    std::vector<std::string> lines;
    for (std::string line; std::getline(page, line);)
        lines.push_back(line);

    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].rfind("Argument\tMilliseconds", 0) != 0)
            continue;
        std::vector<Example> examples;
        for (std::size_t j = i + 1; j < lines.size() && lines[j] != ".TE"; ++j) {
            if (lines[j] == "_")
                continue;
            std::vector<std::string> cells = SplitTabs(lines[j]);
            if (cells.size() < 2)
                throw std::runtime_error("table row without milliseconds: " + lines[j]);
            std::string argument = CellText(cells[0]);
            // The quotes only show where the blanks are.
            if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')
                argument = argument.substr(1, argument.size() - 2);
            std::size_t end = 0;
            unsigned long long value = std::stoull(cells[1], &end);
            if (end != cells[1].size() || value > UINT32_MAX)
                throw std::runtime_error("not a count of milliseconds: " + lines[j]);
            examples.push_back({argument, static_cast<std::uint32_t>(value), lines[j]});
        }
        return examples;
    }
    throw std::runtime_error("no table of examples in " SNOOZLET_MAN_PAGE);
}

TEST(ManPageExamples, EveryRowIsWhatTheCommandComputes)
{
    std::vector<Example> examples = ReadExamples();
    ASSERT_FALSE(examples.empty());
    for (const Example& example : examples) {
        EXPECT_EQ(SecondsToMilliseconds(ReadSeconds(example.argument.c_str())),
                  example.milliseconds)
            << "argument \"" << example.argument << "\", page line: " << example.line;
    }
}

TEST(ManPageExamples, HoldTheWorkedExamplesAndTheOutOfRangeCases)
{
    const char* const kPromised[] = {
        "5",   "1.5", ".5", "2.5E-1", "1e1", "0.001", "0.0005",      "0.3",  "  7",  "1,5",
        "0x10", "abc", "INF", "inf",  "-?",  "/h",    "",            "-1",   "4294967.296",
        "+INF", "-INF", "+NAN", "-NAN", "1e400", "1e16",
    };
    std::set<std::string> shown;
    for (const Example& example : ReadExamples())
        shown.insert(example.argument);
    for (const char* argument : kPromised)
        EXPECT_EQ(shown.count(argument), 1u) << "the page has no row for \"" << argument << "\"";
}

}  // namespace
