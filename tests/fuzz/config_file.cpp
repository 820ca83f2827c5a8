// The configuration-file loader on arbitrary file contents and arbitrary UTF-16 paths.
//   byte 0 even: the rest is the file's contents; the pairs read must be exactly its
//                little-endian words, trailing bytes ignored.
//   byte 0 odd:  the rest is a UTF-16LE file name inside a scratch folder; the wide loader must
//                refuse exactly the names that are not valid UTF-16 or too long once in UTF-8.
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "settings/config_file.h"

namespace {

using tavlin::fuzz::InputReader;
using tavlin::settings::ConfigList;

// Every configuration file lands in one memory-backed file, reached by its /proc path.
int ContentsFile() {
    static const int fd = ::memfd_create("fuzz-config", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    return fd;
}

void LoadContents(std::span<const uint8_t> contents) {
    const int fd = ContentsFile();
    FUZZ_CHECK(::ftruncate(fd, 0) == 0);
    FUZZ_CHECK(::pwrite(fd, contents.data(), contents.size(), 0) ==
               static_cast<ssize_t>(contents.size()));
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    ConfigList list{{1, 2}};
    std::mutex lock;
    FUZZ_CHECK(tavlin::settings::LoadConfigFile(path.c_str(), list, lock));
    FUZZ_CHECK(list.size() == contents.size() / 8);
    for (size_t i = 0; i < list.size(); ++i) {
        int32_t expected[2];
        std::memcpy(expected, contents.data() + 8 * i, sizeof expected);  // host is little-endian
        FUZZ_CHECK(list[i].first == expected[0] && list[i].second == expected[1]);
    }
}

// UTF-8 bytes of a UTF-16 string, or -1 when it holds an unpaired surrogate.
long Utf8Length(const std::u16string& text) {
    long bytes = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return -1;
            ++i;
            bytes += 4;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return -1;
        } else {
            bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        }
    }
    return bytes;
}

void LoadWidePath(std::span<const uint8_t> nameBytes) {
    const std::string folder = tavlin::fuzz::ScratchFolder().string() + "/";
    std::u16string name;
    for (size_t i = 0; i + 1 < nameBytes.size(); i += 2) {
        name += static_cast<char16_t>(nameBytes[i] | (nameBytes[i + 1] << 8));
    }
    // The loader sees the name up to its first terminator, in a buffer of exactly that size.
    std::u16string path(folder.begin(), folder.end());
    path += name.substr(0, name.find(u'\0'));
    const std::vector<char16_t> buffer(path.c_str(), path.c_str() + path.size() + 1);

    ConfigList list{{1, 2}};
    std::mutex lock;
    const auto result = tavlin::settings::LoadConfigFileWide(buffer.data(), list, lock);
    const long narrow = Utf8Length(path);
    const bool convertible = narrow >= 0 && narrow + 1 <= 1023;
    FUZZ_CHECK((result == tavlin::settings::WideConfigLoad::PathNotConvertible) == !convertible);
    // The scratch folder is empty, but "../" may reach real files; only a load changes the list.
    if (result != tavlin::settings::WideConfigLoad::Loaded)
        FUZZ_CHECK(list == ConfigList({{1, 2}}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const uint8_t mode = input.Byte();
    if (mode % 2 == 0) {
        LoadContents(input.Rest());
    } else {
        LoadWidePath(input.Rest());
    }
    return 0;
}
