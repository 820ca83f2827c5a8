#include "settings/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "diag/log.h"
#include "platform/text_convert.h"
#include "settings/registry_test_support.h"
#include "settings/registry_text.h"

namespace tavlin::settings {
namespace {

TEST_F(RegistryStoreTest, ValuesSurviveInAReadableFile) {
    RegistryKey root;
    bool created = false;
    ASSERT_EQ(Store().CreateKey("Software\\Korvel", root, &created), RegResult::Success);
    EXPECT_TRUE(created);
    RegistryKey camera;
    ASSERT_EQ(root.CreateSubKey("Camera_00", camera), RegResult::Success);
    EXPECT_EQ(camera.SetValue("Size", 30), RegResult::Success);
    EXPECT_EQ(camera.SetValue("Neg", static_cast<uint32_t>(-5)), RegResult::Success);
    EXPECT_EQ(camera.SetValue("Quote\"Back\\", 7), RegResult::Success);
    EXPECT_EQ(camera.Flush(), RegResult::Success);

    const std::string text = ReadText(storePath_);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Korvel\\Camera_00]\n\"Neg\"=dword:fffffffb"),
              std::string::npos);
    EXPECT_NE(text.find("\"Size\"=dword:0000001e\n"), std::string::npos);

    EXPECT_EQ(Read("Software\\Korvel\\Camera_00", "Size"), 30u);
    EXPECT_EQ(Read("software\\KORVEL\\camera_00", "size"), 30u);  // names ignore case
    EXPECT_EQ(static_cast<int32_t>(Read("Software\\Korvel\\Camera_00", "Neg")), -5);
    EXPECT_EQ(Read("Software\\Korvel\\Camera_00", "Quote\"Back\\"), 7u);
    // Intermediate keys exist on their own.
    RegistryKey software;
    EXPECT_EQ(Store().OpenKey("Software", RegAccess::Read, software), RegResult::Success);
}

TEST_F(RegistryStoreTest, MissingKeysAndValuesAreNotFound) {
    RegResult result;
    Read("Software\\Nothing", "X", &result);
    EXPECT_EQ(result, RegResult::NotFound);
    ASSERT_EQ(Write("Software\\A", "X", 1), RegResult::Success);
    uint32_t value = 99;
    RegistryKey key;
    ASSERT_EQ(Store().OpenKey("Software\\A", RegAccess::Read, key), RegResult::Success);
    EXPECT_EQ(key.QueryValue("Y", value), RegResult::NotFound);
    EXPECT_EQ(value, 99u);  // untouched on failure
    RegistryKey sub;
    EXPECT_EQ(key.OpenSubKey("B", RegAccess::Read, sub), RegResult::NotFound);
    EXPECT_FALSE(sub.IsOpen());
}

TEST_F(RegistryStoreTest, AccessAndNamesAreChecked) {
    ASSERT_EQ(Write("Software\\A", "X", 1), RegResult::Success);
    RegistryKey readOnly;
    ASSERT_EQ(Store().OpenKey("Software\\A", RegAccess::Read, readOnly), RegResult::Success);
    EXPECT_EQ(readOnly.SetValue("X", 2), RegResult::AccessDenied);
    RegistryKey child;
    EXPECT_EQ(readOnly.CreateSubKey("B", child), RegResult::AccessDenied);

    RegistryKey key;
    ASSERT_EQ(Store().CreateKey("Software\\A", key), RegResult::Success);
    // A line break in a name would let a caller forge store lines.
    EXPECT_EQ(key.SetValue("X\n[HKEY_CURRENT_USER\\Evil]", 1), RegResult::InvalidParameter);
    EXPECT_EQ(key.CreateSubKey("B\\\\C", child), RegResult::InvalidParameter);
    EXPECT_EQ(key.CreateSubKey("\\B", child), RegResult::InvalidParameter);
    EXPECT_EQ(key.CreateSubKey(std::string(256, 'k'), child), RegResult::InvalidParameter);
    EXPECT_EQ(key.Close(), RegResult::Success);
    EXPECT_EQ(key.Close(), RegResult::InvalidHandle);
    uint32_t value = 0;
    EXPECT_EQ(key.QueryValue("X", value), RegResult::InvalidHandle);
    EXPECT_EQ(ReadText(storePath_).find("Evil"), std::string::npos);
}

