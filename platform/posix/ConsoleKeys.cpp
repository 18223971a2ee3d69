// The console keystroke functions on POSIX: the console input is the controlling terminal,
// never standard input.
//
// A static object opens the terminal before main and closes it at exit. A terminal holds typed
// bytes back until Enter and echoes them, so while the command runs in the terminal's
// foreground the terminal is out of canonical mode and echo (nothing else changed; set with
// TCSANOW, so whatever was typed ahead stays). The mode is set from the start, not at the first
// poll 250 ms into the wait, so that nothing typed meanwhile is echoed; the usage paths thus
// set it too and put it back at once. It is put back exactly as found on every way out, unless
// another process has set a mode of its own since (that one is left alone):
// - exit, whatever the status: the object's destructor;
// - SIGINT, SIGQUIT, SIGTERM and SIGHUP: put back, then the process ends by the same signal
//   with its default action;
// - SIGTSTP, SIGTTIN and SIGTTOU: put back, then the process stops; when it is continued in the
//   foreground the wait's mode is set again from the mode found then (which a user may have
//   changed while the job was stopped);
// - the job leaves the foreground in any other way: the next poll notices and puts it back.
// A job in the background neither sets the mode nor reads: the terminal would stop it.
// Without a controlling terminal nothing is done and no keystroke is ever waiting.
#include "ConsoleKeys.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "TerminalKeys.h"

