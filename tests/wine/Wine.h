// Running the Windows builds under Wine for the tests: a private prefix in the build tree,
// Wine's own messages off, the paths of the built programs. Every test here derives from
// WineTest, which skips with the reason when MinGW-w64 or Wine is missing.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Subprocess.h"

std::string CommandExe();                        // the 64-bit snoozlet.exe (a Linux path)
std::string HelperExe(const std::string& name);  // a test-only helper program
std::string WindowsPath(const std::string& linuxPath);  // Wine's drive Z: is the root

// Options that run argv with its standard error appended to a log beside the prefix.
ChildOptions WithStderrLogged(const std::vector<std::string>& argv);

// Options that run argv (a Windows program and its arguments) under Wine.
ChildOptions UnderWine(const std::vector<std::string>& argv);
ChildResult RunUnderWine(const std::vector<std::string>& argv, double timeoutSeconds = 60);

class WineTest : public testing::Test {
protected:
    void SetUp() override;
};