TEST_F(RegistryStoreTest, BatchIsOneRewriteButVisibleAtOnce) {
    ASSERT_EQ(Write("Software\\A", "Old", 1), RegResult::Success);
    const std::string before = ReadText(storePath_);
    RegistryKey key;
    ASSERT_EQ(Store().CreateKey("Software\\A", key), RegResult::Success);
    key.SetValue("New", 5);
    RegistryKey sub;
    key.CreateSubKey("Sub", sub);
    sub.SetValue("Deep", 6);

    // Another open in this process sees the writes before the file has them.
    EXPECT_EQ(Read("Software\\A", "New"), 5u);
    EXPECT_EQ(Read("Software\\A\\Sub", "Deep"), 6u);
    EXPECT_EQ(ReadText(storePath_), before);

    // Closing one key of the batch is not the end of it; closing the last one is.
    EXPECT_EQ(sub.Close(), RegResult::Success);
    EXPECT_EQ(ReadText(storePath_), before);
    EXPECT_EQ(key.Close(), RegResult::Success);
    const std::string after = ReadText(storePath_);
    EXPECT_NE(after.find("\"New\"=dword:00000005"), std::string::npos);
    EXPECT_NE(after.find("\"Deep\"=dword:00000006"), std::string::npos);
}

TEST_F(RegistryStoreTest, WritesOfOtherProcessesAreKept) {
    ASSERT_EQ(Write("Software\\A", "Mine", 1), RegResult::Success);
    RegistryKey key;
    ASSERT_EQ(Store().CreateKey("Software\\A", key), RegResult::Success);
    // Another process writes after this batch read the file; committing must not undo it.
    EXPECT_EQ(RunWriter({storePath_.string(), "set", "Software\\A", "Theirs", "9"}), "result 0");
    key.SetValue("Mine", 2);
    EXPECT_EQ(key.Close(), RegResult::Success);
    EXPECT_EQ(Read("Software\\A", "Theirs"), 9u);
    EXPECT_EQ(Read("Software\\A", "Mine"), 2u);
}

TEST_F(RegistryStoreTest, ConcurrentProcessesLoseNoWrite) {
    constexpr int kProcesses = 4;
    constexpr int kValues = 40;
    std::vector<std::unique_ptr<test::ChildProcess>> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(std::make_unique<test::ChildProcess>());
        ASSERT_TRUE(children.back()->Start(
            "registry_writer", {storePath_.string(), "many", "Software\\Shared",
                                "P" + std::to_string(p) + "_", std::to_string(kValues)}));
    }
    for (auto& child : children) {
        EXPECT_EQ(child->ReadLine(), "ok");
        EXPECT_EQ(child->Wait(), 0);
    }
    RegistryKey key;
    ASSERT_EQ(Store().OpenKey("Software\\Shared", RegAccess::Read, key), RegResult::Success);
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kValues; ++i) {
            uint32_t value = 0xFFFF;
            const std::string name = "P" + std::to_string(p) + "_" + std::to_string(i);
            ASSERT_EQ(key.QueryValue(name, value), RegResult::Success) << name;
            EXPECT_EQ(value, static_cast<uint32_t>(i));
        }
    }
}

TEST_F(RegistryStoreTest, ConcurrentThreadsLoseNoWrite) {
    constexpr int kThreads = 4;
    constexpr int kValues = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kValues; ++i) {
                Write("Software\\T", "T" + std::to_string(t) + "_" + std::to_string(i), i);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kValues; ++i) {
            EXPECT_EQ(Read("Software\\T", "T" + std::to_string(t) + "_" + std::to_string(i)),
                      static_cast<uint32_t>(i));
        }
    }
}

