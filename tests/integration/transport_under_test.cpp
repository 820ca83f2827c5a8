#include "integration/transport_under_test.h"

#include "support/usb_presenter.h"

namespace tavlin::test {

std::vector<Transport> TransportsUnderTest() {
    // Under the emulation the in-process cases already ran in the plain program.
    if (UsbEmulationActive()) return {Transport::kUsb};
    return {Transport::kInProcess};
}

std::string TransportName(const ::testing::TestParamInfo<Transport>& info) {
    return info.param == Transport::kUsb ? "Usb" : "InProcess";
}

bool Present(Transport transport, int32_t index) {
    return transport == Transport::kInProcess || PresentOverUsb(index);
}

void Withdraw(Transport transport, int32_t index) {
    if (transport == Transport::kUsb) WithdrawFromUsb(index);
}

bool Settle(Transport transport) {
    return transport != Transport::kUsb || SettleUsb();
}

}  // namespace tavlin::test
