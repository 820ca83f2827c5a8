// The store against what real machines do to it: writers killed at any moment, files damaged
// behind its back, users who may not write, homes that do not exist.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <random>

#include "settings/registry_test_support.h"
#include "settings/registry_text.h"

namespace tavlin::settings {
namespace {

constexpr const char* kNobody = "65534";

std::string ResultLine(RegResult result) {
    return "result " + std::to_string(static_cast<int>(result));
}

class RegistryDurabilityTest : public RegistryStoreTest {
  protected:
    // The store parses and the looping writer's last batch landed whole.
    void ExpectWholeBatch(const std::string& context) {
        const std::optional<RegistryTree> tree = ParseRegistryText(ReadText(storePath_));
        ASSERT_TRUE(tree.has_value()) << context;
        const std::optional<uint32_t> first = tree->Query("Software\\L", "Value0");
        for (int i = 1; i < 20; ++i) {
            ASSERT_EQ(tree->Query("Software\\L", "Value" + std::to_string(i)), first) << context;
        }
    }

    bool NoTemporaries() const {
        for (const auto& entry : fs::directory_iterator(storePath_.parent_path())) {
            if (entry.path().filename().string().find(".tmp-") != std::string::npos) return false;
        }
        return true;
    }

    // A writer run as an unprivileged user: the user it ran as and its result line.
    std::pair<std::string, std::string> WriteAsNobody(const std::string& storeArgument) {
        test::ChildProcess child;
        if (!child.Start("registry_writer",
                         {storeArgument, "--drop-to", kNobody, "set", "Software\\P", "V", "1"})) {
            return {"cannot start", ""};
        }
        std::string as = child.ReadLine();
        std::string result = child.ReadLine();
        child.Wait();
        return {as, result};
    }

    // The test runs as root in CI; its writers then drop to an ordinary user, for whom the
    // modes below are binding, as they are for a test run by that user itself.
    void OpenFolderToOthers() {
        fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    }
};

TEST_F(RegistryDurabilityTest, WriterKilledRightBeforeOrAfterTheRename) {
    ASSERT_EQ(Write("Software\\Other", "Kept", 7), RegResult::Success);
    for (const std::string point : {"before-rename", "after-rename"}) {
        for (const int n : {1, 2, 5}) {
            const std::string prefix = point + std::to_string(n) + "_";
            test::ChildProcess child;
            ASSERT_TRUE(child.Start("registry_writer",
                                    {storePath_.string(), "--die-at", point, std::to_string(n),
                                     "many", "Software\\D", prefix, "10"}));
            EXPECT_EQ(child.ReadLine(), "");  // killed before it could report
            child.Wait();

            const std::optional<RegistryTree> tree = ParseRegistryText(ReadText(storePath_));
            ASSERT_TRUE(tree.has_value()) << prefix;
            EXPECT_EQ(tree->Query("Software\\Other", "Kept"), 7u) << prefix;
            // Batch i holds value i - 1; the n-th replaced the file only if the kill came after.
            const int landed = point == "before-rename" ? n - 1 : n;
            for (int i = 0; i < landed; ++i) {
                EXPECT_EQ(tree->Query("Software\\D", prefix + std::to_string(i)),
                          static_cast<uint32_t>(i))
                    << prefix;
            }
            EXPECT_FALSE(tree->Query("Software\\D", prefix + std::to_string(landed))) << prefix;
        }
    }
    ASSERT_EQ(Write("Software\\Other", "After", 1), RegResult::Success);
    EXPECT_TRUE(NoTemporaries());
    EXPECT_TRUE(CorruptCopies().empty());
}

TEST_F(RegistryDurabilityTest, WritersKilledAtRandomMomentsCostOthersNothing) {
    constexpr int kSurvivors = 2;
    constexpr int kValues = 60;
    constexpr int kKills = 40;
    const unsigned seed = static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFFFFF);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);

