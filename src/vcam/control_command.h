// The virtual cameras' control language, one command a line, as the daemon's control socket
// speaks it: attach and detach, trigger, scene, pacing, faults and read-back. It drives the
// cameras attached in this process, through the same calls as the in-process control interface.
#pragma once

#include <string>
#include <string_view>

namespace tavlin::vcam {

struct ControlResult {
    std::string reply;      // "ok[ values]\n" (plus listed lines for "trace") or "error <why>\n"
    bool shutdown = false;  // the command asked the daemon to stop
};

ControlResult ExecuteControlCommand(std::string_view line);

// The command summary "help" prints.
std::string_view ControlCommandHelp();

}  // namespace tavlin::vcam
