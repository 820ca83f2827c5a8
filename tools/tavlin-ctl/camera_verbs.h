// Actions on the camera's identity, settings, registers and SROM.
#pragma once

#include <string>

#include "session.h"

namespace ctl {

// Each returns 0 or the exit status (after a message on stderr).
int ListCameras(Session& session);
int ShowInfo(Session& session);
int ShowAllSettings(Session& session);
int ListSettings();
int PrintUdevRules();
int GetSettings(Session& session, const std::string& names);
int SetSettings(Session& session, const std::string& assignments);
int ReadRegister(Session& session, const std::string& reg);
int WriteRegister(Session& session, const std::string& assignment);
int ReadSrom(Session& session, const std::string& index);
int WriteSrom(Session& session, const std::string& assignment);

}  // namespace ctl
