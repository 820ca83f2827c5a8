#include "vcam/raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "vcam/unix_socket.h"

namespace tavlin::vcam {

std::optional<std::vector<uint8_t>> ReadRegularFile(const char* path) {
    // Non-blocking, so that opening a FIFO returns at once; it is then refused below.
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid()) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::vector<uint8_t> data(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd.Get(), data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;  // an error, or the file shrank while being read
        done += static_cast<size_t>(n);
    }
    return data;
}

}  // namespace tavlin::vcam
