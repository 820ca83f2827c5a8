// Files the SDK writes images and recordings into, opened the way the Windows code opens them:
// an existing file is truncated, a missing one is created, and nobody else may write it while it
// is open (an exclusive advisory lock stands in for share mode 0).
//
// Every write is a whole block: short writes and interruptions are retried, and a failure (disk
// full, file size limit, I/O error) is reported instead of being lost; a write past the file size
// limit does not raise SIGXFSZ at the application (FileSizeSignalGuard).
#pragma once

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavlin::platform {

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;

    // Truncates an existing regular file or creates a new one (mode 0666 less the umask). Fails
    // for folders and other non-regular files, and while another open file holds the lock.
    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }

    // Appends at the current position.
    bool Write(const void* data, size_t size);
    // Appends the parts in order with as few system calls as the kernel allows.
    bool WriteGather(const iovec* parts, size_t count);
    // Writes at an absolute offset without moving the append position.
    bool WriteAt(uint64_t offset, const void* data, size_t size);
    // Cuts the file to size and moves the append position there.
    bool Truncate(uint64_t size);
    // The append position (bytes written so far when only appends were made).
    uint64_t Position() const;

    // Allocates disk space for the bytes from `offset` to `end` without changing the file's size,
    // so writes there need not allocate as they go (a third of a large write's cost on ext4).
    // False where the file system cannot or the space is not there; writes then allocate as
    // usual. Space reserved past the end of the file is given back by Close.
    bool Reserve(uint64_t offset, uint64_t end);

    // Closes the file; false when the close itself reports an error. Harmless when closed.
    bool Close();

  private:
    int fd_ = -1;
    bool reserved_ = false;  // space may lie reserved past the end of the file
};

}  // namespace tavlin::platform
