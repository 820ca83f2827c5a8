#include "camera_verbs.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "error_text.h"
#include "settings_table.h"
#include "tavlin/tavlin_ext.h"

namespace ctl {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// "REG=VALUE" into two integers within their ranges.
bool ParseAssignment(const std::string& text, int64_t maxKey, int64_t maxValue, int32_t* key,
                     int32_t* value) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) return false;
    const auto k = ParseInteger(text.substr(0, equals));
    const auto v = ParseInteger(text.substr(equals + 1));
    if (!k || !v || *k < 0 || *k > maxKey || *v < 0 || *v > maxValue) return false;
    *key = static_cast<int32_t>(*k);
    *value = static_cast<int32_t>(*v);
    return true;
}

std::optional<int32_t> ParseIndex(const std::string& text, int64_t max) {
    const auto value = ParseInteger(text);
    if (!value || *value < 0 || *value > max) return std::nullopt;
    return static_cast<int32_t>(*value);
}

struct DeviceDescription {
    TavlinExtDeviceInfo info{};
    std::string where;  // the transport in words
};

DeviceDescription DescribeDevice(int32_t index) {
    DeviceDescription device;
    device.info.size = sizeof(device.info);
    if (TavlinExt_GetDeviceInfo(index, &device.info) != 1) return device;
    switch (device.info.reach) {
        case TAVLIN_EXT_REACH_IN_PROCESS:
            device.where = "in-process";
            break;
        case TAVLIN_EXT_REACH_DAEMON:
            device.where = "daemon";
            break;
        case TAVLIN_EXT_REACH_USB: {
            char ids[16];
            std::snprintf(ids, sizeof(ids), "%04x:%04x", device.info.usbVendor & 0xFFFFu,
                          device.info.usbProduct & 0xFFFFu);
            device.where = std::string("usb ") + device.info.usbPortPath + " " +
                           device.info.usbNode + " " + ids + " serial " +
                           (*device.info.usbSerial ? device.info.usbSerial : "-");
            break;
        }
        default:
            device.where = "-";
    }
    return device;
}

int UnknownSetting(Session& session, const std::string& name) {
    return session.Fail("unknown setting '" + name + "' (see --list-settings)",
                        TAVLIN_ERR_INVALID_ARGUMENT);
}

}  // namespace

int ListCameras(Session& session) {
    if (const int status = session.Open(false); status != 0) return status;
    int found = 0;
    for (int32_t index = 0; index < 32; ++index) {
        const DeviceDescription device = DescribeDevice(index);
        char name[64] = {};
        if (Tavlin_GetDeviceName(session.Camera(), index, name, sizeof(name)) != 1) {
            // A USB camera that cannot be opened is there all the same: say why it is unusable.
            if (device.info.reach == TAVLIN_EXT_REACH_USB) {
                std::printf("%d\t-\t%s\tnot usable: %s\n", index, device.where.c_str(),
                            device.info.advice);
                ++found;
            }
            continue;
        }
        std::printf("%d\t%s\t%s%s\n", index, name, device.where.c_str(),
                    index == session.Device() ? "\t(selected)" : "");
        ++found;
    }
    session.ClearErrors();  // absent indices leave error 2 behind
    if (found == 0) std::printf("no camera\n");
    // Devices on the id list passed over, and id-list entries that do not parse.
    std::string report(static_cast<size_t>(TavlinExt_GetUsbReport(nullptr, 0)) + 1, '\0');
    TavlinExt_GetUsbReport(report.data(), static_cast<int32_t>(report.size()));
    report.resize(report.size() - 1);
    for (const std::string& line : Split(report, '\n')) {
        if (!line.empty()) std::printf("note: %s\n", line.c_str());
    }
    return 0;
}

int PrintUdevRules() {
    std::string rules(static_cast<size_t>(TavlinExt_GetUdevRules(nullptr, 0)) + 1, '\0');
    TavlinExt_GetUdevRules(rules.data(), static_cast<int32_t>(rules.size()));
    rules.resize(rules.size() - 1);
    std::fputs(rules.c_str(), stdout);
    return 0;
}

