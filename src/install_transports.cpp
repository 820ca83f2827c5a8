// Compiled into every program that links the SDK's layers statically (and into the shared
// library), so the device layer has its transports before main runs.
#include "transport/transport_choice.h"

namespace {
[[maybe_unused]] const bool transportsInstalled = (tavlin::transport::InstallTransports(), true);
}  // namespace
