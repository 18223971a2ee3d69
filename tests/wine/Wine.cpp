#include "Wine.h"

#include <cstdlib>
#include <unistd.h>

#include "WineConfig.h"

namespace {

// Empty when everything is there; the environment of every later child is set up on the way.
std::string Unavailable()
{
    if (*SNOOZLET_WINDOWS_BUILD_MISSING)
        return SNOOZLET_WINDOWS_BUILD_MISSING;
    if (*SNOOZLET_WINE_MISSING)
        return SNOOZLET_WINE_MISSING;
    if (access(SNOOZLET_WINE, X_OK) != 0)
        return std::string("Wine is gone: ") + SNOOZLET_WINE + " cannot be run";
    setenv("WINEPREFIX", SNOOZLET_WINE_PREFIX, 1);
    setenv("WINEDEBUG", "-all", 1);
    // No .NET or HTML engine in the prefix: not needed, and asking for them slows its making.
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    // Headless whatever the developer's session has, as in CI.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    return "";
}

}  // namespace

std::string CommandExe()
{
    return std::string(SNOOZLET_WINDOWS_X86_64_DIR) + "/snoozlet.exe";
}

std::string HelperExe(const std::string& name)
{
    return std::string(SNOOZLET_WINDOWS_HELPERS_DIR) + "/" + name + ".exe";
}

std::string WindowsPath(const std::string& linuxPath)
{
    std::string path = "Z:" + linuxPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

ChildOptions WithStderrLogged(const std::vector<std::string>& argv)
{
    // Wine's own processes (the wineserver above all) outlive the program and keep its
    // standard error: were that the test's, CTest would wait for them to end. A shell that
    // execs the program keeps the program's process id.
    ChildOptions options;
    options.argv = {"/bin/sh", "-c",
                    std::string("exec \"$0\" \"$@\" 2>>'") + SNOOZLET_WINE_PREFIX + "-stderr.log'"};
    options.argv.insert(options.argv.end(), argv.begin(), argv.end());
    return options;
}

ChildOptions UnderWine(const std::vector<std::string>& argv)
{
    std::vector<std::string> wine = {SNOOZLET_WINE};
    wine.insert(wine.end(), argv.begin(), argv.end());
    return WithStderrLogged(wine);
}

ChildResult RunUnderWine(const std::vector<std::string>& argv, double timeoutSeconds)
{
    Child child(UnderWine(argv));
    return child.Wait(timeoutSeconds);
}

void WineTest::SetUp()
{
    static const std::string reason = Unavailable();
    if (!reason.empty())
        GTEST_SKIP() << reason;
}