int ShowInfo(Session& session) {
    if (const int status = session.Open(); status != 0) return status;
    const int32_t camera = session.Camera();
    TavlinCameraInfo info{};
    info.size = sizeof(info);
    if (Tavlin_GetCameraInfo(camera, &info) != 1) {
        return session.Fail("camera information", session.FailureCode(TAVLIN_ERR_NO_DEVICE));
    }
    char name[64] = {};
    Tavlin_GetDeviceName(camera, session.Device(), name, sizeof(name));
    const int32_t subSample = Tavlin_GetSubSample(camera);
    const int32_t divisor = subSample >= 0 && subSample <= 3 ? 1 << subSample : 1;
    std::string window, colorMode;
    FindSetting("window")->get(camera, &window);
    FindSetting("colormode")->get(camera, &colorMode);
    int32_t ok = 0;
    const int32_t exposureUs = Tavlin_GetRealExposureTime(camera, &ok);
    const DeviceDescription device = DescribeDevice(session.Device());
    if (device.info.reach == TAVLIN_EXT_REACH_USB) {
        std::printf("Device:          %d, %s (USB camera)\n", session.Device(), name);
        std::printf("USB bus/port:    %d, %s (%s)\n", device.info.usbBus, device.info.usbPortPath,
                    device.info.usbNode);
        std::printf("USB id:          %04x:%04x\n", device.info.usbVendor, device.info.usbProduct);
        std::printf("Serial number:   %s\n", *device.info.usbSerial ? device.info.usbSerial : "-");
    } else {
        std::printf("Device:          %d, %s (%s)\n", session.Device(), name,
                    session.UsesDaemon() ? "virtual-camera daemon" : "in-process virtual camera");
    }
    std::printf("Library version: %d\n", Tavlin_GetDllVersion());
    std::printf("Sensor:          %d x %d\n", info.sensorWidth, info.sensorHeight);
    std::printf("Global gain:     %d..%d\n", info.globalGainMin, info.globalGainMax);
    std::printf("Colour gains:    %d..%d\n", info.colorGainMin, info.colorGainMax);
    std::printf("Exposure:        %d..%d lines, now %d us\n", info.exposureMin, info.exposureMax,
                ok == 1 ? exposureUs : 0);
    std::printf("Window:          %s\n", window.c_str());
    std::printf("Image:           %d x %d, %s bits per pixel (sub-sample %d)\n",
                Tavlin_Width(camera) / divisor, Tavlin_Height(camera) / divisor, colorMode.c_str(),
                subSample);
    session.ClearErrors();
    return 0;
}

int ShowAllSettings(Session& session) {
    if (const int status = session.Open(); status != 0) return status;
    for (const Setting& setting : Settings()) {
        std::string value;
        session.ClearErrors();
        if (!setting.get(session.Camera(), &value)) {
            value = std::string("(") + ErrorText(session.FailureCode(TAVLIN_ERR_NO_DEVICE)) + ")";
        }
        const std::string unit = UnitText(setting);
        std::printf("%-16s %s%s%s\n", setting.name, value.c_str(), unit.empty() ? "" : " ",
                    unit.c_str());
    }
    session.ClearErrors();
    return 0;
}

int ListSettings() {
    std::printf("%-16s %-36s %-15s %s\n", "NAME", "RANGE", "UNIT", "MEANING (EXPORTS)");
    for (const Setting& setting : Settings()) {
        const std::string unit = UnitText(setting);
        std::printf("%-16s %-36s %-15s %s (%s)\n", setting.name, RangeText(setting).c_str(),
                    unit.empty() ? "-" : unit.c_str(), setting.meaning, setting.exports);
    }
    return 0;
}

int GetSettings(Session& session, const std::string& names) {
    // Every name is checked before the camera is opened, so a typo costs nothing.
    std::vector<const Setting*> wanted;
    for (const std::string& name : Split(names, ',')) {
        const Setting* setting = FindSetting(name);
        if (setting == nullptr) return UnknownSetting(session, name);
        wanted.push_back(setting);
    }
    if (const int status = session.Open(); status != 0) return status;
    for (const Setting* setting : wanted) {
        std::string value;
        session.ClearErrors();
        if (!setting->get(session.Camera(), &value)) {
            return session.Fail(std::string("get ") + setting->name,
                                session.FailureCode(TAVLIN_ERR_NO_DEVICE));
        }
        std::printf("%s=%s\n", setting->name, value.c_str());
    }
    return 0;
}