    std::vector<std::unique_ptr<test::ChildProcess>> survivors;
    for (int s = 0; s < kSurvivors; ++s) {
        survivors.push_back(std::make_unique<test::ChildProcess>());
        ASSERT_TRUE(survivors.back()->Start(
            "registry_writer", {storePath_.string(), "many", "Software\\S" + std::to_string(s), "V",
                                std::to_string(kValues)}));
    }
    for (int kill = 0; kill < kKills; ++kill) {
        test::ChildProcess victim;
        ASSERT_TRUE(victim.Start("registry_writer", {storePath_.string(), "loop", "Software\\L"}));
        ASSERT_EQ(victim.ReadLine(), "ready");
        usleep(std::uniform_int_distribution<useconds_t>(0, 8000)(random));
        victim.Kill();
        victim.Wait();
        ExpectWholeBatch("kill " + std::to_string(kill));
    }
    for (auto& survivor : survivors) {
        EXPECT_EQ(survivor->ReadLine(), "ok");
        EXPECT_EQ(survivor->Wait(), 0);
    }
    for (int s = 0; s < kSurvivors; ++s) {
        for (int i = 0; i < kValues; ++i) {
            EXPECT_EQ(Read("Software\\S" + std::to_string(s), "V" + std::to_string(i)),
                      static_cast<uint32_t>(i));
        }
    }
    EXPECT_TRUE(CorruptCopies().empty());
}

TEST_F(RegistryDurabilityTest, DamagedStoresAreMovedAsideIntactAndReplaced) {
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(Write("Software\\G", "V" + std::to_string(i), i), RegResult::Success);
    }
    const std::string valid = ReadText(storePath_);
    std::string garbage(4096, '\0');
    std::mt19937 random(11);
    for (char& c : garbage) c = static_cast<char>(random());
    const std::vector<std::string> damaged = {
        garbage,
        valid.substr(0, valid.rfind("=dword:") + 3),  // cut inside the last value line
        valid.substr(0, valid.find("[HKEY") + 8),     // cut inside the first key line
        valid.substr(0, valid.size() / 2) + std::string(64, '\0') + valid.substr(valid.size() / 2),
        valid + "\xff\xfe",
    };
    size_t copies = 0;
    for (size_t n = 0; n < damaged.size(); ++n) {
        WriteText(storePath_, damaged[n]);
        RegResult result;
        Read("Software\\G", "V0", &result);
        EXPECT_EQ(result, RegResult::NotFound) << "case " << n;
        ASSERT_EQ(CorruptCopies().size(), ++copies) << "case " << n;
        bool kept = false;
        for (const fs::path& copy : CorruptCopies()) kept |= ReadText(copy) == damaged[n];
        EXPECT_TRUE(kept) << "case " << n;
        ASSERT_EQ(Write("Software\\G", "Again", 1), RegResult::Success) << "case " << n;
        EXPECT_EQ(Read("Software\\G", "Again"), 1u) << "case " << n;
    }

    // Larger than any store: not read at all, moved aside whole (sparse, so it costs no disk).
    const uintmax_t huge = 17u * 1024 * 1024;
    fs::resize_file(storePath_, huge);
    RegResult result;
    Read("Software\\G", "Again", &result);
    EXPECT_EQ(result, RegResult::NotFound);
    ASSERT_EQ(CorruptCopies().size(), ++copies);
    bool kept = false;
    for (const fs::path& copy : CorruptCopies()) kept |= fs::file_size(copy) == huge;
    EXPECT_TRUE(kept);
    EXPECT_EQ(Write("Software\\G", "Fresh", 2), RegResult::Success);
    EXPECT_EQ(Read("Software\\G", "Fresh"), 2u);
}

