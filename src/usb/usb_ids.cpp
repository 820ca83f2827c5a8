#include "usb/usb_ids.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/ascii_hex.h"

#ifndef TAVLIN_USB_IDS_FILE_DEFAULT
#define TAVLIN_USB_IDS_FILE_DEFAULT "/etc/tavlin/usb-ids"
#endif

namespace tavlin::usb {

namespace {

constexpr std::string_view kSpace = " \t\r\n";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kSpace);
    return text.substr(first, last - first + 1);
}

std::optional<uint16_t> ParseHex16(std::string_view text) {
    const auto value = platform::ParseHexDigits(text, 4);
    if (!value) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

void AddEntry(IdList& list, std::string_view entry, const std::string& where) {
    if (const auto id = ParseUsbId(entry)) {
        const auto at = std::lower_bound(list.ids.begin(), list.ids.end(), *id);
        if (at == list.ids.end() || *at != *id) list.ids.insert(at, *id);
        return;
    }
    list.warnings.push_back(where + ": \"" + std::string(entry) +
                            "\" is not vvvv:pppp (hexadecimal vendor and product), passed over");
}

// 0, or the errno that stopped the read.
int ReadSmallFile(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    ::close(fd);
    return error;
}

}  // namespace

bool IdList::Contains(uint16_t vendor, uint16_t product) const {
    return std::binary_search(ids.begin(), ids.end(), UsbId{vendor, product});
}

std::optional<UsbId> ParseUsbId(std::string_view text) {
    text = Trim(text);
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto vendor = ParseHex16(text.substr(0, colon));
    const auto product = ParseHex16(text.substr(colon + 1));
    if (!vendor || !product) return std::nullopt;
    return UsbId{*vendor, *product};
}

void AddIdFile(IdList& list, std::string_view text, std::string_view source) {
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        line = Trim(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        AddEntry(list, line, std::string(source) + " line " + std::to_string(lineNumber));
    }
}

void AddIdVariable(IdList& list, std::string_view text, std::string_view source) {
    while (!text.empty()) {
        const auto end = text.find(',');
        const std::string_view item = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        // "a,,b" and a trailing comma are harmless.
        if (!item.empty()) AddEntry(list, item, std::string(source));
    }
}

std::optional<std::string> IdFileBesideLibrary(std::string_view libraryFolder,
                                               std::string_view libdir) {
    if (libdir.empty() || libraryFolder.size() <= libdir.size() + 1) return std::nullopt;
    const std::string_view tail = libraryFolder.substr(libraryFolder.size() - libdir.size() - 1);
    if (tail[0] != '/' || tail.substr(1) != libdir) return std::nullopt;
    const std::string_view prefix = libraryFolder.substr(0, libraryFolder.size() - tail.size());
    return (prefix == "/usr" ? std::string() : std::string(prefix)) + "/etc/tavlin/usb-ids";
}

std::string SystemIdFile() {
#ifdef TAVLIN_INSTALL_LIBDIR
    // The shared library reads the list installed with it, so a tree installed into any prefix
    // uses its own list. Programs linking the layers statically (tests, the daemon), or a
    // library outside <prefix>/<libdir>, keep the configured path.
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&SystemIdFile), &info) != 0 && info.dli_fname != nullptr) {
        const std::string file = info.dli_fname;
        const auto slash = file.rfind('/');
        char resolved[PATH_MAX];
        if (slash != std::string::npos && slash > 0 &&
            ::realpath(file.substr(0, slash).c_str(), resolved) != nullptr) {
            if (auto beside = IdFileBesideLibrary(resolved, TAVLIN_INSTALL_LIBDIR)) return *beside;
        }
    }
#endif
    return TAVLIN_USB_IDS_FILE_DEFAULT;
}

IdList LoadIdList() {
    IdList list;
    const char* fileOverride = std::getenv("TAVLIN_USB_IDS_FILE");
    const std::string path = fileOverride != nullptr ? fileOverride : SystemIdFile();
    if (!path.empty()) {
        std::string text;
        const int error = ReadSmallFile(path, text);
        if (error == 0) {
            AddIdFile(list, text, path);
        } else if (error != ENOENT) {
            // A missing file is the usual case (no cameras listed); an unreadable one is not.
            list.warnings.push_back(path + ": cannot be read (" + std::strerror(error) + ")");
        }
    }
    if (const char* variable = std::getenv("TAVLIN_USB_IDS")) {
        AddIdVariable(list, variable, "TAVLIN_USB_IDS");
    }
    return list;
}

}  // namespace tavlin::usb
