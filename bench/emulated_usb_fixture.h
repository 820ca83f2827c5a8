// A virtual camera on the emulated USB bus, opened and claimed with plain libusb: the fixture
// the USB benchmarks share. Programs using it run under tests/usb_wrapper.sh.
#pragma once

#include <benchmark/benchmark.h>
#include <libusb.h>

#include <array>
#include <cstdint>
#include <memory>

#include "process_cpu.h"
#include "support/emulated_usb.h"

namespace tavlin::bench {

namespace proto = vcam::protocol;

using Packet = std::array<uint8_t, proto::kPacketSize>;

inline Packet MakePacket(std::initializer_list<uint8_t> head) {
    Packet p{};
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

class EmulatedUsbCamera : public benchmark::Fixture {
  public:
    // What Plug is given; a derived fixture may change it before SetUp.
    testing::UsbPlugOptions options;

    void SetUp(benchmark::State& state) override {
        if (!testing::EmulatedUsbBus::Available()) {
            state.SkipWithError("not under the umockdev preload (tests/usb_wrapper.sh)");
            return;
        }
        bus = &testing::EmulatedUsbBus::Instance();  // before libusb_init
        camera = std::make_shared<vcam::VirtualCamera>(1);
        camera->SetRealTime(false);
        camera->SetScene(vcam::SceneKind::Flat);
        id = bus->Plug(camera, options);
        if (libusb_init(&context) != 0) {
            state.SkipWithError("libusb_init failed");
            return;
        }
        handle = OpenEmulated();
        if (handle == nullptr || libusb_claim_interface(handle, 0) != 0) {
            state.SkipWithError("cannot open and claim the emulated camera");
        }
    }

    void TearDown(benchmark::State&) override {
        if (handle != nullptr) libusb_close(handle);
        handle = nullptr;
        if (context != nullptr) libusb_exit(context);
        context = nullptr;
        if (bus != nullptr) bus->Unplug(id);
        camera.reset();
    }

    bool Send(Packet packet) {
        int sent = 0;
        return libusb_bulk_transfer(handle, 0x01, packet.data(), int(packet.size()), &sent, 5000) ==
                   0 &&
               sent == int(packet.size());
    }

    // Frame request, then the frame read on 0x83 into out: the bytes received, or -1.
    int ReadFrame(uint8_t* out, int length) {
        if (!Send(MakePacket({proto::kCmdFrameRequest}))) return -1;
        int received = 0;
        if (libusb_bulk_transfer(handle, 0x83, out, length, &received, 5000) != 0) return -1;
        return received;
    }

    testing::EmulatedUsbBus* bus = nullptr;
    std::shared_ptr<vcam::VirtualCamera> camera;
    testing::EmulatedUsbBus::DeviceId id = 0;
    libusb_context* context = nullptr;
    libusb_device_handle* handle = nullptr;

  private:
    libusb_device_handle* OpenEmulated() {
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context, &list);
        libusb_device_handle* opened = nullptr;
        for (ssize_t i = 0; i < count && opened == nullptr; ++i) {
            if (libusb_get_bus_number(list[i]) == options.bus &&
                libusb_get_device_address(list[i]) == bus->Address(id)) {
                if (libusb_open(list[i], &opened) != 0) opened = nullptr;
            }
        }
        libusb_free_device_list(list, 1);
        return opened;
    }
};

}  // namespace tavlin::bench
