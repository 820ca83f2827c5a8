// Configuration files: pairs of little-endian signed 32-bit integers, no header. The list is
// replaced as a whole; the file is read before the list's lock is taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tavlin::settings {

using ConfigList = std::vector<std::pair<int32_t, int32_t>>;

// Larger files are refused rather than read into memory whole.
inline constexpr size_t kMaxConfigFileBytes = 16u * 1024 * 1024;

// Reads the file and replaces list with its pairs (1 to 7 trailing bytes are ignored). Returns
// false, leaving list as it was, when path is null, the file is missing, not a regular file,
// larger than kMaxConfigFileBytes, shorter than it claimed, or locked by another holder: the
// file is opened without sharing, as an exclusive advisory lock.
bool LoadConfigFile(const char* path, ConfigList& list, std::mutex& listLock);

enum class WideConfigLoad { Loaded, NotLoaded, PathNotConvertible };

// The UTF-16 path form: PathNotConvertible for a null or invalid path, or one whose UTF-8 form
// with its terminator needs more than 1023 bytes; otherwise as LoadConfigFile.
WideConfigLoad LoadConfigFileWide(const char16_t* path, ConfigList& list, std::mutex& listLock);

}  // namespace tavlin::settings
