#include "capture_verbs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

#include "error_text.h"
#include "file_formats.h"
#include "stop_signal.h"
#include "tavlin/tavlin_ext.h"

namespace ctl {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxFrames = 1000000;

std::optional<int> ParseCount(const std::string& text) {
    const auto value = ParseInteger(text);
    if (!value || *value < 1 || *value > kMaxFrames) return std::nullopt;
    return static_cast<int>(*value);
}

int BadCount(Session& session, const std::string& text) {
    return session.Fail("bad frame count '" + text + "' (1.." + std::to_string(kMaxFrames) + ")",
                        TAVLIN_ERR_INVALID_ARGUMENT);
}

bool IsJpeg(int32_t format) {
    return format == TAVLIN_FILE_JPEG_100 || format == TAVLIN_FILE_JPEG_70 ||
           format == TAVLIN_FILE_JPEG_20;
}

// The format of a file: --format when given, else what the name's extension says. A --format
// that contradicts the extension (PNG bytes in "x.jpg") is refused rather than written.
int ChooseFormat(Session& session, const std::string& path, int32_t* format) {
    const auto chosen = session.GetOptions().format;
    const auto implied = FormatFromFileName(path);
    if (chosen && implied && *chosen != *implied && !(IsJpeg(*chosen) && IsJpeg(*implied))) {
        return session.Fail("--format " + std::string(FileFormatName(*chosen)) +
                                " does not suit the name '" + path + "'",
                            TAVLIN_ERR_INVALID_ARGUMENT);
    }
    if (!chosen && !implied) {
        return session.Fail("cannot tell the file format of '" + path + "' (give --format)",
                            TAVLIN_ERR_INVALID_ARGUMENT);
    }
    *format = chosen ? *chosen : *implied;
    return 0;
}

int SaveImage(Session& session, const std::string& path, int32_t format) {
    session.ClearErrors();
    if (Tavlin_SaveImage(session.Camera(), path.c_str(), format) != 1) {
        return session.Fail("save " + path, session.FailureCode(TAVLIN_ERR_FILE));
    }
    std::printf("%s\n", path.c_str());
    return 0;
}

// Bytes of one output image: rows padded to four bytes, as the SDK copies them.
std::vector<uint8_t> FrameBuffer(int32_t camera) {
    const int32_t subSample = Tavlin_GetSubSample(camera);
    const int32_t divisor = subSample >= 0 && subSample <= 3 ? 1 << subSample : 1;
    const int64_t width = Tavlin_Width(camera) / divisor;
    const int64_t height = Tavlin_Height(camera) / divisor;
    int64_t bits = Tavlin_GetColorMode(camera);
    if (bits == 10 || bits == 42 || bits == 58) bits += 6;
    if (width <= 0 || height <= 0 || bits <= 0) return {};
    const int64_t stride = (width * bits / 8 + 3) / 4 * 4;
    return std::vector<uint8_t>(static_cast<size_t>(stride * height));
}

// Names and formats of `count` frame files, worked out before any frame is taken.
int PlanFiles(Session& session, int count, std::vector<std::string>* names, int32_t* format) {
    const std::string& pattern = session.GetOptions().outputPattern;
    for (int number = 1; number <= count; ++number) {
        const auto name = FrameFileName(pattern, number, count > 1);
        if (!name) {
            return session.Fail("bad output pattern '" + pattern + "' (only %d or %0Nd)",
                                TAVLIN_ERR_INVALID_ARGUMENT);
        }
        names->push_back(*name);
    }
    return ChooseFormat(session, names->front(), format);
}

constexpr int kTimedOut = -1;
constexpr int kInterrupted = -2;

int Interrupted() {
    std::fprintf(stderr, "tavlin-ctl: interrupted\n");
    return kExitInterrupted;
}

// Waits for the next frame notice: 0 with a frame, the stream's failure code, kTimedOut or
// kInterrupted.
int WaitFrame(Session& session, int timeoutMs, int* transferFailures) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (StopRequested()) return kInterrupted;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return kTimedOut;
        // In slices, so that a stop signal is seen soon.
        const auto slice = static_cast<int32_t>(std::min<int64_t>(left, 100));
        TavlinMessage message;
        if (TavlinHost_GetMessage(session.Notices(), &message, slice) != 1) continue;
        if (message.message != TAVLIN_MSG_FRAME) continue;
        if (message.wParam != 0) return 0;
        // A failed transfer costs one frame; a stopped stream or a short buffer ends it.
        if (message.lParam == TAVLIN_ERR_TRANSFER) {
            ++*transferFailures;
            continue;
        }
        return static_cast<int>(message.lParam);
    }
}

