// What the process needs before main on POSIX that the C runtime does not do by itself.
#include <csignal>

namespace {

// The usage line may go to a pipe whose reader has gone. The write then fails like any other
// failed write (the status stays as it is) instead of ending the process with SIGPIPE.
struct IgnoreBrokenPipe {
    IgnoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }
} ignoreBrokenPipe;

}  // namespace
