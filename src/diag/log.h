// Diagnostic logging, off unless asked for (docs/logging.md). The lowest layer: it stands on
// nothing, so every layer may log.
//
// A statement costs one relaxed atomic load while its category and level are off:
//     TAVLIN_LOG(Transfer, Warn, "short read: %d of %d bytes", got, wanted);
// The message names the camera of the calling thread (CameraScope), or TAVLIN_LOG_CAM names one.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavlin::diag {

enum class Category : uint8_t {
    Device,
    Transfer,
    Usb,
    Vcam,
    Daemon,
    Camera,
    Imaging,
    Output,
    Settings,
    Dialogs,
    Count
};

// Numbered as the C interface numbers them (TAVLIN_EXT_LOG_*); a category logs a level when the
// level is at or below its threshold, so Off logs nothing.
enum class Level : uint8_t { Off, Error, Warn, Info, Debug, Trace };

inline constexpr size_t kCategoryCount = static_cast<size_t>(Category::Count);
inline constexpr int32_t kNoCamera = 0;

const char* CategoryName(Category category);
const char* LevelName(Level level);

// One threshold per category.
struct Levels {
    Level of[kCategoryCount] = {};
};

// Parses "*:warn,transfer:debug": comma-separated items "<category|*>:<level>", applied left to
// right over `levels` (a later item wins). Spaces around names are allowed; empty items are
// skipped. Returns false when an item does not parse; `problems` then lists every such item
// and the good items are still applied.
bool ParseLevels(std::string_view text, Levels& levels, std::string& problems);

namespace detail {
// Bits 0..29: the highest threshold of any output per category (3 bits each); bit 63: the
// environment has been read.
inline constexpr int kBitsPerCategory = 3;
inline constexpr uint64_t kCategoryMask = 7;
inline constexpr uint64_t kConfiguredBit = uint64_t{1} << 63;
extern std::atomic<uint64_t> gThresholds;
uint64_t Configure();  // reads the environment once, thread-safe; gives the thresholds
}  // namespace detail

#ifdef TAVLIN_LOG_COMPILED_OUT
// Every statement compiled out: the baseline the benchmarks compare the real check with.
inline constexpr bool On(Category, Level) {
    return false;
}
#else
inline bool On(Category category, Level level) {
    uint64_t thresholds = detail::gThresholds.load(std::memory_order_relaxed);
    if ((thresholds & detail::kConfiguredBit) == 0) [[unlikely]]
        thresholds = detail::Configure();
    const auto shift = static_cast<unsigned>(category) * detail::kBitsPerCategory;
    return static_cast<uint64_t>(level) <= ((thresholds >> shift) & detail::kCategoryMask);
}
#endif

// Formats and delivers one message (to the file or stderr, and to the callback) for the levels
// each wants. Call behind On(); `camera` 0 means the calling thread's camera.
[[gnu::format(printf, 4, 5)]] void Write(Category category, Level level, int32_t camera,
                                         const char* format, ...);

// Where a function was called from, given as a defaulted last argument (`Where where = {}`): the
// caller's function, file and line, for messages that name the place a failure was reported.
struct Where {
    constexpr Where(const char* functionName = __builtin_FUNCTION(),
                    const char* fileName = __builtin_FILE(), int lineNumber = __builtin_LINE())
        : function(functionName), file(fileName), line(lineNumber) {}
    const char* function;
    const char* file;
    int line;
};

// The camera the calling thread works for, named in its messages; threads started through
// platform::WorkerThread inherit their starter's.
int32_t CurrentCamera();
class CameraScope {
  public:
    explicit CameraScope(int32_t camera);
    ~CameraScope();
    CameraScope(const CameraScope&) = delete;
    CameraScope& operator=(const CameraScope&) = delete;

  private:
    int32_t previous_;
};

// The levels of the file or stderr output, as TAVLIN_LOG_LEVELS spells them; replaces the
// environment's. Returns false and changes nothing when the text does not parse. Null or empty
// turns that output off.
bool SetLevels(const char* text);

// The callback output: every category at `maximum` and below (Off: none). Null removes it; once
// this returns, the previous callback is not called again. Refused (false) from inside the
// callback, which would wait for itself.
using Callback = void (*)(void* context, int32_t level, const char* category, int32_t camera,
                          int64_t timestampNs, const char* message);
bool SetCallback(Callback callback, void* context, Level maximum);

// Applies a TAVLIN_LOG_LEVELS / TAVLIN_LOG_FILE pair as the first use does with the
// environment (null: unset), writing at most one warning line to `warningFd`. For tests; the
// library reads the environment by itself.
void ConfigureFrom(const char* levels, const char* file, int warningFd);

// The line written for one message, without the newline (the format docs/logging.md describes).
std::string FormatLine(Category category, Level level, int64_t timestampNs, int32_t camera,
                       std::string_view message);

}  // namespace tavlin::diag

#define TAVLIN_LOG_CAM(category, level, camera, ...)                                              \
    do {                                                                                          \
        if (::tavlin::diag::On(::tavlin::diag::Category::category, ::tavlin::diag::Level::level)) \
            ::tavlin::diag::Write(::tavlin::diag::Category::category,                             \
                                  ::tavlin::diag::Level::level, camera, __VA_ARGS__);             \
    } while (0)

#define TAVLIN_LOG(category, level, ...) TAVLIN_LOG_CAM(category, level, 0, __VA_ARGS__)
