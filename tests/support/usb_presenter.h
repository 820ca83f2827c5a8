// Virtual cameras presented as USB cameras on the emulated bus, for fixtures parameterised by
// transport. Each camera attached at index i is withheld from this process's device paths and
// plugged in at a port that sorts it i-th, so the USB transport places it on index i.
#pragma once

#include <cstdint>

namespace tavlin::test {

// True when this program runs under the USB emulation (umockdev's preload).
bool UsbEmulationActive();

bool PresentOverUsb(int32_t index);
void WithdrawFromUsb(int32_t index);

// Waits until no program handle is open on any presented camera and the emulation has let go of
// what it kept for them, so counts of threads, descriptors and camera handles show the SDK's own.
bool SettleUsb();

}  // namespace tavlin::test