namespace {

// Shared with the signal handlers. Main-line code changes them only with the handled signals
// blocked, so a handler never sees them half written.
volatile sig_atomic_t terminalFd = -1;
volatile sig_atomic_t waitModeSet = 0;  // the terminal holds the wait's mode, set by us
termios foundMode;                      // the mode to put back
termios waitMode;                       // the wait's mode as the terminal took it

// Main-line only.
bool handlersInstalled = false;
int heldSecondCode = 0;  // the second code of a two-code key, until the next getch

const int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
const int kStoppingSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

void AddHandledSignals(sigset_t& set)
{
    for (int signalNumber : kEndingSignals)
        sigaddset(&set, signalNumber);
    for (int signalNumber : kStoppingSignals)
        sigaddset(&set, signalNumber);
    sigaddset(&set, SIGCONT);
}

// Blocks the handled signals for main-line code that changes the mode. SIGTTOU among them
// also keeps a tcsetattr that races with a move to the background from stopping the process.
class HandledSignalsBlocked {
public:
    HandledSignalsBlocked()
    {
        sigset_t set;
        sigemptyset(&set);
        AddHandledSignals(set);
        sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~HandledSignalsBlocked() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    HandledSignalsBlocked(const HandledSignalsBlocked&) = delete;
    HandledSignalsBlocked& operator=(const HandledSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

// Everything from here to the handlers is async-signal-safe and is called with the handled
// signals blocked (by HandledSignalsBlocked, or as the handlers' mask).

bool InForeground(int fd)
{
    pid_t foreground = tcgetpgrp(fd);
    return foreground != -1 && foreground == getpgrp();
}

bool SameMode(const termios& a, const termios& b)
{
    if (a.c_iflag != b.c_iflag || a.c_oflag != b.c_oflag || a.c_cflag != b.c_cflag
        || a.c_lflag != b.c_lflag || cfgetispeed(&a) != cfgetispeed(&b)
        || cfgetospeed(&a) != cfgetospeed(&b))
        return false;
    for (int i = 0; i < NCCS; ++i)
        if (a.c_cc[i] != b.c_cc[i])
            return false;
    return true;
}

void SetMode(int fd, const termios& mode)
{
    while (tcsetattr(fd, TCSANOW, &mode) != 0 && errno == EINTR) {
    }
}

void PutBackFoundMode()
{
    int fd = terminalFd;
    if (fd < 0 || !waitModeSet)
        return;
    waitModeSet = 0;
    // Only the wait's mode, still there, is ours to put back. Another process may have set a
    // mode of its own meanwhile: a job that took the foreground, or one beside us in the same
    // pipeline (two waits in one pipeline: the later one found the earlier one's wait mode, and
    // putting that back after the earlier one has ended would leave the terminal without echo).
    termios current{};
    if (tcgetattr(fd, &current) != 0 || !SameMode(current, waitMode))
        return;
    SetMode(fd, foundMode);
}

// Reads the mode as it is now and takes the terminal out of canonical mode and echo. Only in
// the foreground; false when the mode could not be set in full (then it is left as found).
bool SetWaitMode()
{
    int fd = terminalFd;
    if (fd < 0)
        return false;
    if (waitModeSet)
        return true;
    if (!InForeground(fd))
        return false;
    termios found{};
    if (tcgetattr(fd, &found) != 0)
        return false;
    termios mode = found;
    // Without ICANON, ECHONL and the other echo flags have no effect; ISIG, IXON, the output
    // flags and the rest stay as the user has them. VMIN 1 and VTIME 0 let poll report a
    // single byte at once.
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    foundMode = found;
    SetMode(fd, mode);
    // tcsetattr reports success when any part of the change took, so look at what did.
    termios taken{};
    if (tcgetattr(fd, &taken) != 0 || (taken.c_lflag & (ICANON | ECHO)) != 0) {
        if (!SameMode(taken, found))
            SetMode(fd, found);
        return false;
    }
    waitMode = taken;
    waitModeSet = 1;
    return true;
}

void SetDefaultAction(int signalNumber)
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
}

// Sends the signal again with its default action: the end or the stop the user asked for.
void RaiseWithDefaultAction(int signalNumber)
{
    SetDefaultAction(signalNumber);
    raise(signalNumber);  // pending, since the handler blocks it
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);  // the default action happens here
}

void InstallHandler(int signalNumber, void (*handler)(int));

void EndBySignal(int signalNumber)
{
    int savedErrno = errno;
    PutBackFoundMode();
    RaiseWithDefaultAction(signalNumber);
    errno = savedErrno;
}

void StopBySignal(int signalNumber)
{
    int savedErrno = errno;
    PutBackFoundMode();
    RaiseWithDefaultAction(signalNumber);
    // Continued, or never stopped: the system drops a stop signal to an orphaned process
    // group. Either way the wait goes on, with its mode again if it is in the foreground.
    InstallHandler(signalNumber, StopBySignal);
    SetWaitMode();
    errno = savedErrno;
}

void Continue(int)
{
    int savedErrno = errno;
    SetWaitMode();
    errno = savedErrno;
}

void InstallHandler(int signalNumber, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    AddHandledSignals(action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

// A signal ignored when the command started (nohup, a shell without job control) stays
// ignored: the process that started us asked for that.
void InstallHandlerUnlessIgnored(int signalNumber, void (*handler)(int))
{
    struct sigaction current {};
    if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
        return;
    InstallHandler(signalNumber, handler);
}

void InstallHandlers()
{
    for (int signalNumber : kEndingSignals)
        InstallHandlerUnlessIgnored(signalNumber, EndBySignal);
    for (int signalNumber : kStoppingSignals)
        InstallHandlerUnlessIgnored(signalNumber, StopBySignal);
    InstallHandlerUnlessIgnored(SIGCONT, Continue);
}

// Brings the mode in line with where the job is: the wait's mode in the foreground, the found
// mode in the background. True when keys can be read: in the foreground with the wait's mode.
bool FollowForeground()
{
    int fd = terminalFd;
    if (fd < 0)
        return false;
    bool foreground = InForeground(fd);
    if (foreground == static_cast<bool>(waitModeSet))
        return foreground;
    HandledSignalsBlocked blocked;
    if (!foreground) {
        PutBackFoundMode();
        return false;
    }
    if (!SetWaitMode())
        return false;
    // Only once the mode has really been changed, and before any handled signal can arrive.
    if (!handlersInstalled) {
        InstallHandlers();
        handlersInstalled = true;
    }
    return true;
}

// One byte if one is waiting: 1 with it, 0 when none is waiting, -1 when the terminal cannot be
// read (an error, or the end of input after a hang-up).
int ReadWaitingByte(int fd, unsigned char& byte)
{
    for (;;) {
        ssize_t got = read(fd, &byte, 1);
        if (got == 1)
            return 1;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0;
        return -1;
    }
}

// The console input device, open from before main to exit.
struct ControllingTerminal {
    ControllingTerminal()
    {
        // Non-blocking, so a read takes only what is already waiting.
        int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0 && fd <= STDERR_FILENO) {
            // A standard stream was closed. Holding its number would send what the command
            // writes there (the usage line) to the terminal, so move above them.
            int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
            close(fd);
            fd = moved;
        }
        terminalFd = fd;
        FollowForeground();
    }

    ~ControllingTerminal()
    {
        HandledSignalsBlocked blocked;
        PutBackFoundMode();
        int fd = terminalFd;
        terminalFd = -1;  // from here on the handlers leave the terminal alone
        if (fd >= 0)
            close(fd);
    }

    ControllingTerminal(const ControllingTerminal&) = delete;
    ControllingTerminal& operator=(const ControllingTerminal&) = delete;
} controllingTerminal;

}  // namespace

int kbhit()
{
    if (heldSecondCode != 0)
        return 1;
    // Looked at on every poll, so that a job moved to the background never reads (the terminal
    // would stop it) and one brought to the foreground starts to.
    if (!FollowForeground())
        return 0;
    pollfd waiting{terminalFd, POLLIN, 0};
    if (poll(&waiting, 1, 0) != 1)
        return 0;
    return (waiting.revents & POLLIN) != 0 && (waiting.revents & (POLLERR | POLLNVAL)) == 0;
}

int getch()
{
    if (heldSecondCode != 0) {
        int code = heldSecondCode;
        heldSecondCode = 0;
        return code;
    }
    if (!FollowForeground())
        return -1;
    int fd = terminalFd;

    // Only a byte already waiting. kbhit saw one, but another reader of the terminal may have
    // taken it since; waiting here for the next key would hold up the delay.
    unsigned char byte;
    if (ReadWaitingByte(fd, byte) <= 0)
        return -1;

    // The rest of the keystroke, one byte at a time and only while bytes are waiting: a
    // terminal sends a key's sequence in one write, and has no way to take back a byte read
    // past the keystroke.
    KeystrokeDecoder decoder;
    bool whole = decoder.Add(byte);
    while (!whole && ReadWaitingByte(fd, byte) > 0)
        whole = decoder.Add(byte);
    KeyCodes codes = decoder.Codes();
    if (codes.first == 0)
        heldSecondCode = codes.second;
    return codes.first;
}
