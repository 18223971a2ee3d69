#include "Subprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
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

    startSeconds_ = MonotonicSeconds();
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("cannot fork");
    if (pid_ == 0) {
        // The child: only async-signal-safe calls from here to exec.
        signal(SIGPIPE, SIG_DFL);
        setsid();
        if (!options.controllingTerminal.empty()) {
            int terminal = open(options.controllingTerminal.c_str(), O_RDWR);
            if (terminal < 0 || ioctl(terminal, TIOCSCTTY, 0) != 0)
                _exit(126);
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
        if (options.stdinPath.empty()) {
            close(0);
        } else {
            int input = open(options.stdinPath.c_str(), O_RDONLY);
            if (input < 0)
                _exit(126);
            dup2(input, 0);
            if (input != 0)
                close(input);
        }
        if (options.stdoutClosed)
            close(1);
        else
            dup2(stdoutPipe[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(stdoutPipe[1]);
    stdoutRead_ = stdoutPipe[0];
}

Child::~Child()
{
    if (!reaped_) {
        kill(pid_, SIGKILL);
        Wait(5);
    }
    if (stdoutRead_ >= 0)
        close(stdoutRead_);
}

void Child::Signal(int signalNumber) const
{
    kill(pid_, signalNumber);
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
        pid_t ended = wait4(pid_, &status, WNOHANG, &usage);
        if (ended == pid_) {
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
