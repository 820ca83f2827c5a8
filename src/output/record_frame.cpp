#include "output/record_frame.h"

namespace tavlin::output {

int RecordFrameConverter::Prepare(int32_t width, int32_t height) {
    if (frame_.Create(width, height, 24) == 1) return 1;
    frame_.Release();
    return 0;
}

const uint8_t* RecordFrameConverter::Convert(const ImageBuffer& image, SampleScale scale) {
    if (!frame_.Usable() || !image.Usable() || image.Width() != frame_.Width() ||
        image.Height() != frame_.Height()) {
        return nullptr;
    }
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const uint16_t bytesPerPixel = image.BytesPerPixel();
    const uint16_t bitCount = image.BitCount();
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32 && bitCount != 48 &&
        bitCount != 64) {
        return nullptr;
    }
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* src = image.Bits() + static_cast<size_t>(height - 1 - row) * image.Stride();
        uint8_t* dst = frame_.Bits() + static_cast<size_t>(row) * frame_.Stride();
        switch (bitCount) {
            case 8:
                ExpandPaletteRow(src, image.Palette(), dst, width);
                break;
            case 16:
                ReduceGrayToBgrRow(src, dst, width, scale);
                break;
            case 24:
            case 32:
                CopyBgrRow(src, bytesPerPixel, dst, width);
                break;
            default:
                ReduceBgrRow(src, bytesPerPixel, dst, width, scale);
                break;
        }
    }
    return frame_.Bits();
}

}  // namespace tavlin::output
