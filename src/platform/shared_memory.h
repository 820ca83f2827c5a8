// A named machine-wide shared memory section (POSIX shm), the stand-in for a named file mapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavlin::platform {

class SharedMemory {
  public:
    SharedMemory() = default;
    ~SharedMemory() { Close(); }
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    // Opens the section (name starts with '/'), creating it with `size` bytes if it does not
    // exist. Exactly one opener ever sees Created() true: creation uses O_EXCL. Returns false
    // when the section can be neither opened nor created, or is smaller than `size` and cannot
    // be grown.
    bool OpenOrCreate(const std::string& name, size_t size);
    void Close();

    // Machine-wide exclusive lock on the section (flock on its object), for check-then-write
    // steps other processes must not interleave with. The kernel drops it if the holder dies.
    // False when the section is closed or the lock cannot be had.
    bool Lock() const;
    void Unlock() const;

    uint8_t* View() const { return view_; }
    size_t Size() const { return size_; }
    bool Created() const { return created_; }

  private:
    int fd_ = -1;  // kept open for Lock()
    uint8_t* view_ = nullptr;
    size_t size_ = 0;
    bool created_ = false;
};

}  // namespace tavlin::platform
