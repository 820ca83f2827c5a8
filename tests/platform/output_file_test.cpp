#include "platform/output_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavlin::platform {
namespace {

// Bytes the file system holds for `path`, and the file's size.
struct Usage {
    uint64_t allocated;
    uint64_t size;
};

Usage UsageOf(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0);
    return {static_cast<uint64_t>(status.st_blocks) * 512, static_cast<uint64_t>(status.st_size)};
}

class OutputFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Both a disk file system and a tmpfs, where the tests' temporary folders may live.
        for (const char* root : {"/var/tmp", "/dev/shm"}) {
            std::string pattern = std::string(root) + "/output-file-XXXXXX";
            if (::mkdtemp(pattern.data()) != nullptr) folders_.emplace_back(pattern);
        }
        ASSERT_FALSE(folders_.empty());
    }
    void TearDown() override {
        for (const auto& folder : folders_) std::filesystem::remove_all(folder);
    }
    std::vector<std::filesystem::path> folders_;
};

TEST_F(OutputFileTest, ReservedSpaceKeepsTheSizeAndIsGivenBackAtClose) {
    constexpr uint64_t kMiB = 1024 * 1024;
    const std::vector<uint8_t> data(kMiB, 0x5A);
    int reserved = 0;
    for (const auto& folder : folders_) {
        const auto path = folder / "reserved";
        OutputFile file;
        ASSERT_TRUE(file.Open(path));
        ASSERT_TRUE(file.Write(data.data(), data.size()));
        if (!file.Reserve(kMiB, 9 * kMiB)) continue;  // a file system that cannot
        ++reserved;
        Usage usage = UsageOf(path);
        EXPECT_EQ(usage.size, kMiB) << "reserving leaves the size alone";
        EXPECT_GE(usage.allocated, 9 * kMiB) << folder;

        // Writes into the reserved space read back, and the size follows them.
        ASSERT_TRUE(file.Write(data.data(), data.size()));
        EXPECT_EQ(UsageOf(path).size, 2 * kMiB);
        ASSERT_TRUE(file.Close());

        usage = UsageOf(path);
        EXPECT_EQ(usage.size, 2 * kMiB);
        EXPECT_LT(usage.allocated, 3 * kMiB) << folder << ": space past the end given back";
        std::vector<char> back(2 * kMiB);
        FILE* in = std::fopen(path.c_str(), "rb");
        ASSERT_NE(in, nullptr);
        ASSERT_EQ(std::fread(back.data(), 1, back.size(), in), back.size());
        std::fclose(in);
        for (size_t i = 0; i < back.size(); i += 4096) ASSERT_EQ(back[i], 0x5A) << i;
    }
    if (reserved == 0) GTEST_SKIP() << "no file system here reserves space";
}

TEST_F(OutputFileTest, ReserveRefusesClosedFilesAndEmptyRanges) {
    OutputFile file;
    EXPECT_FALSE(file.Reserve(0, 4096)) << "not open";
    ASSERT_TRUE(file.Open(folders_.front() / "empty-range"));
    EXPECT_FALSE(file.Reserve(4096, 4096));
    EXPECT_FALSE(file.Reserve(8192, 4096));
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(UsageOf(folders_.front() / "empty-range").allocated, 0u);
}

}  // namespace
}  // namespace tavlin::platform