TEST_F(RegistryStoreTest, WriterKilledMidWriteLeavesValidFile) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        test::ChildProcess child;
        ASSERT_TRUE(child.Start("registry_writer", {storePath_.string(), "loop", "Software\\L"}));
        ASSERT_EQ(child.ReadLine(), "ready");
        usleep(2000 + 3000 * attempt);
        child.Kill();
        child.Wait();

        const std::optional<RegistryTree> tree = ParseRegistryText(ReadText(storePath_));
        ASSERT_TRUE(tree.has_value()) << "attempt " << attempt;
        const std::optional<uint32_t> first = tree->Query("Software\\L", "Value0");
        ASSERT_TRUE(first.has_value());
        // A batch lands whole: every value carries the same round.
        for (int i = 1; i < 20; ++i) {
            EXPECT_EQ(tree->Query("Software\\L", "Value" + std::to_string(i)), first);
        }
    }
    // The temporaries of killed writers are swept by the next writer.
    ASSERT_EQ(Write("Software\\L", "After", 1), RegResult::Success);
    for (const auto& entry : fs::directory_iterator(storePath_.parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
    }
    EXPECT_TRUE(CorruptCopies().empty());
}

void KeepMessage(void* context, int32_t, const char* category, int32_t, int64_t,
                 const char* message) {
    *static_cast<std::string*>(context) += std::string(category) + ": " + message + "\n";
}

TEST_F(RegistryStoreTest, CorruptFileIsMovedAsideNotOverwritten) {
    std::string log;
    ASSERT_TRUE(diag::SetCallback(KeepMessage, &log, diag::Level::Warn));
    fs::create_directories(storePath_.parent_path());
    const std::string garbage =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n"
        "\"S\"=\"a string\"\n";
    WriteText(storePath_, garbage);
    RegResult result;
    Read("A", "S", &result);
    EXPECT_EQ(result, RegResult::NotFound);
    const std::vector<fs::path> copies = CorruptCopies();
    diag::SetCallback(nullptr, nullptr, diag::Level::Off);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadText(copies[0]), garbage);
    // The log names both the file and where it went.
    EXPECT_NE(log.find("settings: settings file " + storePath_.string() +
                       " did not parse: moved aside to " + copies[0].string()),
              std::string::npos)
        << log;

    EXPECT_EQ(Write("A", "X", 3), RegResult::Success);
    EXPECT_EQ(Read("A", "X"), 3u);
    EXPECT_EQ(ReadText(CorruptCopies().at(0)), garbage);

    // A second corrupt file in the same second gets its own name.
    WriteText(storePath_, "not a store");
    EXPECT_EQ(Write("A", "Y", 4), RegResult::Success);
    EXPECT_EQ(CorruptCopies().size(), 2u);
    RegResult lost;
    Read("A", "X", &lost);
    EXPECT_EQ(lost, RegResult::NotFound);
    EXPECT_EQ(Read("A", "Y"), 4u);
}

TEST_F(RegistryStoreTest, EmptyFileReadsAsEmptyStore) {
    fs::create_directories(storePath_.parent_path());
    WriteText(storePath_, "");
    RegResult result;
    Read("A", "X", &result);
    EXPECT_EQ(result, RegResult::NotFound);
    EXPECT_EQ(Write("A", "X", 8), RegResult::Success);
    EXPECT_EQ(Read("A", "X"), 8u);
    EXPECT_TRUE(CorruptCopies().empty());
}

TEST_F(RegistryStoreTest, UnwritableFolderFailsWithoutCrash) {
    // A folder below a regular file cannot be created, even by root.
    WriteText(folder_ / "plainfile", "x");
    storePath_ = folder_ / "plainfile" / "tavlin" / "registry.reg";
    RegResult result;
    Read("A", "X", &result);
    EXPECT_EQ(result, RegResult::NotFound);
    RegistryKey key;
    ASSERT_EQ(Store().CreateKey("A", key), RegResult::Success);
    key.SetValue("X", 1);
    EXPECT_EQ(key.Flush(), RegResult::AccessDenied);
    // A failed write is not left visible to later reads.
    uint32_t value = 0;
    EXPECT_EQ(key.QueryValue("X", value), RegResult::NotFound);
    EXPECT_EQ(ReadText(folder_ / "plainfile"), "x");
}

