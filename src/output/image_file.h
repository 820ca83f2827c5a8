// Saving an image buffer as a file: BMP, a raw dump of the pixel memory, progressive JPEG at three
// qualities, PNG or TIFF, chosen by a format code (never by the file name). Each of the six pixel
// formats is adapted to what the file format holds; the image's first memory row is the top row
// of the picture in every file.
//
// The caller copies the image under its own lock and saves the copy after leaving it; the writer
// only reads the buffer. Safe to call from several threads on different buffers.
#pragma once

#include <string>

#include "output/image_buffer.h"

namespace tavlin::output {

enum ImageFileFormat : int {
    kFileBmp = 0,
    kFileRaw = 1,
    kFileJpeg100 = 2,
    kFileJpeg70 = 3,
    kFileJpeg20 = 4,
    kFilePng = 5,
    kFileTiff = 6,
};

// Copies the image (format and pixels; an 8-bit copy has the gray ramp, the one colour table of
// this system's images) into `copy`, so the owner can leave its frame lock before the slow
// encoding. Returns 1, or 0 (copy left empty) for an unusable image or no memory.
int SnapshotImage(const ImageBuffer& image, ImageBuffer& copy);

// Writes `image` to `fileName` (UTF-8) in format 0..6. Samples of 16-bit images carry
// `significantBits` (8..16; the camera's are 10). An existing file is replaced, a missing one
// created. Returns 1 when the whole file was written, 0 for an unknown format code (nothing
// written), an unusable image, a file that cannot be opened, or a failed write (disk full, size
// limit), which leaves the partial file in place. Prints nothing except libpng's error line
// ("libpng error: <message>") on standard error.
int SaveImageFile(const std::string& fileName, const ImageBuffer& image, int formatCode,
                  int significantBits);

}  // namespace tavlin::output
