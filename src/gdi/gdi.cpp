#include "gdi/gdi.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "gdi/gdi_blit.h"
#include "sensor/color_mode.h"

namespace tavlin::gdi {

struct GdiObject {
    enum class Kind { Bitmap, DeviceContext };
    explicit GdiObject(Kind objectKind) : kind(objectKind) {}
    virtual ~GdiObject() = default;
    const Kind kind;
};

struct Bitmap : GdiObject {
    Bitmap() : GdiObject(Kind::Bitmap) {}

    struct FreeMemory {
        void operator()(uint8_t* memory) const { std::free(memory); }
    };

    // Fixed at creation.
    detail::Surface surface;
    bool stock = false;
    std::unique_ptr<uint8_t, FreeMemory> pixels;
    // Guarded by the registry lock.
    std::array<RGBQUAD, 256> colors{};
    DeviceContext* selectedInto = nullptr;
};

struct DeviceContext : GdiObject {
    DeviceContext() : GdiObject(Kind::DeviceContext) {}
    std::shared_ptr<Bitmap> selected;  // guarded by the registry lock
};

namespace {

constexpr int64_t kMaxDibBytes = std::numeric_limits<int32_t>::max();

// Live objects by handle value. Lookups hand out shared ownership, so an object deleted by one
// thread stays valid for a blit another thread is running on it.
struct Registry {
    std::mutex mutex;
    std::unordered_map<const void*, std::shared_ptr<GdiObject>> live;  // by handle value
    std::shared_ptr<Bitmap> stock;
    int pendingDibFailures = 0;

    Registry() {
        // A fresh memory DC holds a 1 x 1 stock bitmap, as GDI's do; nothing draws into it.
        stock = std::make_shared<Bitmap>();
        stock->stock = true;
        stock->surface.width = 1;
        stock->surface.height = 1;
        stock->surface.bitCount = 1;
        live.emplace(stock.get(), stock);
    }

    template <class T>
    std::shared_ptr<T> Find(const void* handle, GdiObject::Kind kind) {
        const auto found = live.find(handle);
        if (found == live.end() || found->second->kind != kind) return nullptr;
        return std::static_pointer_cast<T>(found->second);
    }
    std::shared_ptr<Bitmap> FindBitmap(const void* handle) {
        return Find<Bitmap>(handle, GdiObject::Kind::Bitmap);
    }
    std::shared_ptr<DeviceContext> FindDc(const void* handle) {
        return Find<DeviceContext>(handle, GdiObject::Kind::DeviceContext);
    }
};

Registry& TheRegistry() {
    // Never destroyed: image buffers held by other static objects may be released after exit
    // has begun tearing statics down.
    static Registry* const registry = new Registry();
    return *registry;
}

bool ValidDibHeader(const BITMAPINFOHEADER& header) {
    return header.biSize == sizeof(BITMAPINFOHEADER) && header.biPlanes == 1 &&
           header.biCompression == BI_RGB && header.biWidth > 0 && header.biHeight != 0 &&
           header.biHeight != std::numeric_limits<int32_t>::min() &&
           sensor::IsImageDepth(header.biBitCount);
}

}  // namespace

int32_t DibStride(int32_t width, uint16_t bitCount) {
    if (width < 0) return -1;
    const int64_t stride = (int64_t{width} * (bitCount / 8) + 3) & ~int64_t{3};
    return stride > std::numeric_limits<int32_t>::max() ? -1 : static_cast<int32_t>(stride);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, uint32_t usage, void** bits, HANDLE section,
                         uint32_t) {
    if (bits != nullptr) *bits = nullptr;
    if (info == nullptr || bits == nullptr || usage != DIB_RGB_COLORS || section != nullptr) {
        return nullptr;
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (!ValidDibHeader(header)) return nullptr;
    const int32_t stride = DibStride(header.biWidth, header.biBitCount);
    const int64_t height = std::llabs(int64_t{header.biHeight});
    if (stride < 0 || height * stride > kMaxDibBytes) return nullptr;

    Registry& registry = TheRegistry();
    {
        std::lock_guard<std::mutex> guard(registry.mutex);
        if (registry.pendingDibFailures > 0) {
            --registry.pendingDibFailures;
            return nullptr;
        }
    }
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->pixels.reset(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(height), stride)));
    if (!bitmap->pixels) return nullptr;
    bitmap->surface = {
        bitmap->pixels.get(), header.biWidth,     static_cast<int32_t>(height), stride,
        header.biBitCount,    header.biHeight < 0};
    std::memcpy(bitmap->colors.data(), info->bmiColors, sizeof(info->bmiColors));

    std::lock_guard<std::mutex> guard(registry.mutex);
    registry.live.emplace(bitmap.get(), bitmap);
    *bits = bitmap->pixels.get();
    return bitmap.get();
}

