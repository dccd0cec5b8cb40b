// A phone of its own for each test: a fresh root folder, a fixed clock, no
// helper programs configured; files and folders in it made and read as
// bytes.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/emulator.h"

namespace phonetest {

namespace fs = std::filesystem;

inline SYSTEMTIME fixedTime() { return SYSTEMTIME{2024, 5, 0, 17, 9, 30, 5, 0}; }

class PhoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tessra-phone-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    platform::setDeviceRoot(root_.string());
    platform::setFixedLocalTime(fixedTime());
    ::unsetenv("TESSRA_TEL_HANDLER");
    ::unsetenv("TESSRA_SMS_COMMAND");
  }
  void TearDown() override {
    platform::waitForCallHandlers();
    ::unsetenv("TESSRA_TEL_HANDLER");
    ::unsetenv("TESSRA_SMS_COMMAND");
    platform::setFixedLocalTime(std::nullopt);
    platform::setLibraryFolder("");
    platform::setDeviceRoot("");
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  fs::path path(const std::string& relative) const { return root_ / relative; }

  void write(const std::string& relative, const std::string& bytes) const {
    fs::create_directories(path(relative).parent_path());
    std::ofstream(path(relative), std::ios::binary) << bytes;
  }
  std::string read(const std::string& relative) const { return readFile(path(relative)); }
  static std::string readFile(const fs::path& file) {
    std::error_code missing;
    const auto size = fs::file_size(file, missing);
    if (missing) return {};
    std::string bytes(size, '\0');
    std::ifstream in(file, std::ios::binary);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }
  void makeFolders(const std::string& relative) const { fs::create_directories(path(relative)); }

  // A shell script in the root folder, made executable; returns its path.
  std::string script(const std::string& name, const std::string& body) const {
    const fs::path file = path(name);
    std::ofstream(file) << "#!/bin/sh\n" << body;
    fs::permissions(file, fs::perms::owner_all);
    return file.string();
  }

  // The names in a folder, sorted; empty when it does not exist.
  std::vector<std::string> names(const std::string& relative) const {
    std::vector<std::string> found;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(path(relative), missing)) {
      found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
  }

  fs::path root_;
};

}  // namespace phonetest