// Little-endian words of a file; 0 where it is shorter.
uint32_t ReadWord(std::ifstream& file, std::streamoff offset) {
    uint8_t bytes[4] = {};
    file.clear();
    if (!file.seekg(offset) || !file.read(reinterpret_cast<char*>(bytes), 4)) return 0;
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t{bytes[3]} << 24;
}

constexpr uint32_t kIndexTag = 0x31786469;  // "idx1"
constexpr std::streamoff kMoviSizeOffset = 224;
constexpr std::streamoff kMoviStart = 228;
constexpr std::streamoff kTotalFramesOffset = 48;

// A finished AVI file ends with its index right after the frames, and its RIFF size covers the
// whole file. Headers brought up to date while recording never show both.
bool AviFinished(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return false;
    const std::streamoff size = file.tellg();
    const uint32_t riff = ReadWord(file, 4);
    const uint32_t movi = ReadWord(file, kMoviSizeOffset);
    return riff != 0 && size == 8 + std::streamoff{riff} &&
           ReadWord(file, kMoviStart + movi) == kIndexTag;
}

uint32_t AviFrames(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return ReadWord(file, kTotalFramesOffset);
}

}  // namespace

std::optional<std::string> FrameFileName(const std::string& pattern, int number, bool several) {
    std::string name;
    bool converted = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            name += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            name += '%';
            ++i;
            continue;
        }
        // %d or %0Nd with N one digit; anything else is refused rather than handed to printf.
        size_t width = 0;
        size_t j = i + 1;
        if (j + 1 < pattern.size() && pattern[j] == '0' && pattern[j + 1] >= '1' &&
            pattern[j + 1] <= '9') {
            width = static_cast<size_t>(pattern[j + 1] - '0');
            j += 2;
        }
        if (j >= pattern.size() || pattern[j] != 'd') return std::nullopt;
        std::string digits = std::to_string(number);
        if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
        name += digits;
        converted = true;
        i = j;
    }
    if (converted || !several) return name;
    char suffix[16];
    std::snprintf(suffix, sizeof(suffix), "-%03d", number);
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1);
    if (hasExtension) return name.insert(dot, suffix);
    return name + suffix;
}

int Snapshot(Session& session, const std::string& file) {
    int32_t format = 0;
    if (const int status = ChooseFormat(session, file, &format); status != 0) return status;
    if (const int status = session.Open(); status != 0) return status;
    session.ClearErrors();
    // Without a buffer the frame only goes through the pipeline, which is all saving needs.
    if (Tavlin_SnapShot(session.Camera(), nullptr, 0, 1) != 1) {
        return session.Fail("snapshot", session.FailureCode(TAVLIN_ERR_TRANSFER));
    }
    return SaveImage(session, file, format);
}

int CaptureFrames(Session& session, const std::string& count) {
    const auto frames = ParseCount(count);
    if (!frames) return BadCount(session, count);
    std::vector<std::string> names;
    int32_t format = 0;
    if (const int status = PlanFiles(session, *frames, &names, &format); status != 0) {
        return status;
    }
    if (const int status = session.Open(); status != 0) return status;
    const int32_t camera = session.Camera();
    session.ClearErrors();
    // Capture mode keeps the frame channel open between snapshots.
    if (Tavlin_Capture(camera) != 1) {
        return session.Fail("capture", session.FailureCode(TAVLIN_ERR_NO_DEVICE));
    }
    int status = 0;
    for (const std::string& name : names) {
        if (StopRequested()) {
            status = Interrupted();
            break;
        }
        session.ClearErrors();
        if (Tavlin_SnapShot(camera, nullptr, 0, 1) != 1) {
            status = session.Fail("snapshot for " + name, session.FailureCode(TAVLIN_ERR_TRANSFER));
            break;
        }
        if ((status = SaveImage(session, name, format)) != 0) break;
    }
    Tavlin_StopPreview(camera);
    return status;
}

