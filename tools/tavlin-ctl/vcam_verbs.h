// Virtual-camera actions: list, attach, detach and trigger, on the daemon or in this process.
#pragma once

#include <string>

#include "session.h"

namespace ctl {

// Each returns 0 or the exit status (after a message on stderr).
int ListVirtualCameras(Session& session);
int AttachVirtualCamera(Session& session, const std::string& index);
int DetachVirtualCamera(Session& session, const std::string& index);
// "I" or "I:PULSES".
int TriggerVirtualCamera(Session& session, const std::string& target);

}  // namespace ctl
