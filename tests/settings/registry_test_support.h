// A private store folder per test, and ways to read, write and run writer processes on it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/registry_store.h"
#include "support/child_process.h"

namespace tavlin::settings {

namespace fs = std::filesystem;

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class RegistryStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* base = std::getenv("TAVLIN_TEST_TMP");
        fs::path root = base != nullptr && base[0] != '\0' ? base : "/tmp";
        fs::create_directories(root);
        std::string pattern = (root / "registry-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        storePath_ = folder_ / "tavlin" / "registry.reg";
    }
    void TearDown() override { fs::remove_all(folder_); }

    RegistryStore Store() const { return RegistryStore(storePath_.string()); }

    std::vector<fs::path> CorruptCopies() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(storePath_.parent_path())) {
            if (entry.path().filename().string().find(".corrupt-") != std::string::npos) {
                found.push_back(entry.path());
            }
        }
        return found;
    }

    // Runs the helper writer and returns the line it printed.
    static std::string RunWriter(const std::vector<std::string>& args) {
        test::ChildProcess child;
        if (!child.Start("registry_writer", args)) return "cannot start";
        const std::string line = child.ReadLine();
        child.Wait();
        return line;
    }

    uint32_t Read(std::string_view key, std::string_view name, RegResult* result = nullptr) {
        RegistryKey handle;
        RegResult r = Store().OpenKey(key, RegAccess::Read, handle);
        uint32_t value = 0xDEADBEEF;
        if (r == RegResult::Success) r = handle.QueryValue(name, value);
        if (result != nullptr) *result = r;
        return value;
    }

    RegResult Write(std::string_view key, std::string_view name, uint32_t value) {
        RegistryKey handle;
        if (const RegResult r = Store().CreateKey(key, handle); r != RegResult::Success) return r;
        handle.SetValue(name, value);
        return handle.Close();
    }

    fs::path folder_;
    fs::path storePath_;
};

}  // namespace tavlin::settings
