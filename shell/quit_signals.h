#pragma once

namespace scrapvolt {

// SIGHUP (the terminal closing, a log-out), SIGINT and SIGTERM ask the program to end in order
// and save, like closing its window. The handler only raises a flag that the frame loop reads,
// so a signal takes effect even when SDL's event queue is full.
void catchQuitSignals();
bool quitSignalReceived();

}  // namespace scrapvolt
