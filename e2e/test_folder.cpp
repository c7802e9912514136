#include "e2e/test_folder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace e2e {
namespace {

namespace fs = std::filesystem;

// "Suite/Case.Name/3" as a single path component.
std::string testName() {
  const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test == nullptr
                         ? "no-test"
                         : std::string(test->test_suite_name()) + "." + test->name();
  for (char &c : name)
    if (c == '/') c = '_';
  return name;
}

} // namespace

TestFolder::TestFolder() {
  const fs::path path = fs::path(testing::TempDir()) /
                        ("talmer-" + testName() + "-" + std::to_string(getpid()));
  fs::remove_all(path);
  fs::create_directories(path);
  path_ = fs::absolute(path).string();
}

TestFolder::~TestFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TestFolder::file(std::string_view name) const {
  return (fs::path(path_) / name).string();
}

std::string fileContent(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

} // namespace e2e
