#include "settings/config_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string_view>

#include "platform/text_convert.h"

namespace tavlin::settings {

namespace {

constexpr size_t kPairBytes = 8;
constexpr size_t kMaxNarrowPathBytes = 1023;  // including the terminator

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// The whole file, or nothing when it cannot be read as a whole.
std::optional<std::vector<unsigned char>> ReadUnshared(const char* path) {
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below as not a regular file.
    FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return std::nullopt;
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    const auto size = static_cast<unsigned long long>(info.st_size);
    if (size > kMaxConfigFileBytes) return std::nullopt;
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        // A file that shrank under us is treated as unreadable.
        if (got <= 0) return std::nullopt;
        done += static_cast<size_t>(got);
    }
    return bytes;
}

int32_t LittleEndianInt32(const unsigned char* bytes) {
    const uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                           static_cast<uint32_t>(bytes[2]) << 16 |
                           static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int32_t>(value);
}

}  // namespace

bool LoadConfigFile(const char* path, ConfigList& list, std::mutex& listLock) {
    if (path == nullptr) return false;
    const std::optional<std::vector<unsigned char>> bytes = ReadUnshared(path);
    if (!bytes) return false;
    ConfigList pairs;
    pairs.reserve(bytes->size() / kPairBytes);
    for (size_t offset = 0; offset + kPairBytes <= bytes->size(); offset += kPairBytes) {
        pairs.emplace_back(LittleEndianInt32(bytes->data() + offset),
                           LittleEndianInt32(bytes->data() + offset + 4));
    }
    std::lock_guard<std::mutex> guard(listLock);
    list.swap(pairs);
    return true;
}

WideConfigLoad LoadConfigFileWide(const char16_t* path, ConfigList& list, std::mutex& listLock) {
    if (path == nullptr) return WideConfigLoad::PathNotConvertible;
    // Every UTF-16 unit needs at least one UTF-8 byte, so a longer string cannot fit anyway.
    const std::optional<std::u16string_view> wide =
        platform::BoundedWideString(path, kMaxNarrowPathBytes - 1);
    if (!wide) return WideConfigLoad::PathNotConvertible;
    const std::optional<std::string> narrow = platform::Utf16ToUtf8(*wide);
    if (!narrow || narrow->size() + 1 > kMaxNarrowPathBytes) {
        return WideConfigLoad::PathNotConvertible;
    }
    return LoadConfigFile(narrow->c_str(), list, listLock) ? WideConfigLoad::Loaded
                                                           : WideConfigLoad::NotLoaded;
}

}  // namespace tavlin::settings
