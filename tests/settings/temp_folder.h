// A fresh folder per test below TAVLIN_TEST_TMP (or /tmp), removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tavlin::settings {

class TempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* base = std::getenv("TAVLIN_TEST_TMP");
        const std::filesystem::path root = base != nullptr && base[0] != '\0' ? base : "/tmp";
        std::filesystem::create_directories(root);
        std::string pattern = (root / "settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path folder_;
};

}  // namespace tavlin::settings