int StreamFrames(Session& session, const std::string& count) {
    const auto frames = ParseCount(count);
    if (!frames) return BadCount(session, count);
    if (const int status = session.Open(); status != 0) return status;
    const int32_t camera = session.Camera();
    std::vector<uint8_t> buffer = FrameBuffer(camera);
    session.ClearErrors();
    const auto start = Clock::now();
    if (Tavlin_CallBackPreview(camera, session.Notices(), buffer.data(),
                               static_cast<int32_t>(buffer.size()), 1) != 1) {
        return session.Fail("stream", session.FailureCode(TAVLIN_ERR_TRANSFER));
    }
    int received = 0;
    int failures = 0;
    int status = 0;
    while (received < *frames) {
        // The device layer gives up on a camera after six seconds without a frame.
        const int result = WaitFrame(session, 8000, &failures);
        if (result == kInterrupted) {
            status = Interrupted();
            break;
        }
        if (result != 0) {
            status = session.Fail("stream after " + std::to_string(received) + " frames",
                                  result > 0 ? result : TAVLIN_ERR_STREAM_STOPPED);
            break;
        }
        ++received;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Tavlin_StopPreview(camera);
    std::printf("%d frames in %.3f s (%.1f fps), %d failed transfers, %zu bytes each\n", received,
                seconds, seconds > 0 ? received / seconds : 0.0, failures, buffer.size());
    return status;
}

int RecordClip(Session& session, const std::string& file) {
    if (const int status = session.Open(); status != 0) return status;
    const int32_t camera = session.Camera();
    const int32_t durationMs = session.GetOptions().durationMs;
    session.ClearErrors();
    if (Tavlin_Record(camera, file.c_str(), durationMs, 0) != 1) {
        return session.Fail("record " + file, session.FailureCode(TAVLIN_ERR_FILE));
    }
    // The recording finishes its file itself with the first frame after the duration, and the
    // preview goes on; the file tells when.
    const auto deadline = Clock::now() + std::chrono::milliseconds(durationMs + 10000);
    int status = 0;
    while (!AviFinished(file)) {
        TavlinMessage message;
        if (TavlinHost_PeekMessage(session.Notices(), &message) == 1) {
            if (message.message == TAVLIN_MSG_ERROR &&
                message.lParam == TAVLIN_ERR_STREAM_STOPPED) {
                status = session.Fail("record " + file, TAVLIN_ERR_STREAM_STOPPED);
                break;
            }
            continue;
        }
        if (StopRequested()) {
            status = Interrupted();
            break;
        }
        if (Clock::now() > deadline) {
            status = session.Fail("record " + file + ": no frame arrived to finish it",
                                  TAVLIN_ERR_STREAM_STOPPED);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Stopping waits for the record thread, so the file is complete once this returns.
    Tavlin_StopPreview(camera);
    if (status == 0) std::printf("%s: %u frames\n", file.c_str(), AviFrames(file));
    return status;
}

int TriggerCapture(Session& session, const std::string& count) {
    const auto frames = ParseCount(count);
    if (!frames) return BadCount(session, count);
    std::vector<std::string> names;
    int32_t format = 0;
    if (const int status = PlanFiles(session, *frames, &names, &format); status != 0) {
        return status;
    }
    if (const int status = session.Open(); status != 0) return status;
    const int32_t camera = session.Camera();
    std::vector<uint8_t> buffer = FrameBuffer(camera);
    session.ClearErrors();
    if (Tavlin_Trigger(camera, session.Notices(), buffer.data(),
                       static_cast<int32_t>(buffer.size()), 1) != 1) {
        return session.Fail("trigger mode", session.FailureCode(TAVLIN_ERR_NO_DEVICE));
    }
    // One pulse makes one frame; the first frame after the start is discarded, and a pulse
    // whose frame is slow to come is followed by another.
    int status = 0;
    int saved = 0;
    int failures = 0;
    for (int pulses = 0; saved < *frames && status == 0; ++pulses) {
        if (pulses >= *frames + 10) {
            status = session.Fail("trigger capture: " + std::to_string(saved) + " frames for " +
                                      std::to_string(pulses) + " pulses",
                                  TAVLIN_ERR_TRANSFER);
            break;
        }
        int32_t accepted = 0;
        status = session.TriggerVirtual(session.Device(), 1, &accepted);
        if (status == 0 && accepted != 1) {
            status = session.Fail("trigger pulse not accepted", TAVLIN_ERR_NO_DEVICE);
        }
        if (status != 0) break;
        const int result = WaitFrame(session, 500, &failures);
        if (result == kInterrupted) status = Interrupted();
        if (result > 0) status = session.Fail("trigger capture", result);
        if (result == 0) status = SaveImage(session, names[static_cast<size_t>(saved++)], format);
    }
    Tavlin_StopPreview(camera);
    return status;
}

int ShowFrameStats(Session& session) {
    if (const int status = session.Open(); status != 0) return status;
    TavlinExtFrameStats stats{};
    stats.size = sizeof(stats);
    session.ClearErrors();
    if (TavlinExt_GetFrameStats(session.Camera(), &stats) != 1) {
        return session.Fail("frame statistics", session.FailureCode(TAVLIN_ERR_NO_DEVICE));
    }
    std::printf(
        "acquiring=%d\ndelivered=%ju\nprocessed=%ju\nskipped=%ju\nfailed=%ju\n"
        "sequence=%ju\ntimestamp_ns=%jd\n",
        stats.acquiring, static_cast<uintmax_t>(stats.delivered),
        static_cast<uintmax_t>(stats.processed), static_cast<uintmax_t>(stats.skipped),
        static_cast<uintmax_t>(stats.failed), static_cast<uintmax_t>(stats.sequence),
        static_cast<intmax_t>(stats.timestampNs));
    return 0;
}

}  // namespace ctl
