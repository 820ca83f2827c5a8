#include "settings/config_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "temp_folder.h"

namespace tavlin::settings {
namespace {

class ConfigFileTest : public TempFolderTest {
  protected:
    std::string WriteBytes(const std::string& name, const std::string& bytes) {
        const std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    const ConfigList kPrevious{{7, 8}, {9, 10}};
    ConfigList list_ = kPrevious;
    std::mutex lock_;
};

TEST_F(ConfigFileTest, PairsAreLittleEndianAndTrailingBytesIgnored) {
    const std::string bytes(
        "\x01\x00\x00\x00\xFF\xFF\xFF\xFF"
        "\x78\x56\x34\x12\x00\x00\x00\x80"
        "\xAA\xBB\xCC\xDD",
        20);
    ASSERT_TRUE(LoadConfigFile(WriteBytes("twenty.cfg", bytes).c_str(), list_, lock_));
    const ConfigList expected{{1, -1}, {0x12345678, INT32_MIN}};
    EXPECT_EQ(list_, expected);
}

TEST_F(ConfigFileTest, ShortOrEmptyFileEmptiesTheList) {
    EXPECT_TRUE(LoadConfigFile(WriteBytes("empty.cfg", "").c_str(), list_, lock_));
    EXPECT_TRUE(list_.empty());
    list_ = kPrevious;
    EXPECT_TRUE(LoadConfigFile(WriteBytes("seven.cfg", "1234567").c_str(), list_, lock_));
    EXPECT_TRUE(list_.empty());
}

TEST_F(ConfigFileTest, UnreadableFilesKeepTheList) {
    EXPECT_FALSE(LoadConfigFile((folder_ / "missing.cfg").c_str(), list_, lock_));
    EXPECT_FALSE(LoadConfigFile(nullptr, list_, lock_));
    EXPECT_FALSE(LoadConfigFile(folder_.c_str(), list_, lock_));  // a folder
    const std::string fifo = (folder_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LoadConfigFile(fifo.c_str(), list_, lock_));  // must not block either
    EXPECT_EQ(list_, kPrevious);
}

TEST_F(ConfigFileTest, FileHeldWithoutSharingCannotBeRead) {
    const std::string path = WriteBytes("held.cfg", std::string(16, '\x01'));
    const int holder = open(path.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    EXPECT_FALSE(LoadConfigFile(path.c_str(), list_, lock_));
    EXPECT_EQ(list_, kPrevious);
    close(holder);
    EXPECT_TRUE(LoadConfigFile(path.c_str(), list_, lock_));
    EXPECT_EQ(list_.size(), 2u);
}

TEST_F(ConfigFileTest, HugeFileIsRefused) {
    const std::string path = (folder_ / "huge.cfg").string();
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    // Sparse: costs no disk, but a reader trusting the size would allocate it all.
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kMaxConfigFileBytes) + 8), 0);
    close(fd);
    EXPECT_FALSE(LoadConfigFile(path.c_str(), list_, lock_));
    EXPECT_EQ(list_, kPrevious);
}

TEST_F(ConfigFileTest, WidePathsConvertOrAreRefused) {
    const std::string path = WriteBytes("wide-\xC3\xA9.cfg", std::string(8, '\0'));
    std::u16string wide;
    for (char c : (folder_ / "wide-").string()) wide += static_cast<char16_t>(c);
    wide += u"\u00E9.cfg";
    EXPECT_EQ(LoadConfigFileWide(wide.c_str(), list_, lock_), WideConfigLoad::Loaded);
    EXPECT_EQ(list_, (ConfigList{{0, 0}}));

    list_ = kPrevious;
    const std::u16string lone = u"/tmp/x" + std::u16string(1, char16_t(0xD800)) + u".cfg";
    EXPECT_EQ(LoadConfigFileWide(lone.c_str(), list_, lock_), WideConfigLoad::PathNotConvertible);
    EXPECT_EQ(LoadConfigFileWide(nullptr, list_, lock_), WideConfigLoad::PathNotConvertible);
    // 1022 bytes fit with the terminator, 1023 do not; two-byte characters count twice.
    const std::u16string fits = u"/" + std::u16string(1021, u'a');
    EXPECT_EQ(LoadConfigFileWide(fits.c_str(), list_, lock_), WideConfigLoad::NotLoaded);
    const std::u16string tooLong = u"/" + std::u16string(511, u'\u00E9');
    EXPECT_EQ(LoadConfigFileWide(tooLong.c_str(), list_, lock_),
              WideConfigLoad::PathNotConvertible);
    const std::u16string missing = u"/nonexistent/x.cfg";
    EXPECT_EQ(LoadConfigFileWide(missing.c_str(), list_, lock_), WideConfigLoad::NotLoaded);
    EXPECT_EQ(list_, kPrevious);
}

}  // namespace
}  // namespace tavlin::settings
