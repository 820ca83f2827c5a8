#include "error_text.h"

#include "tavlin/tavlin_ext.h"

namespace ctl {

const char* ErrorText(int code) {
    // The usage status is the tool's own; every other code is worded by the library.
    if (code == kExitUsage) return "bad command line";
    return TavlinExt_GetErrorText(code);
}

std::string DescribeError(int code) {
    return std::string(ErrorText(code)) + " (error " + std::to_string(code) + ")";
}

}  // namespace ctl
