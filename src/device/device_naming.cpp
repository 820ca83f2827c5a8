// Display names of attached cameras: "Tavlin410QZ-VKE_NN", narrow and as 16-bit text.
#include <cstdio>
#include <cstring>
#include <string>

#include "device/tvl_sdk_lib.h"

namespace tavlin::device {

namespace {

constexpr char kNameStem[] = "Tavlin410QZ-VKE";
constexpr size_t kNarrowSlot = 256;
constexpr size_t kWideSlot = 256;  // 16-bit characters: 512 bytes
constexpr int32_t kMinimumSlots = 10;
constexpr int32_t kMinimumLength = 15;

std::string DisplayName(int32_t number) {
    char name[kNarrowSlot];
    std::snprintf(name, sizeof(name), "%s_%02d", kNameStem, number);
    return name;
}

// The stem is ASCII, so widening each byte is the code-page conversion.
void CopyWide(const std::string& text, char16_t* out) {
    for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<unsigned char>(text[i]);
    out[text.size()] = u'\0';
}

}  // namespace

int32_t CTVLSdkLib::EnumerateNames(char* buffer) {
    ProbeDevices();
    int32_t found = 0;
    for (int32_t index = 0; index < kDeviceCount; ++index) {
        if (!IsPresent(index)) continue;
        if (buffer != nullptr) {
            std::snprintf(buffer + size_t(found) * kNarrowSlot, kNarrowSlot, "%s",
                          DisplayName(found + 1).c_str());
        }
        ++found;
    }
    for (int32_t slot = found; slot < kMinimumSlots && buffer != nullptr; ++slot) {
        buffer[size_t(slot) * kNarrowSlot] = '\0';
    }
    return found;
}

int32_t CTVLSdkLib::EnumerateNamesWide(char16_t* buffer) const {
    int32_t found = 0;
    for (int32_t index = 0; index < kDeviceCount; ++index) {
        if (!IsPresent(index)) continue;
        if (buffer != nullptr) CopyWide(DisplayName(found + 1), buffer + size_t(found) * kWideSlot);
        ++found;
    }
    for (int32_t slot = found; slot < kMinimumSlots && buffer != nullptr; ++slot) {
        buffer[size_t(slot) * kWideSlot] = u'\0';
    }
    return found;
}

// A name needs 19 characters with its terminator; shorter buffers are refused rather than given
// a cut-off name that would look valid.
int32_t CTVLSdkLib::DeviceName(int32_t index, char* buffer, int32_t length) const {
    if (buffer == nullptr || length < kMinimumLength) return kNameInvalid;
    if (index < 0 || index >= kDeviceCount) return kNameInvalid;
    if (!IsPresent(index)) return kNameAbsent;
    const std::string name = DisplayName(index + 1);
    if (size_t(length) < name.size() + 1) return kNameInvalid;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return 0;
}

int32_t CTVLSdkLib::DeviceNameWide(int32_t index, char16_t* buffer, int32_t length) const {
    if (buffer == nullptr || length < kMinimumLength) return kNameInvalid;
    if (index < 0 || index >= kDeviceCount) return kNameInvalid;
    if (!IsPresent(index)) return kNameAbsent;
    const std::string name = DisplayName(index + 1);
    if (size_t(length) < name.size() + 1) return kNameInvalid;
    CopyWide(name, buffer);
    return 0;
}

}  // namespace tavlin::device
