// Ctrl-C and SIGTERM end a long action cleanly: the camera is stopped and released (which saves
// its settings) instead of the process dying with a stream running. A second signal ends the
// process at once.
#pragma once

namespace ctl {

inline constexpr int kExitInterrupted = 130;

void InstallStopSignals();
bool StopRequested();

}  // namespace ctl
