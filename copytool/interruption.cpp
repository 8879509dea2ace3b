#include "interruption.h"

#include <signal.h>

#include <initializer_list>

namespace copytool {

namespace {

volatile sig_atomic_t interruptionSeen = 0;

void noteInterruption(int) { interruptionSeen = 1; }

}  // namespace

void watchForInterruption() {
    struct sigaction action = {};
    action.sa_handler = noteInterruption;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

bool interrupted() { return interruptionSeen != 0; }

}  // namespace copytool
