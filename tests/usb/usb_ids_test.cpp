#include "usb/usb_ids.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "usb/usb_cameras.h"

namespace tavlin::usb {
namespace {

TEST(UsbIdParse, AcceptsHexPairsInEitherCase) {
    EXPECT_EQ(ParseUsbId("1a2b:3C4d"), (UsbId{0x1A2B, 0x3C4D}));
    EXPECT_EQ(ParseUsbId("  0000:ffff\t"), (UsbId{0x0000, 0xFFFF}));
    EXPECT_EQ(ParseUsbId("1:2"), (UsbId{1, 2}));
}

TEST(UsbIdParse, RefusesWhatIsNotVendorColonProduct) {
    for (const char* bad : {"", ":", "1a2b", "1a2b:", ":3c4d", "12345:0001", "0001:12345",
                            "0x1a:0002", "1a2b:3c4g", "1a2b 3c4d", "1a2b:3c4d:5", "-1:2"}) {
        EXPECT_EQ(ParseUsbId(bad), std::nullopt) << bad;
    }
}

TEST(UsbIdFile, ReadsIdsSkippingCommentsAndBlankLines) {
    IdList list;
    AddIdFile(list,
              "# cameras of this lab\n"
              "\n"
              "1a2b:0001\n"
              "   \t\n"
              "1a2b:0002   # the second one\n"
              "#1a2b:0003\n",
              "/etc/x");
    EXPECT_EQ(list.ids, (std::vector<UsbId>{{0x1A2B, 1}, {0x1A2B, 2}}));
    EXPECT_TRUE(list.warnings.empty());
    EXPECT_TRUE(list.Contains(0x1A2B, 2));
    EXPECT_FALSE(list.Contains(0x1A2B, 3));
}

TEST(UsbIdFile, PassesOverBadLinesNamingFileAndLine) {
    IdList list;
    AddIdFile(list, "1a2b:0001\nnonsense\r\n\n04b4:zz00\n04b4:1004", "/etc/tavlin/usb-ids");
    EXPECT_EQ(list.ids, (std::vector<UsbId>{{0x04B4, 0x1004}, {0x1A2B, 1}}));
    ASSERT_EQ(list.warnings.size(), 2u);
    EXPECT_NE(list.warnings[0].find("/etc/tavlin/usb-ids line 2"), std::string::npos);
    EXPECT_NE(list.warnings[0].find("\"nonsense\""), std::string::npos);
    EXPECT_NE(list.warnings[1].find("line 4"), std::string::npos);
    EXPECT_NE(list.warnings[1].find("04b4:zz00"), std::string::npos);
}

TEST(UsbIdVariable, SplitsOnCommasAndReportsTheVariable) {
    IdList list;
    AddIdVariable(list, " 1a2b:0001, bad ,,1a2b:0001,04b4:1004,", "TAVLIN_USB_IDS");
    EXPECT_EQ(list.ids, (std::vector<UsbId>{{0x04B4, 0x1004}, {0x1A2B, 1}}));
    ASSERT_EQ(list.warnings.size(), 1u);
    EXPECT_EQ(list.warnings[0].rfind("TAVLIN_USB_IDS: \"bad\"", 0), 0u) << list.warnings[0];
}

// Sets or unsets an environment variable for one test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

std::filesystem::path ScratchFile(const std::string& name, const std::string& text) {
    const char* tmp = getenv("TAVLIN_TEST_TMP");
    std::filesystem::path folder = tmp != nullptr ? tmp : std::filesystem::temp_directory_path();
    folder /= "usb";
    std::filesystem::create_directories(folder);
    const auto path = folder / name;
    std::ofstream(path) << text;
    return path;
}

TEST(UsbIdList, IsTheUnionOfFileAndVariable) {
    const auto file = ScratchFile("ids-union", "1a2b:0001\n1a2b:0002\nbroken\n");
    ScopedEnv fileEnv("TAVLIN_USB_IDS_FILE", file.c_str());
    ScopedEnv idsEnv("TAVLIN_USB_IDS", "1a2b:0002,04b4:1004,also-broken");
    const IdList list = LoadIdList();
    EXPECT_EQ(list.ids, (std::vector<UsbId>{{0x04B4, 0x1004}, {0x1A2B, 1}, {0x1A2B, 2}}));
    ASSERT_EQ(list.warnings.size(), 2u);
    EXPECT_EQ(list.warnings[0].rfind(file.string() + " line 3", 0), 0u) << list.warnings[0];
    EXPECT_EQ(list.warnings[1].rfind("TAVLIN_USB_IDS:", 0), 0u) << list.warnings[1];
}

TEST(UsbIdList, IsEmptyWithoutFileOrVariable) {
    ScopedEnv fileEnv("TAVLIN_USB_IDS_FILE",
                      ScratchFile("x", "").replace_filename("absent").c_str());
    ScopedEnv idsEnv("TAVLIN_USB_IDS", nullptr);
    const IdList list = LoadIdList();
    EXPECT_TRUE(list.ids.empty());
    EXPECT_TRUE(list.warnings.empty());  // a missing file is no fault
}

TEST(UsbIdList, AnUnreadableFileIsReported) {
    const auto folder = ScratchFile("y", "").parent_path();
    ScopedEnv fileEnv("TAVLIN_USB_IDS_FILE", folder.c_str());  // a folder reads as an error
    ScopedEnv idsEnv("TAVLIN_USB_IDS", "1a2b:0001");
    const IdList list = LoadIdList();
    EXPECT_EQ(list.ids, (std::vector<UsbId>{{0x1A2B, 1}}));
    ASSERT_EQ(list.warnings.size(), 1u);
    EXPECT_NE(list.warnings[0].find("cannot be read"), std::string::npos);
}

TEST(UsbIdList, TheSystemFileIsUnderTheConfigurationFolder) {
    EXPECT_NE(SystemIdFile().find("tavlin/usb-ids"), std::string::npos);
}

// The installed library reads the list of the prefix it sits in; /usr keeps its list in /etc.
TEST(UsbIdList, TheInstalledLibraryReadsTheListOfItsPrefix) {
    const std::string_view libdir = "lib/x86_64-linux-gnu";
    EXPECT_EQ(IdFileBesideLibrary("/usr/lib/x86_64-linux-gnu", libdir), "/etc/tavlin/usb-ids");
    EXPECT_EQ(IdFileBesideLibrary("/opt/tavlin/lib/x86_64-linux-gnu", libdir),
              "/opt/tavlin/etc/tavlin/usb-ids");
    EXPECT_EQ(IdFileBesideLibrary("/usr/local/lib", "lib"), "/usr/local/etc/tavlin/usb-ids");
    // Not an install's library folder: a build tree, a folder merely ending in the same letters,
    // the libdir alone.
    EXPECT_EQ(IdFileBesideLibrary("/work/build/default/src", libdir), std::nullopt);
    EXPECT_EQ(IdFileBesideLibrary("/opt/mylib/x86_64-linux-gnu", libdir), std::nullopt);
    EXPECT_EQ(IdFileBesideLibrary("/lib/x86_64-linux-gnu", libdir), std::nullopt);
    EXPECT_EQ(IdFileBesideLibrary("/usr/lib", ""), std::nullopt);
}

TEST(UsbScan, WithNothingListedFindsNothingAndReportsBadEntries) {
    ScopedEnv fileEnv("TAVLIN_USB_IDS_FILE", ScratchFile("bad-only", "zz\n").c_str());
    ScopedEnv idsEnv("TAVLIN_USB_IDS", "");
    EXPECT_TRUE(Cameras().empty());
    const UsbScan scan = Scan();
    EXPECT_TRUE(scan.available);
    EXPECT_TRUE(scan.cameras.empty());
    EXPECT_TRUE(scan.skipped.empty());
    ASSERT_EQ(scan.idListWarnings.size(), 1u);
    EXPECT_NE(scan.idListWarnings[0].find("line 1"), std::string::npos);
}

}  // namespace
}  // namespace tavlin::usb
