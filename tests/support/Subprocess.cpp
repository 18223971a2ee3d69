#include "Subprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <initializer_list>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

double MonotonicSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

PseudoTerminal::PseudoTerminal()
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    slavePath = ptsname(master);
    // Held open by the test, so the terminal lives on between children and its mode can be
    // read at any time.
    slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        throw std::runtime_error("cannot open the pseudo-terminal's slave");
}

PseudoTerminal::~PseudoTerminal()
{
    if (slave >= 0)
        close(slave);
    if (master >= 0)
        close(master);
}

void PseudoTerminal::Type(const std::string& bytes) const
{
    if (write(master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("cannot type on the pseudo-terminal");
}

std::string PseudoTerminal::ReadAvailable(int timeoutMs) const
{
    std::string output;
    pollfd pfd{master, POLLIN, 0};
    while (poll(&pfd, 1, timeoutMs) > 0 && (pfd.revents & POLLIN)) {
        char buffer[512];
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
        timeoutMs = 20;
    }
    return output;
}

termios PseudoTerminal::Mode() const
{
    termios mode{};
    if (tcgetattr(slave, &mode) != 0)
        throw std::runtime_error("cannot read the pseudo-terminal's mode");
    return mode;
}

void PseudoTerminal::SetMode(const termios& mode) const
{
    if (tcsetattr(slave, TCSANOW, &mode) != 0)
        throw std::runtime_error("cannot set the pseudo-terminal's mode");
}

std::string PseudoTerminal::TakeInput() const
{
    // Out of canonical mode the bytes of an unfinished line can be read too; VMIN and VTIME 0
    // make the read return at once with what there is.
    termios found = Mode();
    termios raw = found;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    SetMode(raw);
    std::string input;
    for (;;) {
        char buffer[512];
        ssize_t n = read(slave, buffer, sizeof buffer);
        if (n > 0) {
            input.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    SetMode(found);
    return input;
}

namespace {

// In a forked child of the test, from here to exec.

const int kJobControlSignals[] = {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGHUP, SIGTERM,
                                  SIGCONT, SIGPIPE, SIGUSR1, SIGUSR2, SIGCHLD};

void ResetSignals()
{
    for (int signalNumber : kJobControlSignals)
        signal(signalNumber, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

[[noreturn]] void ExecCommand(const ChildOptions& options, int stdoutWrite, char** argv)
{
    ResetSignals();
    if (options.stdinPath.empty()) {
        close(0);
    } else {
        // O_NOCTTY: a terminal as standard input must not become the controlling terminal
        // of a session that has none.
        int input = open(options.stdinPath.c_str(), O_RDONLY | O_NOCTTY);
        if (input < 0)
            _exit(126);
        dup2(input, 0);
        if (input != 0)
            close(input);
    }
    if (options.stdoutClosed)
        close(1);
    else
        dup2(stdoutWrite, 1);
    execv(argv[0], argv);
    _exit(127);
}

// The job leader's requests from the test: SIGUSR1 fg, SIGUSR2 bg.
volatile sig_atomic_t jobRequest;

void RequestJobChange(int signalNumber)
{
    jobRequest = signalNumber;
}

void NoteChildChange(int) {}

// A session leader that runs the command as its one job, like an interactive shell: the job
// has its own process group, the leader ignores the terminal's signals, takes the foreground
// back when the job stops, and ends as the job ended (the same status, or the same signal).
[[noreturn]] void LeadJob(const ChildOptions& options, int terminal, int stdoutPipe[2],
                          int pidWrite, char** argv)
{
    for (int signalNumber : {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU})
        signal(signalNumber, SIG_IGN);
    pid_t job = fork();
    if (job < 0)
        _exit(125);
    if (job == 0) {
        setpgid(0, 0);
        if (options.foreground)
            tcsetpgrp(terminal, getpid());  // from the background, so with SIGTTOU ignored
        close(terminal);
        ExecCommand(options, stdoutPipe[1], argv);
    }
    setpgid(job, job);
    if (options.foreground)
        tcsetpgrp(terminal, job);
    close(stdoutPipe[1]);
    if (stdoutPipe[0] >= 0)
        close(stdoutPipe[0]);

    sigset_t handled;
    sigemptyset(&handled);
    for (int signalNumber : {SIGUSR1, SIGUSR2, SIGCHLD})
        sigaddset(&handled, signalNumber);
    sigset_t others;
    sigprocmask(SIG_BLOCK, &handled, &others);
    struct sigaction action {};
    action.sa_handler = RequestJobChange;
    sigaction(SIGUSR1, &action, nullptr);
    sigaction(SIGUSR2, &action, nullptr);
    action.sa_handler = NoteChildChange;
    sigaction(SIGCHLD, &action, nullptr);
    // The test sends its requests only once it knows the job, so none is lost before this.
    ssize_t written = write(pidWrite, &job, sizeof job);
    (void)written;
    close(pidWrite);

    for (;;) {
        int status;
        pid_t changed = waitpid(job, &status, WNOHANG | WUNTRACED);
        if (changed == job && WIFSTOPPED(status)) {
            tcsetpgrp(terminal, getpgrp());
            continue;
        }
        if (changed == job && WIFEXITED(status))
            _exit(WEXITSTATUS(status));
        if (changed == job && WIFSIGNALED(status)) {
            int signalNumber = WTERMSIG(status);
            signal(signalNumber, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            kill(getpid(), signalNumber);
            _exit(128 + signalNumber);
        }
        if (changed < 0 && errno != EINTR)
            _exit(125);
        // Only after the job's stop has been seen (above), so that bg finds the foreground
        // back with the leader.
        int request = jobRequest;
        jobRequest = 0;
        if (request == SIGUSR1)
            tcsetpgrp(terminal, job);
        if (request != 0) {
            kill(-job, SIGCONT);
            continue;
        }
        sigsuspend(&others);
    }
}

}  // namespace

Child::Child(const ChildOptions& options)
{
    int stdoutPipe[2];
    if (pipe2(stdoutPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe");
    if (options.stdoutBrokenPipe) {
        close(stdoutPipe[0]);
        stdoutPipe[0] = -1;
    }

    std::vector<char*> argv;
    for (const std::string& argument : options.argv)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    bool jobControl = options.jobControl && !options.controllingTerminal.empty();
    int pidPipe[2] = {-1, -1};
    if (jobControl && pipe2(pidPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe");

    startSeconds_ = MonotonicSeconds();
    waitedFor_ = fork();
    if (waitedFor_ < 0)
        throw std::runtime_error("cannot fork");
    if (waitedFor_ == 0) {
        // The child: only async-signal-safe calls from here to exec.
        rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        ResetSignals();
        setsid();
        if (!options.controllingTerminal.empty()) {
            int terminal = open(options.controllingTerminal.c_str(), O_RDWR);
            if (terminal < 0 || ioctl(terminal, TIOCSCTTY, 0) != 0)
                _exit(126);
            if (jobControl) {
                close(pidPipe[0]);
                LeadJob(options, terminal, stdoutPipe, pidPipe[1], argv.data());
            }
            if (!options.foreground) {
                // Another group of the session takes the terminal's foreground, so the command
                // runs as a background job. That group ends with the command's session.
                pid_t holder = fork();
                if (holder == 0) {
                    setpgid(0, 0);
                    pause();
                    _exit(0);
                }
                setpgid(holder, holder);
                signal(SIGTTOU, SIG_IGN);
                tcsetpgrp(terminal, holder);
                signal(SIGTTOU, SIG_DFL);
            }
            close(terminal);
        }
        ExecCommand(options, stdoutPipe[1], argv.data());
    }
    pid_ = waitedFor_;
    if (jobControl) {
        close(pidPipe[1]);
        pid_t job = -1;
        ssize_t got;
        do {
            got = read(pidPipe[0], &job, sizeof job);
        } while (got < 0 && errno == EINTR);
        close(pidPipe[0]);
        if (got == static_cast<ssize_t>(sizeof job))
            pid_ = job;
    }
    close(stdoutPipe[1]);
    stdoutRead_ = stdoutPipe[0];
}

Child::~Child()
{
    if (!reaped_) {
        kill(pid_, SIGKILL);
        kill(waitedFor_, SIGKILL);
        Wait(5);
    }
    if (stdoutRead_ >= 0)
        close(stdoutRead_);
}

void Child::Signal(int signalNumber) const
{
    kill(pid_, signalNumber);
}

void Child::ContinueInForeground() const
{
    kill(waitedFor_, SIGUSR1);
}

void Child::ContinueInBackground() const
{
    kill(waitedFor_, SIGUSR2);
}

bool Child::StoppedWithin(double seconds) const
{
    double deadline = MonotonicSeconds() + seconds;
    do {
        // The state is the field after the command name, which ends at the last ')'.
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string line;
        std::getline(stat, line);
        std::string::size_type nameEnd = line.rfind(')');
        if (nameEnd != std::string::npos && nameEnd + 2 < line.size()
            && (line[nameEnd + 2] == 'T' || line[nameEnd + 2] == 't'))
            return true;
        usleep(2000);
    } while (MonotonicSeconds() < deadline);
    return false;
}

void Child::DrainStdout()
{
    if (stdoutRead_ < 0)
        return;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(stdoutRead_, buffer, sizeof buffer);
        if (n > 0) {
            stdoutSoFar_.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
}

bool Child::RunningAfter(double seconds)
{
    double deadline = MonotonicSeconds() + seconds;
    while (MonotonicSeconds() < deadline) {
        int status;
        rusage usage;
        pid_t ended = wait4(waitedFor_, &status, WNOHANG, &usage);
        if (ended == waitedFor_) {
            reaped_ = true;
            result_.wallSeconds = MonotonicSeconds() - startSeconds_;
            result_.exited = WIFEXITED(status);
            result_.exitCode = result_.exited ? WEXITSTATUS(status) : -1;
            result_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            result_.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            result_.maxResidentKb = usage.ru_maxrss;
            return false;
        }
        usleep(2000);
    }
    return true;
}

ChildResult Child::Wait(double timeoutSeconds)
{
    if (!reaped_ && RunningAfter(timeoutSeconds)) {
        kill(pid_, SIGKILL);
        kill(waitedFor_, SIGKILL);
        RunningAfter(5);
    }
    // The child has ended: what it wrote is all in the pipe (a grandchild could still hold
    // it open, so read without waiting for its end).
    if (stdoutRead_ >= 0)
        fcntl(stdoutRead_, F_SETFL, O_NONBLOCK);
    DrainStdout();
    result_.stdoutBytes = stdoutSoFar_;
    return result_;
}

ChildResult RunCommand(const std::vector<std::string>& argv, double timeoutSeconds)
{
    ChildOptions options;
    options.argv = argv;
    Child child(options);
    return child.Wait(timeoutSeconds);
}
