#pragma once
// A test that works in a fresh folder under /tmp, removed after it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace qeld::testing {

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/qeld-test-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Writes the file in the folder; its path.
    std::string write(const std::string& name, const std::string& text) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::string dir_;
};

}  // namespace qeld::testing
