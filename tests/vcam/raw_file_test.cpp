// Raw frame files come from a path the daemon's control socket names: only regular files load.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "tavlin/tavlin_vcam.h"
#include "vcam/raw_file.h"
#include "vcam_test_support.h"

namespace tavlin::vcam {
namespace {

std::filesystem::path ScratchPath(const std::string& name) {
    const char* base = std::getenv("TAVLIN_TEST_TMP");
    const std::filesystem::path dir = base != nullptr ? base : "/tmp";
    std::filesystem::create_directories(dir);
    return dir / (name + std::to_string(::getpid()));
}

TEST(RawFile, AFifoIsRefusedWithoutWaitingForAWriter) {
    testing::AttachedCameras cameras({0});
    const auto fifo = ScratchPath("vcam_raw_fifo_");
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto load =
        std::async(std::launch::async, [&] { return TavlinVcam_LoadRawFile(0, fifo.c_str(), 8); });
    if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "loading a FIFO blocked";
        // Let the blocked open through so the test can end.
        const int writer = ::open(fifo.c_str(), O_WRONLY);
        if (writer >= 0) ::close(writer);
    }
    EXPECT_EQ(load.get(), 0);
    std::filesystem::remove(fifo);
}

TEST(RawFile, DevicesAndFoldersAreRefused) {
    testing::AttachedCameras cameras({0});
    EXPECT_EQ(TavlinVcam_LoadRawFile(0, "/dev/zero", 8), 0);  // would never end
    EXPECT_EQ(TavlinVcam_LoadRawFile(0, "/dev/null", 8), 0);
    EXPECT_EQ(TavlinVcam_LoadRawFile(0, "/", 10), 0);
    EXPECT_FALSE(ReadRegularFile("/dev/zero").has_value());
}

TEST(RawFile, ARegularFileReadsWhole) {
    const auto path = ScratchPath("vcam_raw_whole_");
    const std::string bytes = "\x01\x02\x00\x03";
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    const auto data = ReadRegularFile(path.c_str());
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(std::string(data->begin(), data->end()), bytes);
    std::filesystem::resize_file(path, 0);
    ASSERT_TRUE(ReadRegularFile(path.c_str()).has_value());
    EXPECT_TRUE(ReadRegularFile(path.c_str())->empty());
    std::filesystem::remove(path);
    EXPECT_FALSE(ReadRegularFile(path.c_str()).has_value());
}

}  // namespace
}  // namespace tavlin::vcam
