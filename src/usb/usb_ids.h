// The id list: which vendor:product pairs are taken for cameras. A system file and an
// environment variable, merged; entries that do not parse are passed over with a warning.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlin::usb {

struct UsbId {
    uint16_t vendor = 0;
    uint16_t product = 0;
    auto operator<=>(const UsbId&) const = default;
};

struct IdList {
    std::vector<UsbId> ids;             // sorted, without repeats
    std::vector<std::string> warnings;  // "<source>: ..." for each entry passed over

    bool Contains(uint16_t vendor, uint16_t product) const;
    bool operator==(const IdList& other) const { return ids == other.ids; }
};

// "vvvv:pppp", hexadecimal, one to four digits each side.
std::optional<UsbId> ParseUsbId(std::string_view text);

// The file's lines: one id each, '#' starts a comment, blank lines are allowed.
void AddIdFile(IdList& list, std::string_view text, std::string_view source);
// The variable's comma-separated ids.
void AddIdVariable(IdList& list, std::string_view text, std::string_view source);

// The file at TAVLIN_USB_IDS_FILE (else the system file) together with TAVLIN_USB_IDS.
IdList LoadIdList();

std::string SystemIdFile();

// The id list installed with a library found in `libraryFolder` (symbolic links resolved):
// <prefix>/etc/tavlin/usb-ids when the folder is <prefix>/<libdir>, /etc/tavlin/usb-ids for the
// prefix /usr; nothing when the folder is not an install's library folder.
std::optional<std::string> IdFileBesideLibrary(std::string_view libraryFolder,
                                               std::string_view libdir);

}  // namespace tavlin::usb
