#include "error_text.h"

#include "tavlin/tavlin.h"

namespace ctl {

const char* ErrorText(int code) {
    switch (code) {
        case TAVLIN_ERR_NONE:
            return "success";
        case TAVLIN_ERR_NO_DEVICE:
            return "no device, or not possible now";
        case TAVLIN_ERR_DEVICE_BUSY:
            return "device not available (absent, or streaming in another process)";
        case TAVLIN_ERR_THREAD:
            return "thread or event could not be created";
        case TAVLIN_ERR_WINDOW:
            return "window not created, or no matching size preset";
        case TAVLIN_ERR_MEMORY:
            return "out of memory or initialisation failed";
        case TAVLIN_ERR_IO:
            return "device input/output failed";
        case TAVLIN_ERR_CAPTURE_WINDOW:
            return "capture window invalid";
        case TAVLIN_ERR_TRANSFER:
            return "frame transfer failed";
        case TAVLIN_ERR_INVALID_ARGUMENT:
            return "invalid argument";
        case TAVLIN_ERR_NOT_SUPPORTED:
            return "not supported";
        case TAVLIN_ERR_FILE:
            return "file or name failure";
        case TAVLIN_ERR_STREAM_STOPPED:
            return "stream stopped";
        case kExitUsage:
            return "bad command line";
        default:
            return "unknown error";
    }
}

std::string DescribeError(int code) {
    return std::string(ErrorText(code)) + " (error " + std::to_string(code) + ")";
}

}  // namespace ctl
