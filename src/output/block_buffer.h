// Scratch memory for the file writers, which convert or reorder rows a block at a time before
// writing them. Kept per thread for its next save: malloc would map a buffer of a block's size
// afresh every time, and faulting its pages in cost as much as filling them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavlin::output {

// Rows converted into one block before it is written: a handful of writes per image, each block
// still in the cache when the kernel copies it (of 0.5, 2 and 16 MB, 2 MB measured best).
constexpr size_t kWriteBlockBytes = 2 * 1024 * 1024;

// How many rows of `rowBytes` go into one block (at least one).
int32_t RowsPerWriteBlock(size_t rowBytes);

// At least `bytes` of this thread's scratch memory, or null when it cannot be had. Valid until
// the thread's next call.
uint8_t* ThreadBlockBuffer(size_t bytes);

}  // namespace tavlin::output
