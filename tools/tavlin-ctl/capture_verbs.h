// Actions that take frames: snapshots, captures to files, streaming, recording and trigger mode.
#pragma once

#include <optional>
#include <string>

#include "session.h"

namespace ctl {

// Each returns 0 or the exit status (after a message on stderr).
int Snapshot(Session& session, const std::string& file);
int CaptureFrames(Session& session, const std::string& count);
int StreamFrames(Session& session, const std::string& count);
int RecordClip(Session& session, const std::string& file);
int TriggerCapture(Session& session, const std::string& count);
// The frame accounting of the camera's current or last acquisition, one count a line.
int ShowFrameStats(Session& session);

// The file name of frame `number` (from 1) under the pattern: its %d or %0Nd is replaced; a
// pattern without one gets "-NNN" before its extension when several frames are taken.
// Nothing when the pattern holds another conversion.
std::optional<std::string> FrameFileName(const std::string& pattern, int number, bool several);

}  // namespace ctl
