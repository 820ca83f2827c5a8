#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

namespace tavlin::platform {

namespace {

// Closes a descriptor on scope exit.
class FdGuard {
  public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }
    // Closes now and reports the close's own error, which on NFS can carry a lost write.
    int CloseChecked() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        data.remove_prefix(static_cast<size_t>(written));
    }
    return 0;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The rename is already visible; a folder that cannot be synced only weakens durability.
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

FileLock::FileLock(const std::string& lockPath, Mode mode, std::chrono::milliseconds timeout) {
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) fd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        status_ = Status::CannotOpen;
        return;
    }
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // Waits double from a short first pause up to a longest one.
    constexpr std::chrono::microseconds firstPause(200);
    constexpr std::chrono::microseconds longestPause(10000);
    auto pause = firstPause;
    while (true) {
        if (::flock(fd_, operation) == 0) {
            status_ = Status::Locked;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            status_ = Status::TimedOut;
            return;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, longestPause);
    }
    status_ = Status::CannotOpen;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the lock
}

ReadStatus ReadWholeFile(const std::string& path, size_t maxBytes, std::string& contents) {
    contents.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Unreadable;
    FdGuard guard(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return ReadStatus::Unreadable;
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) return ReadStatus::TooLarge;
    std::vector<char> buffer(64 * 1024);
    while (true) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return ReadStatus::Unreadable;
        }
        if (got == 0) return ReadStatus::Ok;
        if (contents.size() + static_cast<size_t>(got) > maxBytes) return ReadStatus::TooLarge;
        contents.append(buffer.data(), static_cast<size_t>(got));
    }
}

int CreateDirectories(const std::string& path, mode_t mode) {
    if (path.empty()) return 0;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (const int error = CreateDirectories(path.substr(0, slash), mode); error != 0) {
            return error;
        }
    }
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return errno;
    return 0;
}

int ReplaceFileAtomically(const std::string& path, std::string_view data,
                          std::string_view tempPrefix) {
    const std::string folder = FolderOf(path);
    std::string tempPath = folder + "/" + std::string(tempPrefix) + "XXXXXX";
    const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    FdGuard guard(fd);
    int error = WriteAll(fd, data);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (error == 0) error = guard.CloseChecked();
    if (error == 0 && ::rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return error;
    }
    SyncFolder(folder);
    return 0;
}

void RemoveStaleTemporaries(const std::string& folder, std::string_view tempPrefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() > tempPrefix.size() && name.substr(0, tempPrefix.size()) == tempPrefix) {
            stale.emplace_back(name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : stale) ::unlink((folder + "/" + name).c_str());
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace tavlin::platform
