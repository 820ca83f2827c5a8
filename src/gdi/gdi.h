// A small software GDI: device-independent bitmap sections in plain memory, memory device
// contexts with a selected bitmap, colour tables and SRCCOPY blits. Image code keeps the Windows
// shapes (bottom-up DIBs, GDI's top-down coordinates, negative extents mirror) so the same
// flips and copies land the same way here.
//
// Handles are checked against a registry of live objects: a stale or foreign handle makes a call
// fail with 0 instead of touching freed memory. All calls are thread-safe; pixel copies run
// outside the registry lock, with the bitmaps kept alive for the duration of the call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavlin::gdi {

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;  // positive: bottom-up rows; negative: top-down
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct RGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};

// Header followed by a full 256-entry colour table.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};
#pragma pack(pop)

static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must be 40 bytes");
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD must be 4 bytes");
static_assert(sizeof(BITMAPINFO) == 40 + 256 * 4, "colour table must follow the header");

inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t DIB_RGB_COLORS = 0;
inline constexpr uint32_t SRCCOPY = 0x00CC0020;

struct DeviceContext;
struct Bitmap;
using HGDIOBJ = void*;  // any GDI object handle, checked against the live objects
using HDC = DeviceContext*;
using HBITMAP = Bitmap*;
using HANDLE = void*;

// A DIB section of 8, 16, 24, 32, 48 or 64 bits per pixel with zeroed pixels, rows padded to
// 4 bytes. Only DIB_RGB_COLORS and BI_RGB, no file-mapping section. For 8-bit bitmaps the colour
// table is taken from info->bmiColors. Returns null (and *bits = null) on failure.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, uint32_t usage, void** bits,
                         HANDLE section, uint32_t offset);

// A memory device context, with a 1 x 1 stock bitmap selected until another one is.
HDC CreateCompatibleDC(HDC dc);

// Selects a bitmap into a memory DC and returns the one it replaces, or null when the handles are
// not live or the bitmap is selected into another DC.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

// Deletes a bitmap. Fails (0) while it is selected into a DC. Stock objects are never deleted.
int DeleteObject(HGDIOBJ object);

// Deletes a memory DC; its selected bitmap stays alive and becomes free for another DC.
int DeleteDC(HDC dc);

// Sets colour-table entries of the 8-bit bitmap selected into dc; returns the count set.
uint32_t SetDIBColorTable(HDC dc, uint32_t start, uint32_t count, const RGBQUAD* colors);

// Copies with GDI coordinates (y grows downwards) between the bitmaps selected into two DCs.
// Negative widths or heights of one side (not both) mirror. Sizes that differ stretch by
// nearest neighbour. Equal depths copy; 8-bit sources expand through their colour table to 24-
// or 32-bit destinations; 24 and 32 bits convert into each other. Only SRCCOPY. Pixels outside
// either bitmap are skipped. Returns 1, or 0 for bad handles, depths or raster operations.
int StretchBlt(HDC dst, int32_t dstX, int32_t dstY, int32_t dstWidth, int32_t dstHeight, HDC src,
               int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight, uint32_t rop);
int BitBlt(HDC dst, int32_t dstX, int32_t dstY, int32_t width, int32_t height, HDC src,
           int32_t srcX, int32_t srcY, uint32_t rop);

// What a DIB section looks like in memory, for code that reads surfaces back.
struct DibDescription {
    int32_t width = 0;
    int32_t height = 0;  // always positive
    uint16_t bitCount = 0;
    int32_t stride = 0;
    bool topDown = false;
    uint8_t* bits = nullptr;
};

bool DescribeDib(HBITMAP bitmap, DibDescription* description);

// The bitmap currently selected into dc (the stock bitmap for a fresh DC), or null.
HBITMAP GetSelectedBitmap(HDC dc);

// Row stride of a DIB: bytes per row padded to a multiple of 4, or -1 when it overflows int32.
int32_t DibStride(int32_t width, uint16_t bitCount);

// Fault injection: the next `count` DIB section creations fail as if memory ran out.
void InjectDibSectionFailures(int count);

}  // namespace tavlin::gdi
