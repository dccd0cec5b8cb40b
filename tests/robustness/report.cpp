#include "tests/robustness/report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace robust {

std::string row(const std::vector<std::string>& cells) {
  std::string text = "|";
  for (const std::string& cell : cells) {
    text += ' ';
    for (char c : cell) text += c == '|' ? '/' : c == '\n' ? ' ' : c;
    text += " |";
  }
  return text;
}

void writeFragment(const std::string& table, const std::vector<std::string>& rows) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  for (char& c : name)
    if (c == '/') c = '_';
  const std::filesystem::path folder = std::filesystem::path(TESSRA_ROBUSTNESS_DIR) / table;
  std::filesystem::create_directories(folder);
  std::ofstream out(folder / (name + ".md"), std::ios::trunc);
  for (const std::string& line : rows) out << line << '\n';
  EXPECT_TRUE(out.good()) << "the table fragment could not be written";
}

}  // namespace robust
