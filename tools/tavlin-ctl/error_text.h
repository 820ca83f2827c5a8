// The SDK's error codes in words, and the exit statuses of tavlin-ctl built on them.
#pragma once

#include <string>

namespace ctl {

// Exit statuses besides the SDK's codes 1..13: success and a command line that cannot be parsed.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 64;

// "invalid argument" for 9; a generic text for codes the SDK does not use.
const char* ErrorText(int code);

// "invalid argument (error 9)".
std::string DescribeError(int code);

}  // namespace ctl
