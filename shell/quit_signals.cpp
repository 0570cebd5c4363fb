#include "quit_signals.h"

#include <signal.h>

#include <csignal>
#include <initializer_list>

namespace scrapvolt {

namespace {

volatile std::sig_atomic_t received = 0;

void noteQuitSignal(int) {
    received = 1;
}

}  // namespace

void catchQuitSignals() {
    struct sigaction action {};
    action.sa_handler = noteQuitSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGHUP, SIGINT, SIGTERM}) {
        sigaction(signal, &action, nullptr);
    }
}

bool quitSignalReceived() {
    return received != 0;
}

}  // namespace scrapvolt
