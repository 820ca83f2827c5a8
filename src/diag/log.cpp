#include "diag/log.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <shared_mutex>

namespace tavlin::diag {

namespace detail {
std::atomic<uint64_t> gThresholds{0};
}  // namespace detail

namespace {

constexpr std::array<const char*, kCategoryCount> kCategoryNames = {
    "device", "transfer", "usb",    "vcam",     "daemon",
    "camera", "imaging",  "output", "settings", "dialogs"};
constexpr std::array<const char*, 6> kLevelNames = {"off",  "error", "warn",
                                                    "info", "debug", "trace"};
constexpr int kStderr = 2;
constexpr int64_t kNsPerSecond = 1000000000;
constexpr size_t kMessageBytes = 1024;
constexpr mode_t kLogFileMode = 0644;

// Guards the outputs' configuration; the per-message paths read atomics or the callback lock.
std::mutex gConfigLock;
std::atomic<uint32_t> gSinkThresholds{0};  // file/stderr levels, packed as detail::gThresholds
std::atomic<int> gSinkFd{kStderr};
int gOwnedFd = -1;                    // the TAVLIN_LOG_FILE descriptor, closed when replaced
Level gCallbackMaximum = Level::Off;  // written under both locks below

std::shared_mutex gCallbackLock;  // held shared while calling, exclusively while replacing
Callback gCallback = nullptr;
void* gCallbackContext = nullptr;

thread_local bool gInCallback = false;
thread_local int32_t gCamera = kNoCamera;

uint32_t Pack(const Levels& levels) {
    uint32_t packed = 0;
    for (size_t c = 0; c < kCategoryCount; ++c) {
        packed |= static_cast<uint32_t>(levels.of[c]) << (c * detail::kBitsPerCategory);
    }
    return packed;
}

Level Unpack(uint32_t packed, Category category) {
    const auto shift = static_cast<unsigned>(category) * detail::kBitsPerCategory;
    return static_cast<Level>((packed >> shift) & detail::kCategoryMask);
}

// With gConfigLock held: what On() answers is the more verbose of the two outputs.
void Publish() {
    const uint32_t sink = gSinkThresholds.load(std::memory_order_relaxed);
    Levels combined;
    for (size_t c = 0; c < kCategoryCount; ++c) {
        combined.of[c] = std::max(Unpack(sink, static_cast<Category>(c)), gCallbackMaximum);
    }
    detail::gThresholds.store(detail::kConfiguredBit | Pack(combined), std::memory_order_relaxed);
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, const char* b) {
    const std::string_view name(b);
    if (a.size() != name.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char lower =
            (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (lower != name[i]) return false;
    }
    return true;
}

bool ParseLevel(std::string_view text, Level& level) {
    for (size_t i = 0; i < kLevelNames.size(); ++i) {
        if (SameName(text, kLevelNames[i])) {
            level = static_cast<Level>(i);
            return true;
        }
    }
    if (SameName(text, "warning")) {
        level = Level::Warn;
        return true;
    }
    return false;
}

void WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;  // nowhere left to say it
        data += written;
        length -= static_cast<size_t>(written);
    }
}

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

long ThreadId() {
    static thread_local const long tid = syscall(SYS_gettid);
    return tid;
}

}  // namespace

const char* CategoryName(Category category) {
    const auto index = static_cast<size_t>(category);
    return index < kCategoryCount ? kCategoryNames[index] : "?";
}

const char* LevelName(Level level) {
    const auto index = static_cast<size_t>(level);
    return index < kLevelNames.size() ? kLevelNames[index] : "?";
}

bool ParseLevels(std::string_view text, Levels& levels, std::string& problems) {
    bool good = true;
    auto complain = [&](std::string_view item, const char* why) {
        if (!problems.empty()) problems += ", ";
        problems += "'";
        problems += item;
        problems += "' (";
        problems += why;
        problems += ")";
        good = false;
    };
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.empty()) continue;
        const auto colon = item.find(':');
        // A bare level is every category's.
        const std::string_view category =
            colon == std::string_view::npos ? std::string_view("*") : Trim(item.substr(0, colon));
        const std::string_view levelText =
            colon == std::string_view::npos ? item : Trim(item.substr(colon + 1));
        Level level = Level::Off;
        if (category.empty() || levelText.empty() ||
            levelText.find(':') != std::string_view::npos) {
            complain(item, "expected category:level");
            continue;
        }
        if (!ParseLevel(levelText, level)) {
            complain(item, "unknown level");
            continue;
        }
        if (category == "*") {
            std::fill(std::begin(levels.of), std::end(levels.of), level);
            continue;
        }
        const auto found = std::find_if(kCategoryNames.begin(), kCategoryNames.end(),
                                        [&](const char* name) { return SameName(category, name); });
        if (found == kCategoryNames.end()) {
            complain(item, "unknown category");
            continue;
        }
        levels.of[found - kCategoryNames.begin()] = level;
    }
    return good;
}

namespace detail {

uint64_t Configure() {
    static std::once_flag once;
    std::call_once(once, [] {
        // A configuration made before (by a test) stands.
        if ((gThresholds.load(std::memory_order_relaxed) & kConfiguredBit) != 0) return;
        ConfigureFrom(std::getenv("TAVLIN_LOG_LEVELS"), std::getenv("TAVLIN_LOG_FILE"), kStderr);
    });
    return gThresholds.load(std::memory_order_relaxed);
}

}  // namespace detail

