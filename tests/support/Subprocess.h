// Runs a built command as a real process for the tests: its own session, so it has no
// controlling terminal unless it is given a pseudo-terminal; standard output captured. The
// command starts with the job-control and ending signals at their default action, no signal
// blocked, and no core dump.
#pragma once

#include <string>
#include <sys/types.h>
#include <termios.h>
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
    // The terminal's mode (termios) as it is now, and setting it (TCSANOW).
    termios Mode() const;
    void SetMode(const termios& mode) const;
    // Takes what the next reader of the terminal would get, all of it and without waiting:
    // typed bytes not yet read, whole lines or not. The mode is the same afterwards.
    std::string TakeInput() const;
};

struct ChildOptions {
    std::vector<std::string> argv;        // argv[0] is the program's path
    std::string stdinPath = "/dev/null";  // empty: standard input closed
    bool stdoutClosed = false;            // standard output closed instead of captured
    bool stdoutBrokenPipe = false;        // a pipe whose reader has already gone
    // A pseudo-terminal slave that becomes the controlling terminal; empty: none.
    std::string controllingTerminal;
    bool foreground = true;               // the child's group is the terminal's foreground group
    // With a controlling terminal: the command runs as a job of a small shell-like session
    // leader, in a process group of its own, so that stop signals stop it (the system drops
    // them for a session leader's own group, which is orphaned). With foreground false the
    // leader keeps the terminal's foreground. When the job stops, the leader takes the
    // foreground back, as a shell does; see Child::ContinueInForeground and ...Background.
    bool jobControl = false;
};

class Child {
public:
    explicit Child(const ChildOptions& options);  // starts it; throws when it cannot
    ~Child();                                     // kills and reaps a child still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }  // the command's process
    void Signal(int signalNumber) const;
    // Job control only, as a shell's fg and bg: the job gets the terminal's foreground (fg
    // only), then its process group is continued.
    void ContinueInForeground() const;
    void ContinueInBackground() const;
    // True when the command is stopped, or stops within the time.
    bool StoppedWithin(double seconds) const;
    // Waits for the end; a child still running after the timeout is killed (SIGKILL) and
    // reported as ended by that signal.
    ChildResult Wait(double timeoutSeconds = 30);
    bool RunningAfter(double seconds);  // true when it has not ended within that time

private:
    pid_t pid_ = -1;
    pid_t waitedFor_ = -1;  // the command, or with job control its session leader
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