int SetSettings(Session& session, const std::string& assignments) {
    std::vector<std::pair<const Setting*, std::string>> changes;
    for (const std::string& assignment : Split(assignments, ',')) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            return session.Fail("'" + assignment + "' is not NAME=VALUE",
                                TAVLIN_ERR_INVALID_ARGUMENT);
        }
        const std::string name = assignment.substr(0, equals);
        const Setting* setting = FindSetting(name);
        if (setting == nullptr) return UnknownSetting(session, name);
        changes.emplace_back(setting, assignment.substr(equals + 1));
    }
    if (const int status = session.Open(); status != 0) return status;
    for (const auto& [setting, value] : changes) {
        session.ClearErrors();
        bool parsed = false;
        if (!setting->set(session.Camera(), value, &parsed)) {
            // Some setters refuse without recording why; a refused value is a bad argument.
            const int code = parsed ? session.FailureCode(TAVLIN_ERR_INVALID_ARGUMENT)
                                    : TAVLIN_ERR_INVALID_ARGUMENT;
            return session.Fail(std::string("set ") + setting->name + "=" + value + " (range " +
                                    RangeText(*setting) + ")",
                                code);
        }
    }
    return 0;
}

int ReadRegister(Session& session, const std::string& reg) {
    const auto address = ParseIndex(reg, 255);
    if (!address) {
        return session.Fail("bad sensor register '" + reg + "' (0..255)",
                            TAVLIN_ERR_INVALID_ARGUMENT);
    }
    if (const int status = session.Open(); status != 0) return status;
    int32_t ok = 0;
    const int32_t value = Tavlin_ReadRegister(session.Camera(), *address, &ok);
    if (ok != 1) {
        return session.Fail("read register " + reg, session.FailureCode(TAVLIN_ERR_IO));
    }
    std::printf("register %d = %d (0x%04X)\n", *address, value, static_cast<unsigned>(value));
    return 0;
}

int WriteRegister(Session& session, const std::string& assignment) {
    int32_t address = 0, value = 0;
    if (!ParseAssignment(assignment, 255, 0xFFFF, &address, &value)) {
        return session.Fail("bad register write '" + assignment + "' (REG=VALUE, 0..255=0..65535)",
                            TAVLIN_ERR_INVALID_ARGUMENT);
    }
    if (const int status = session.Open(); status != 0) return status;
    if (Tavlin_WriteRegister(session.Camera(), address, value) != 1) {
        return session.Fail("write register " + assignment, session.FailureCode(TAVLIN_ERR_IO));
    }
    return 0;
}

int ReadSrom(Session& session, const std::string& index) {
    const auto id = ParseIndex(index, 255);
    if (!id) {
        return session.Fail("bad SROM identification index '" + index + "' (0..255)",
                            TAVLIN_ERR_INVALID_ARGUMENT);
    }
    if (const int status = session.Open(); status != 0) return status;
    int32_t ok = 0;
    const int32_t value = Tavlin_ReadSromID(session.Camera(), *id, &ok);
    if (ok != 1) {
        return session.Fail("read SROM " + index, session.FailureCode(TAVLIN_ERR_NO_DEVICE));
    }
    std::printf("srom %d = %d (0x%02X)\n", *id, value, static_cast<unsigned>(value));
    return 0;
}

int WriteSrom(Session& session, const std::string& assignment) {
    int32_t index = 0, value = 0;
    if (!ParseAssignment(assignment, 255, 255, &index, &value)) {
        return session.Fail("bad SROM write '" + assignment + "' (INDEX=VALUE, 0..255=0..255)",
                            TAVLIN_ERR_INVALID_ARGUMENT);
    }
    if (const int status = session.Open(); status != 0) return status;
    if (Tavlin_WriteSromID(session.Camera(), index, value) != 1) {
        return session.Fail("write SROM " + assignment, session.FailureCode(TAVLIN_ERR_NO_DEVICE));
    }
    return 0;
}

}  // namespace ctl
