#include "interrupt.h"

#include "toolerror.h"

#include <csignal>

namespace quorvane::cli {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void onInterrupt(int) {
    gInterrupted = 1;
}

// Every signal whose default action ends the process, but those that report a fault of the
// process itself (a crash leaves nothing to unwind).
constexpr int kEnding[] = {SIGINT,    SIGTERM, SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2,  SIGALRM,
                           SIGVTALRM, SIGPROF, SIGXCPU, SIGIO,   SIGPWR,  SIGSTKFLT};

void catchUnlessIgnored(int signal, const struct sigaction& action) {
    struct sigaction previous = {};
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) return;
    sigaction(signal, &action, nullptr);
}

} // namespace

void installInterruptHandlers() {
    // No SA_RESTART: a wait (for a FIFO's reader) ends with EINTR and the flag is seen.
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : kEnding)
        catchUnlessIgnored(signal, action);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        catchUnlessIgnored(signal, action);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

bool interrupted() {
    return gInterrupted != 0;
}

void throwIfInterrupted() {
    if (interrupted()) throw ToolError(kExitInterrupted, "interrupted; no output was written");
}

} // namespace quorvane::cli