HDC CreateCompatibleDC(HDC) {
    Registry& registry = TheRegistry();
    auto dc = std::make_shared<DeviceContext>();
    std::lock_guard<std::mutex> guard(registry.mutex);
    dc->selected = registry.stock;
    registry.live.emplace(dc.get(), dc);
    return dc.get();
}

HGDIOBJ SelectObject(HDC dcHandle, HGDIOBJ object) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto dc = registry.FindDc(dcHandle);
    auto bitmap = registry.FindBitmap(object);
    if (!dc || !bitmap) return nullptr;
    // A bitmap lives in at most one DC at a time; the stock one may be shared.
    if (!bitmap->stock && bitmap->selectedInto != nullptr && bitmap->selectedInto != dc.get()) {
        return nullptr;
    }
    std::shared_ptr<Bitmap> previous = std::move(dc->selected);
    if (previous && !previous->stock) previous->selectedInto = nullptr;
    if (!bitmap->stock) bitmap->selectedInto = dc.get();
    dc->selected = std::move(bitmap);
    return previous.get();
}

int DeleteObject(HGDIOBJ object) {
    Registry& registry = TheRegistry();
    std::shared_ptr<Bitmap> doomed;  // freed after the lock is left
    std::lock_guard<std::mutex> guard(registry.mutex);
    doomed = registry.FindBitmap(object);
    if (!doomed || doomed->selectedInto != nullptr) return 0;
    if (!doomed->stock) registry.live.erase(doomed.get());
    return 1;
}

int DeleteDC(HDC dcHandle) {
    Registry& registry = TheRegistry();
    std::shared_ptr<DeviceContext> doomed;
    std::lock_guard<std::mutex> guard(registry.mutex);
    doomed = registry.FindDc(dcHandle);
    if (!doomed) return 0;
    if (doomed->selected && !doomed->selected->stock) doomed->selected->selectedInto = nullptr;
    doomed->selected.reset();
    registry.live.erase(doomed.get());
    return 1;
}

uint32_t SetDIBColorTable(HDC dcHandle, uint32_t start, uint32_t count, const RGBQUAD* colors) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto dc = registry.FindDc(dcHandle);
    if (!dc || colors == nullptr || start >= 256) return 0;
    Bitmap& bitmap = *dc->selected;
    if (bitmap.stock || bitmap.surface.bitCount != 8) return 0;
    const uint32_t n = std::min<uint32_t>(count, 256 - start);
    std::copy(colors, colors + n, bitmap.colors.begin() + start);
    return n;
}

int StretchBlt(HDC dst, int32_t dstX, int32_t dstY, int32_t dstWidth, int32_t dstHeight, HDC src,
               int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight, uint32_t rop) {
    if (rop != SRCCOPY) return 0;
    std::shared_ptr<Bitmap> target;
    std::shared_ptr<Bitmap> source;
    std::array<RGBQUAD, 256> palette{};
    {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> guard(registry.mutex);
        auto dstDc = registry.FindDc(dst);
        auto srcDc = registry.FindDc(src);
        if (!dstDc || !srcDc) return 0;
        target = dstDc->selected;
        source = srcDc->selected;
        if (target->stock || source->stock) return 0;
        // Snapshot the colour table so a concurrent SetDIBColorTable cannot tear it.
        if (source->surface.bitCount == 8 && target->surface.bitCount != 8) {
            palette = source->colors;
            for (RGBQUAD& entry : palette) entry.rgbReserved = 0;  // expanded pixels carry 0
        }
    }
    return detail::SoftwareStretch(target->surface, {dstX, dstWidth}, {dstY, dstHeight},
                                   source->surface, {srcX, srcWidth}, {srcY, srcHeight},
                                   palette.data());
}

int BitBlt(HDC dst, int32_t dstX, int32_t dstY, int32_t width, int32_t height, HDC src,
           int32_t srcX, int32_t srcY, uint32_t rop) {
    return StretchBlt(dst, dstX, dstY, width, height, src, srcX, srcY, width, height, rop);
}

bool DescribeDib(HBITMAP handle, DibDescription* description) {
    if (description == nullptr) return false;
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto bitmap = registry.FindBitmap(handle);
    if (!bitmap || bitmap->stock) return false;
    const detail::Surface& surface = bitmap->surface;
    *description = {surface.width,  surface.height,  surface.bitCount,
                    surface.stride, surface.topDown, surface.bits};
    return true;
}

HBITMAP GetSelectedBitmap(HDC dcHandle) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto dc = registry.FindDc(dcHandle);
    return dc ? dc->selected.get() : nullptr;
}

void InjectDibSectionFailures(int count) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    registry.pendingDibFailures = std::max(0, count);
}

}  // namespace tavlin::gdi
