// One writer per file format behind SaveImageFile. Each takes a usable image of 8, 16, 24, 32,
// 48 or 64 bits per pixel and returns 1 or 0 as SaveImageFile does.
#pragma once

#include <string>

#include "output/image_buffer.h"
#include "output/sample_rows.h"

namespace tavlin::output::detail {

int WriteBmpFile(const std::string& fileName, const ImageBuffer& image);
int WriteRawFile(const std::string& fileName, const ImageBuffer& image);
int WriteJpegFile(const std::string& fileName, const ImageBuffer& image, int quality,
                  SampleScale scale);
int WritePngFile(const std::string& fileName, const ImageBuffer& image, SampleScale scale);
int WriteTiffFile(const std::string& fileName, const ImageBuffer& image, SampleScale scale);

}  // namespace tavlin::output::detail
