// The SDK's image file formats by name and by file name extension.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ctl {

// "bmp", "raw", "jpg100", "jpg70", "jpg20", "png", "tiff" (also "jpg" for quality 100, "tif"
// and the codes 0..6) to the SDK's format code.
std::optional<int32_t> ParseFileFormat(const std::string& name);

// The format a file name's extension implies: .bmp .raw .jpg/.jpeg (quality 100) .png .tif/.tiff.
std::optional<int32_t> FormatFromFileName(const std::string& path);

const char* FileFormatName(int32_t code);

// Every name ParseFileFormat takes (the codes aside).
std::vector<std::string> FileFormatNames();

}  // namespace ctl
