#include "vcam_verbs.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace ctl {

namespace {

std::optional<int32_t> ParseDeviceIndex(Session& session, const std::string& text) {
    const auto index = ParseInteger(text);
    if (!index || *index < 0 || *index > 31) {
        session.Fail("bad device index '" + text + "' (0..31)", TAVLIN_ERR_INVALID_ARGUMENT);
        return std::nullopt;
    }
    return static_cast<int32_t>(*index);
}

}  // namespace

int ListVirtualCameras(Session& session) {
    std::vector<int32_t> indices;
    if (const int status = session.ListVirtual(&indices); status != 0) return status;
    for (const int32_t index : indices) std::printf("%d\n", index);
    return 0;
}

int AttachVirtualCamera(Session& session, const std::string& index) {
    const auto device = ParseDeviceIndex(session, index);
    if (!device) return TAVLIN_ERR_INVALID_ARGUMENT;
    return session.AttachVirtual(*device);
}

int DetachVirtualCamera(Session& session, const std::string& index) {
    const auto device = ParseDeviceIndex(session, index);
    if (!device) return TAVLIN_ERR_INVALID_ARGUMENT;
    return session.DetachVirtual(*device);
}

int TriggerVirtualCamera(Session& session, const std::string& target) {
    const size_t colon = target.find(':');
    const auto device = ParseDeviceIndex(session, target.substr(0, colon));
    if (!device) return TAVLIN_ERR_INVALID_ARGUMENT;
    int64_t pulses = 1;
    if (colon != std::string::npos) {
        const auto count = ParseInteger(target.substr(colon + 1));
        if (!count || *count < 1 || *count > 1000000) {
            return session.Fail("bad pulse count in '" + target + "' (1..1000000)",
                                TAVLIN_ERR_INVALID_ARGUMENT);
        }
        pulses = *count;
    }
    int32_t accepted = 0;
    if (const int status = session.TriggerVirtual(*device, static_cast<int32_t>(pulses), &accepted);
        status != 0) {
        return status;
    }
    // A camera outside trigger mode takes no pulse; that is an answer, not a failure.
    std::printf("%d pulses accepted%s\n", accepted,
                accepted == 0 ? " (the camera is not in trigger mode)" : "");
    return 0;
}

}  // namespace ctl
