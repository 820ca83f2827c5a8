// tavlin-ctl: the camera from the shell, in the manner of v4l2-ctl and arv-tool. See --help.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "camera_verbs.h"
#include "capture_verbs.h"
#include "completion.h"
#include "error_text.h"
#include "options.h"
#include "session.h"
#include "stop_signal.h"
#include "tavlin/tavlin_ext.h"
#include "vcam_verbs.h"

namespace {

int Run(ctl::Session& session, const ctl::Action& action) {
    using ctl::Verb;
    const std::string& argument = action.argument;
    switch (action.verb) {
        case Verb::kList:
            return ctl::ListCameras(session);
        case Verb::kInfo:
            return ctl::ShowInfo(session);
        case Verb::kAll:
            return ctl::ShowAllSettings(session);
        case Verb::kListSettings:
            return ctl::ListSettings();
        case Verb::kGet:
            return ctl::GetSettings(session, argument);
        case Verb::kSet:
            return ctl::SetSettings(session, argument);
        case Verb::kReadRegister:
            return ctl::ReadRegister(session, argument);
        case Verb::kWriteRegister:
            return ctl::WriteRegister(session, argument);
        case Verb::kReadSrom:
            return ctl::ReadSrom(session, argument);
        case Verb::kWriteSrom:
            return ctl::WriteSrom(session, argument);
        case Verb::kSnapshot:
            return ctl::Snapshot(session, argument);
        case Verb::kCapture:
            return ctl::CaptureFrames(session, argument);
        case Verb::kStream:
            return ctl::StreamFrames(session, argument);
        case Verb::kRecord:
            return ctl::RecordClip(session, argument);
        case Verb::kTriggerCapture:
            return ctl::TriggerCapture(session, argument);
        case Verb::kStats:
            return ctl::ShowFrameStats(session);
        case Verb::kVcamList:
            return ctl::ListVirtualCameras(session);
        case Verb::kAttach:
            return ctl::AttachVirtualCamera(session, argument);
        case Verb::kDetach:
            return ctl::DetachVirtualCamera(session, argument);
        case Verb::kTrigger:
            return ctl::TriggerVirtualCamera(session, argument);
        case Verb::kUdevRules:
            return ctl::PrintUdevRules();
    }
    return ctl::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--complete")
        return ctl::PrintCompletions(argv[2]);
    const auto options = ctl::ParseCommandLine(argc, argv);
    if (!options) return ctl::kExitUsage;
    if (options->help) {
        ctl::PrintHelp();
        return 0;
    }
    if (options->version) {
        ctl::PrintVersion();
        return 0;
    }
    // Before the first camera call, so the log covers the open. The environment, when set,
    // is the more specific request.
    if (!options->logLevels.empty() && std::getenv("TAVLIN_LOG_LEVELS") == nullptr) {
        TavlinExt_SetLogLevels(options->logLevels.c_str());
    }
    // Output goes out line by line, so a script reading a pipe sees each file as it is written.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ctl::InstallStopSignals();
    ctl::Session session(*options);
    for (const ctl::Action& action : options->actions) {
        if (const int status = Run(session, action); status != 0) return status;
        if (ctl::StopRequested()) {
            std::fprintf(stderr, "tavlin-ctl: interrupted\n");
            return ctl::kExitInterrupted;
        }
    }
    return 0;
}
