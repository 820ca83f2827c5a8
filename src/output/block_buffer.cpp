#include "output/block_buffer.h"

#include <algorithm>
#include <memory>
#include <new>

namespace tavlin::output {

int32_t RowsPerWriteBlock(size_t rowBytes) {
    return static_cast<int32_t>(
        std::max<size_t>(1, kWriteBlockBytes / std::max<size_t>(rowBytes, 1)));
}

uint8_t* ThreadBlockBuffer(size_t bytes) {
    thread_local std::unique_ptr<uint8_t[]> buffer;
    thread_local size_t size = 0;
    if (size < bytes) {
        buffer.reset(new (std::nothrow) uint8_t[bytes]);
        size = buffer ? bytes : 0;
    }
    return buffer.get();
}

}  // namespace tavlin::output