void ConfigureFrom(const char* levelsText, const char* file, int warningFd) {
    std::string warning;
    auto add = [&](const std::string& what) {
        warning += warning.empty() ? "tavlin: logging: ignored " : "; ignored ";
        warning += what;
    };
    Levels levels;
    const std::string_view levelsView = levelsText != nullptr ? Trim(levelsText) : "";
    const bool hasFile = file != nullptr && file[0] != '\0';
    if (!levelsView.empty()) {
        std::string problems;
        if (!ParseLevels(levelsView, levels, problems)) add("TAVLIN_LOG_LEVELS " + problems);
    } else if (hasFile) {
        std::fill(std::begin(levels.of), std::end(levels.of), Level::Info);
    }
    int fd = kStderr;
    if (hasFile) {
        fd = ::open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kLogFileMode);
        if (fd < 0) {
            add(std::string("TAVLIN_LOG_FILE '") + file + "' (" + std::strerror(errno) + ")");
            fd = kStderr;
            // Without its file, a file-only request has nothing left to ask for.
            if (levelsView.empty()) levels = Levels{};
        }
    }
    {
        std::lock_guard<std::mutex> guard(gConfigLock);
        const int old = gOwnedFd;
        gOwnedFd = fd == kStderr ? -1 : fd;
        gSinkFd.store(fd, std::memory_order_relaxed);
        // A message being written to the old file still may hold its number; a test replacing
        // the configuration has no writers left on it.
        if (old >= 0) ::close(old);
        gSinkThresholds.store(Pack(levels), std::memory_order_relaxed);
        Publish();
    }
    if (!warning.empty()) {
        warning += '\n';
        WriteAll(warningFd, warning.data(), warning.size());
    }
}

bool SetLevels(const char* text) {
    detail::Configure();  // the environment's file stays in use
    Levels levels;
    std::string problems;
    if (text != nullptr && !ParseLevels(text, levels, problems)) return false;
    std::lock_guard<std::mutex> guard(gConfigLock);
    gSinkThresholds.store(Pack(levels), std::memory_order_relaxed);
    Publish();
    return true;
}

bool SetCallback(Callback callback, void* context, Level maximum) {
    if (gInCallback) return false;
    detail::Configure();
    // Waits for calls in progress, so the old callback is never called after this. Taken before
    // the configuration lock: a callback in progress may itself set the levels.
    std::unique_lock<std::shared_mutex> exclusive(gCallbackLock);
    std::lock_guard<std::mutex> guard(gConfigLock);
    gCallback = callback;
    gCallbackContext = context;
    gCallbackMaximum = callback != nullptr ? maximum : Level::Off;
    Publish();
    return true;
}

std::string FormatLine(Category category, Level level, int64_t timestampNs, int32_t camera,
                       std::string_view message) {
    std::array<char, 128> head{};
    char cameraText[16] = "-";
    if (camera != kNoCamera) std::snprintf(cameraText, sizeof cameraText, "%d", camera);
    const int length =
        std::snprintf(head.data(), head.size(), "tavlin %lld.%09lld %s %s pid=%d tid=%ld cam=%s ",
                      static_cast<long long>(timestampNs / kNsPerSecond),
                      static_cast<long long>(timestampNs % kNsPerSecond), LevelName(level),
                      CategoryName(category), static_cast<int>(getpid()), ThreadId(), cameraText);
    std::string line(head.data(), static_cast<size_t>(std::max(length, 0)));
    // One message, one line.
    for (const char c : message) line += (c == '\n' || c == '\r') ? ' ' : c;
    return line;
}

void Write(Category category, Level level, int32_t camera, const char* format, ...) {
    std::array<char, kMessageBytes> message{};
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(message.data(), message.size(), format, args);
    va_end(args);
    if (length < 0) return;
    if (static_cast<size_t>(length) >= message.size()) {
        std::memcpy(message.data() + message.size() - 4, "...", 4);
    }
    if (camera == kNoCamera) camera = gCamera;
    const int64_t now = MonotonicNs();

    if (level <= Unpack(gSinkThresholds.load(std::memory_order_relaxed), category)) {
        std::string line = FormatLine(category, level, now, camera, message.data());
        line += '\n';
        // One write per line: lines of concurrent threads (and processes appending to the same
        // file) do not interleave.
        WriteAll(gSinkFd.load(std::memory_order_relaxed), line.data(), line.size());
    }
    // A message logged from inside the callback (by an SDK call it makes) goes only to the file.
    if (gInCallback) return;
    std::shared_lock<std::shared_mutex> shared(gCallbackLock);
    if (gCallback == nullptr || level > gCallbackMaximum) return;
    struct InCallback {
        InCallback() { gInCallback = true; }
        ~InCallback() { gInCallback = false; }
        InCallback(const InCallback&) = delete;
        InCallback& operator=(const InCallback&) = delete;
    } inCallback;
    gCallback(gCallbackContext, static_cast<int32_t>(level), CategoryName(category), camera, now,
              message.data());
}

int32_t CurrentCamera() {
    return gCamera;
}

CameraScope::CameraScope(int32_t camera) : previous_(gCamera) {
    gCamera = camera;
}

CameraScope::~CameraScope() {
    gCamera = previous_;
}

}  // namespace tavlin::diag
