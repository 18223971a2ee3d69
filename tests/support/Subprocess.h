// Runs a built command as a real process for the tests: its own session, so it has no
// controlling terminal unless it is given a pseudo-terminal; standard output captured.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct ChildResult {
    bool exited = false;       // ended by exit, with exitCode
    int exitCode = -1;
    int signal = 0;            // the signal that ended it, when not exited
    std::string stdoutBytes;   // everything written to standard output
    double wallSeconds = 0;    // from start to end
    double cpuSeconds = 0;     // user + system time
    long maxResidentKb = 0;
};

// A pseudo-terminal; the child can be given its slave side as its controlling terminal.
struct PseudoTerminal {
    int master = -1;
    int slave = -1;  // the test's own hold on the slave side
    std::string slavePath;
    PseudoTerminal();  // opens one; throws std::runtime_error when it cannot
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    void Type(const std::string& bytes) const;  // as if typed at the keyboard
    // Everything the terminal has output so far (echo included), waiting up to the timeout.
    std::string ReadAvailable(int timeoutMs = 100) const;
};

struct ChildOptions {
    std::vector<std::string> argv;        // argv[0] is the program's path
    std::string stdinPath = "/dev/null";  // empty: standard input closed
    bool stdoutClosed = false;            // standard output closed instead of captured
    bool stdoutBrokenPipe = false;        // a pipe whose reader has already gone
    // A pseudo-terminal slave that becomes the controlling terminal; empty: none.
    std::string controllingTerminal;
    bool foreground = true;               // the child's group is the terminal's foreground group
};

class Child {
public:
    explicit Child(const ChildOptions& options);  // starts it; throws when it cannot
    ~Child();                                     // kills and reaps a child still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    void Signal(int signalNumber) const;
    // Waits for the end; a child still running after the timeout is killed (SIGKILL) and
    // reported as ended by that signal.
    ChildResult Wait(double timeoutSeconds = 30);
    bool RunningAfter(double seconds);  // true when it has not ended within that time

private:
    pid_t pid_ = -1;
    int stdoutRead_ = -1;
    double startSeconds_ = 0;
    bool reaped_ = false;
    ChildResult result_;
    std::string stdoutSoFar_;
    void DrainStdout();
};

// Runs to the end with the given arguments, standard input /dev/null, no terminal.
ChildResult RunCommand(const std::vector<std::string>& argv, double timeoutSeconds = 30);

// Monotonic seconds, for measuring around a child.
double MonotonicSeconds();
