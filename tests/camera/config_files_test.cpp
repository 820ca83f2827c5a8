#include "camera/config_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "settings/temp_folder.h"

namespace tavlin::camera {
namespace {

class ConfigFilesTest : public settings::TempFolderTest {
  protected:
    std::string WritePairs(const std::string& name, const std::string& bytes) {
        const std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

TEST_F(ConfigFilesTest, LoadReplacesThePairsAndClearEmptiesThem) {
    ConfigFiles files;
    const std::string path = WritePairs("one.cfg", std::string("\x02\0\0\0\x03\0\0\0", 8));
    EXPECT_EQ(files.Load(path.c_str()), 1);
    const settings::ConfigList expected{{2, 3}};
    EXPECT_EQ(files.Pairs(), expected);
    files.Clear();
    EXPECT_TRUE(files.Pairs().empty());
}

TEST_F(ConfigFilesTest, AFileThatCannotBeReadKeepsThePairs) {
    ConfigFiles files;
    const std::string path = WritePairs("one.cfg", std::string("\x02\0\0\0\x03\0\0\0", 8));
    ASSERT_EQ(files.Load(path.c_str()), 1);
    EXPECT_EQ(files.Load((folder_ / "missing.cfg").string().c_str()), 0);
    EXPECT_EQ(files.Pairs().size(), 1u);
}

TEST_F(ConfigFilesTest, AWideNameThatCannotBeConvertedIsToldApart) {
    ConfigFiles files;
    const std::u16string lone = u"/tmp/x" + std::u16string(1, char16_t(0xD800)) + u".cfg";
    EXPECT_EQ(files.LoadWide(lone.c_str()), settings::WideConfigLoad::PathNotConvertible);
    EXPECT_EQ(files.LoadWide(nullptr), settings::WideConfigLoad::PathNotConvertible);
}

}  // namespace
}  // namespace tavlin::camera