TEST_F(RegistryDurabilityTest, UsersWithoutWriteAccessAreRefusedAndNothingChanges) {
    OpenFolderToOthers();
    const fs::path tavlin = storePath_.parent_path();
    const std::string denied = ResultLine(RegResult::AccessDenied);
    const auto writeAsNobody = [&] {
        const auto [as, result] = WriteAsNobody(storePath_.string());
        // Root would bypass every mode below: the writer must really have dropped.
        EXPECT_NE(as, "as 0");
        EXPECT_TRUE(as.starts_with("as ")) << as;
        return result;
    };

    // Control: an open folder is writable for that user, so the refusals below are real.
    fs::create_directories(tavlin);
    fs::permissions(tavlin, fs::perms::all);
    EXPECT_EQ(writeAsNobody(), ResultLine(RegResult::Success));
    fs::remove_all(tavlin);

    // A config folder the user may not create anything in.
    const fs::path home = folder_ / "home";
    fs::create_directories(home);
    fs::permissions(home, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                              fs::perms::others_exec);
    const fs::path savedPath = storePath_;
    storePath_ = home / "tavlin" / "registry.reg";
    EXPECT_EQ(writeAsNobody(), denied);
    EXPECT_FALSE(fs::exists(storePath_.parent_path()));
    storePath_ = savedPath;

    // A store and lock file the user may open, but the store itself read-only or unreadable:
    // a rename would bypass its mode, so it is never replaced.
    ASSERT_EQ(Write("Software\\P", "V", 5), RegResult::Success);
    fs::permissions(tavlin, fs::perms::all);
    fs::permissions(storePath_.string() + ".lock", fs::perms::all);
    const std::string before = ReadText(storePath_);
    for (const fs::perms mode :
         {fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
          fs::perms::none}) {
        fs::permissions(storePath_, mode);
        EXPECT_EQ(writeAsNobody(), denied);
        EXPECT_EQ(ReadText(storePath_), before);
        EXPECT_EQ(fs::status(storePath_).permissions(), mode);
        EXPECT_TRUE(NoTemporaries());
    }

    // A lock file the user may not open: refused too, as the write could not be exclusive.
    fs::permissions(storePath_, fs::perms::all);
    fs::permissions(storePath_.string() + ".lock", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(tavlin, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    EXPECT_EQ(writeAsNobody(), denied);
    EXPECT_EQ(ReadText(storePath_), before);
}

// Runs a writer on the current user's store with the given environment changes.
std::string WriteUserStore(const std::vector<std::pair<const char*, const char*>>& env,
                           std::vector<std::string> options = {}) {
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const auto& [name, value] : env) {
        const char* old = getenv(name);
        saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    std::vector<std::string> args = {"-"};
    args.insert(args.end(), options.begin(), options.end());
    for (const char* arg : {"set", "Software\\H", "V", "3"}) args.emplace_back(arg);
    test::ChildProcess child;
    std::string result = "cannot start";
    if (child.Start("registry_writer", args)) {
        result = child.ReadLine();
        if (result.starts_with("as ")) result = child.ReadLine();
        child.Wait();
    }
    for (const auto& [name, value] : saved) {
        value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    return result;
}

TEST_F(RegistryDurabilityTest, MissingHomesAreCreatedPrivatelyOrRefused) {
    // A home that does not exist yet: made on the first save, private to its user.
    const fs::path home = folder_ / "new" / "home";
    EXPECT_EQ(WriteUserStore({{"HOME", home.c_str()}, {"XDG_CONFIG_HOME", nullptr}}),
              ResultLine(RegResult::Success));
    EXPECT_TRUE(fs::is_regular_file(home / ".config" / "tavlin" / "registry.reg"));
    EXPECT_EQ(fs::status(home / ".config" / "tavlin").permissions(), fs::perms::owner_all);
    // A relative XDG_CONFIG_HOME is ignored, as the XDG rules say.
    EXPECT_EQ(WriteUserStore({{"HOME", home.c_str()}, {"XDG_CONFIG_HOME", "relative/config"}}),
              ResultLine(RegResult::Success));
    EXPECT_FALSE(fs::exists("relative"));

    // No HOME and no password entry (only root can become such a user; CI runs as root): nothing
    // is kept, and nothing lands in a shared folder.
    if (geteuid() == 0) {
        const fs::path shared = "/tmp/.config/tavlin/registry.reg";
        const bool existed = fs::exists(shared);
        EXPECT_EQ(WriteUserStore({{"HOME", nullptr}, {"XDG_CONFIG_HOME", nullptr}},
                                 {"--drop-to", "54321"}),
                  ResultLine(RegResult::AccessDenied));
        if (!existed) {
            EXPECT_FALSE(fs::exists(shared));
        }
    }
}

}  // namespace
}  // namespace tavlin::settings
