// A scratch folder per test and small file helpers for the tsq tests.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tsq_test {

inline std::filesystem::path scratchFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  auto folder = std::filesystem::temp_directory_path() / ("tsq_tests_" + std::to_string(::getpid())) / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) text.append(buffer, static_cast<std::size_t>(in.gcount()));
  return text;
}

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
  std::string text = readText(path);
  return {text.begin(), text.end()};
}

}  // namespace tsq_test
