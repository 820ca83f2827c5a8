// The transports the integration fixtures reach their virtual cameras through: in this process,
// or as a USB camera on the emulated bus. A test program started under the USB emulation runs
// its transport-parameterised fixtures over USB; started plainly, in-process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tavlin::test {

enum class Transport { kInProcess, kUsb };

inline void PrintTo(Transport transport, std::ostream* out) {
    *out << (transport == Transport::kUsb ? "Usb" : "InProcess");
}

std::vector<Transport> TransportsUnderTest();
std::string TransportName(const ::testing::TestParamInfo<Transport>& info);

// Presents the camera attached at the index over the transport (for USB: withheld from this
// process's device paths and plugged into the emulated bus); false when it could not be.
bool Present(Transport transport, int32_t index);
// Takes the camera at the index off the transport (for USB: unplugged from the bus).
void Withdraw(Transport transport, int32_t index);
// Waits until the transport holds nothing for the cameras the program no longer uses (USB: the
// emulated devices' handles closed); false when it did not settle.
bool Settle(Transport transport);

}  // namespace tavlin::test