TEST_F(RegistryStoreTest, UnreadableStoreIsNeverReplaced) {
    // A folder where the file should be stands for a file nobody can read, root included.
    fs::create_directories(storePath_);
    WriteText(storePath_ / "inside", "keep");
    RegResult result;
    Read("A", "X", &result);
    EXPECT_EQ(result, RegResult::NotFound);
    EXPECT_EQ(Write("A", "X", 1), RegResult::AccessDenied);
    EXPECT_EQ(ReadText(storePath_ / "inside"), "keep");
}

TEST_F(RegistryStoreTest, FullDiskKeepsTheOldFile) {
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(Write("Software\\Big", "V" + std::to_string(i), i), RegResult::Success);
    const std::string before = ReadText(storePath_);
    const std::string limit = std::to_string(before.size() / 2);
    EXPECT_EQ(RunWriter({storePath_.string(), "--fsize-limit", limit, "set", "Software\\Big",
                         "Extra", "1"}),
              "result " + std::to_string(static_cast<int>(RegResult::DiskFull)));
    EXPECT_EQ(ReadText(storePath_), before);
    for (const auto& entry : fs::directory_iterator(storePath_.parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
    }
}

TEST(RegistryTextTest, ReadsWhatEditorsWrite) {
    const std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
        "; exported by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\X]\r\n"
        "@=dword:00000001\r\n"
        "\"Short\"=DWORD:1F\r\n";
    const std::optional<RegistryTree> tree = ParseRegistryText(text);
    ASSERT_TRUE(tree.has_value());
    EXPECT_EQ(tree->Query("Software\\X", ""), 1u);
    EXPECT_EQ(tree->Query("Software\\X", "short"), 0x1Fu);
    // What we write reads back to the same tree.
    const std::optional<RegistryTree> again = ParseRegistryText(FormatRegistryText(*tree));
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(FormatRegistryText(*again), FormatRegistryText(*tree));
}

TEST(RegistryTextTest, ReadsWindowsUtf16Exports) {
    const std::string utf8 =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K\u00e9y]\r\n"
        "\"V\"=dword:0000002a\r\n";
    std::string utf16 = "\xFF\xFE";
    const std::optional<std::u16string> units = platform::Utf8ToUtf16(utf8);
    ASSERT_TRUE(units.has_value());
    for (char16_t unit : *units) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    const std::optional<RegistryTree> tree = ParseRegistryText(utf16);
    ASSERT_TRUE(tree.has_value());
    EXPECT_EQ(tree->Query("K\u00e9y", "V"), 42u);
    EXPECT_FALSE(ParseRegistryText(utf16.substr(0, utf16.size() - 1)));  // odd byte count
}

TEST(RegistryTextTest, RejectsWhatThisStoreCannotHold) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    EXPECT_FALSE(ParseRegistryText("[HKEY_CURRENT_USER\\A]\n"));
    EXPECT_FALSE(ParseRegistryText(header + "[HKEY_LOCAL_MACHINE\\A]\n"));
    EXPECT_FALSE(ParseRegistryText(header + "\"X\"=dword:1\n"));  // value before any key
    EXPECT_FALSE(ParseRegistryText(header + "[HKEY_CURRENT_USER\\A]\n\"X\"=hex:01\n"));
    EXPECT_FALSE(ParseRegistryText(header + "[HKEY_CURRENT_USER\\A]\n\"X\"=dword:123456789\n"));
    EXPECT_FALSE(ParseRegistryText(header + "[HKEY_CURRENT_USER\\A]\n\"X\"=dword:\n"));
    EXPECT_FALSE(ParseRegistryText(header + "[HKEY_CURRENT_USER\\A]\n\"X=dword:1\n"));
    EXPECT_FALSE(ParseRegistryText(header + "[HKEY_CURRENT_USER\\A\\\\B]\n"));
    EXPECT_FALSE(ParseRegistryText(header + "stray\n"));
}

}  // namespace
}  // namespace tavlin::settings
