// Shared by the output tests: a fresh folder per test, test images with known pixels, and the
// independent decoders (ImageMagick, djpeg, pngcheck, tiffinfo, ffprobe, ffmpeg) run as tools.
// A missing tool fails the test loudly; nothing is skipped.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "output/image_buffer.h"

namespace tavlin::output::test {

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset) {
    return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
           (uint32_t{bytes[offset + 3]} << 24);
}

inline uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline std::string Tag(const std::vector<uint8_t>& bytes, size_t offset) {
    return std::string(bytes.begin() + offset, bytes.begin() + offset + 4);
}

struct ToolRun {
    int exitCode = -1;
    std::string output;  // standard output, as bytes
};

// Runs a shell command line; standard error is discarded unless the command redirects it.
inline ToolRun RunTool(const std::string& command) {
    ToolRun run;
    const bool keepsErrors = command.find("2>&1") != std::string::npos;
    FILE* pipe = popen((keepsErrors ? command : command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return run;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), pipe)) > 0) run.output.append(chunk, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Fails the running test when the tool is not installed.
inline bool RequireTool(const std::string& tool) {
    const bool found = RunTool("command -v " + tool).exitCode == 0;
    if (!found) {
        ADD_FAILURE() << "required decoder '" << tool
                      << "' is missing: run scripts/install-deps.sh test";
    }
    return found;
}

inline std::string Quote(const std::filesystem::path& path) {
    std::string quoted = "'";
    for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class OutputFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* base = std::getenv("TAVLIN_TEST_TMP");
        const std::filesystem::path root = base != nullptr && base[0] != '\0' ? base : "/tmp";
        std::filesystem::create_directories(root);
        std::string pattern = (root / "output-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path Path(const std::string& name) const { return folder_ / name; }

    std::filesystem::path folder_;
};

// A sample value for (x, y, channel) that differs between neighbours, channels and rows;
// `maximum` is 255 or 1023.
inline uint16_t PatternSample(int32_t x, int32_t y, int channel, uint16_t maximum) {
    return static_cast<uint16_t>((x * 7 + y * 13 + channel * 101 + x * y) % (maximum + 1));
}

// An image whose pixels follow PatternSample; 16-bit formats carry 10-bit samples, the fourth
// sample of 32/64-bit pixels follows channel 3.
inline bool WideSamples(int bitCount) {
    return bitCount == 16 || bitCount == 48 || bitCount == 64;
}

inline void FillPattern(ImageBuffer& image) {
    const uint16_t maximum = WideSamples(image.BitCount()) ? 1023 : 255;
    const int samples = image.BitCount() / (maximum == 1023 ? 16 : 8);
    for (int32_t y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.Bits() + static_cast<size_t>(y) * image.Stride();
        for (int32_t x = 0; x < image.Width(); ++x) {
            for (int c = 0; c < samples; ++c) {
                const uint16_t v = PatternSample(x, y, c, maximum);
                if (maximum == 1023) {
                    row[(x * samples + c) * 2] = static_cast<uint8_t>(v);
                    row[(x * samples + c) * 2 + 1] = static_cast<uint8_t>(v >> 8);
                } else {
                    row[x * samples + c] = static_cast<uint8_t>(v);
                }
            }
        }
    }
}

// Runs `body` in a forked child and returns its result as the exit code (-1 when the child died
// of a signal); the child's standard error comes back through `errorText`. With a
// `fileSizeLimit`, the child's files may not grow past it, and SIGXFSZ keeps its default action:
// a write past the limit that raised it would kill the child. With `unprivileged`, a child
// running as root drops to nobody first, so permissions apply.
inline int RunInChild(const std::function<int()>& body, std::string* errorText,
                      rlim_t fileSizeLimit = RLIM_INFINITY, bool unprivileged = false) {
    int errors[2];
    if (pipe(errors) != 0) return -1;
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(errors[0]);
        dup2(errors[1], 2);
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit != RLIM_INFINITY) setrlimit(RLIMIT_FSIZE, &limit);
        if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(125);
        }
        const int result = body();
        fflush(nullptr);
        _exit(result);
    }
    close(errors[1]);
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = read(errors[0], chunk, sizeof(chunk))) > 0) text.append(chunk, n);
    close(errors[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (errorText != nullptr) *errorText = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int RunWithFileSizeLimit(rlim_t fileSizeLimit, const std::function<int()>& body,
                                std::string* errorText) {
    return RunInChild(body, errorText, fileSizeLimit);
}

}  // namespace tavlin::output::test
