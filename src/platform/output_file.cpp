#include "platform/output_file.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "diag/log.h"
#include "platform/file_size_signal.h"

namespace tavlin::platform {

namespace {

// Opens without blocking (a FIFO would otherwise wait for a reader), then insists on a regular
// file holding no other lock.
int OpenLocked(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) return -1;
    struct stat status {};
    const bool usable = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
    if (!usable) {
        const int error = errno;
        ::close(fd);
        errno = error == ENOENT ? EIO : error;  // ENOENT means "create it" to the caller
        return -1;
    }
    return fd;
}

}  // namespace

OutputFile::~OutputFile() {
    Close();
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), reserved_(std::exchange(other.reserved_, false)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        reserved_ = std::exchange(other.reserved_, false);
    }
    return *this;
}

bool OutputFile::Open(const std::string& path) {
    Close();
    if (path.empty()) return false;
    int fd = OpenLocked(path, 0);
    if (fd >= 0) {
        // Truncated only once the lock is ours, so a file another writer holds stays intact.
        if (::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return false;
        }
    } else if (errno == ENOENT) {
        fd = OpenLocked(path, O_CREAT | O_EXCL);
    }
    fd_ = fd;
    return fd_ >= 0;
}

bool OutputFile::Write(const void* data, size_t size) {
    const iovec part{const_cast<void*>(data), size};
    return WriteGather(&part, 1);
}

bool OutputFile::WriteGather(const iovec* parts, size_t count) {
    if (fd_ < 0) return false;
    const FileSizeSignalGuard sizeLimit;
    // Batches go through a copy on the stack, where a part written halfway keeps its remainder.
    constexpr size_t kBatch = IOV_MAX;
    iovec batch[kBatch];
    size_t next = 0;  // first part not yet in a batch
    size_t first = 0, end = 0;
    while (true) {
        while (first < end && batch[first].iov_len == 0) ++first;
        if (first == end) {
            if (next == count) return true;
            first = 0;
            end = std::min(kBatch, count - next);
            std::copy_n(parts + next, end, batch);
            next += end;
            continue;
        }
        const ssize_t written = ::writev(fd_, batch + first, static_cast<int>(end - first));
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) return false;
        auto left = static_cast<size_t>(written);
        for (size_t i = first; left > 0; ++i) {
            const size_t taken = std::min(left, batch[i].iov_len);
            batch[i].iov_base = static_cast<uint8_t*>(batch[i].iov_base) + taken;
            batch[i].iov_len -= taken;
            left -= taken;
        }
    }
}

bool OutputFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (fd_ < 0) return false;
    const FileSizeSignalGuard sizeLimit;
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<size_t>(written);
        offset += static_cast<uint64_t>(written);
    }
    return true;
}

bool OutputFile::Truncate(uint64_t size) {
    if (fd_ < 0) return false;
    const FileSizeSignalGuard sizeLimit;
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 &&
           ::lseek(fd_, static_cast<off_t>(size), SEEK_SET) >= 0;
}

uint64_t OutputFile::Position() const {
    if (fd_ < 0) return 0;
    const off_t position = ::lseek(fd_, 0, SEEK_CUR);
    return position < 0 ? 0 : static_cast<uint64_t>(position);
}

bool OutputFile::Reserve(uint64_t offset, uint64_t end) {
    if (fd_ < 0 || end <= offset) return false;
    const FileSizeSignalGuard sizeLimit;
    // Even a failed attempt may leave blocks allocated past the end, so Close trims either way.
    reserved_ = true;
    return ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                       static_cast<off_t>(end - offset)) == 0;
}

bool OutputFile::Close() {
    if (fd_ < 0) return true;
    const int fd = std::exchange(fd_, -1);
    if (std::exchange(reserved_, false)) {
        // Cutting the file at its own size frees what was reserved past its end. Best effort: the
        // file's contents are whole either way.
        struct stat status {};
        if (::fstat(fd, &status) == 0) {
            const FileSizeSignalGuard sizeLimit;
            if (::ftruncate(fd, status.st_size) != 0) {
                TAVLIN_LOG(Output, Debug, "reserved space past the end of a file not freed: %s",
                           std::strerror(errno));
            }
        }
    }
    return ::close(fd) == 0;
}

}  // namespace tavlin::platform
