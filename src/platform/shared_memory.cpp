#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavlin::platform {

bool SharedMemory::OpenOrCreate(const std::string& name, size_t size) {
    Close();
    bool created = false;
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        created = true;
        // Other users of the machine share the section, whatever our umask says.
        (void)fchmod(fd, 0666);
    } else if (errno == EEXIST) {
        fd = shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
    }
    if (fd < 0) return false;

    // A creator that has not yet sized the section (or a foreign, smaller one) would make the
    // mapping fault; growing to the full size is harmless for everyone, shrinking never happens.
    struct stat info {};
    if (fstat(fd, &info) != 0 || (static_cast<size_t>(info.st_size) < size &&
                                  ftruncate(fd, static_cast<off_t>(size)) != 0)) {
        close(fd);
        return false;
    }
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) {
        close(fd);
        return false;
    }

    fd_ = fd;
    view_ = static_cast<uint8_t*>(mapped);
    size_ = size;
    created_ = created;
    return true;
}

bool SharedMemory::Lock() const {
    if (fd_ < 0) return false;
    while (flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

void SharedMemory::Unlock() const {
    if (fd_ >= 0) (void)flock(fd_, LOCK_UN);
}

void SharedMemory::Close() {
    if (view_ != nullptr) munmap(view_, size_);
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    view_ = nullptr;
    size_ = 0;
    created_ = false;
}

}  // namespace tavlin::platform
