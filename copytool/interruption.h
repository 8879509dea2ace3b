// Ctrl+C, a hang-up or a termination request: noted by a signal handler and
// acted on by the copy loop, which removes its temporary file and stops.
#pragma once

namespace copytool {

// Installs the handlers, without SA_RESTART so a blocked read returns.
void watchForInterruption();

bool interrupted();

}  // namespace copytool
