// A folder of the running test's own, for files that outlive one run of a
// program (a fiscal memory, a paper roll) or that a test makes for it (a
// FIFO). The harness runs each program in a temporary folder of its own, so
// such files are named by absolute paths in this one.
#pragma once

#include <string>
#include <string_view>

namespace e2e {

class TestFolder {
public:
  /// An empty folder under ::testing::TempDir(), named after the running
  /// test and this process.
  TestFolder();
  /// Removes the folder and all that is in it.
  ~TestFolder();
  TestFolder(const TestFolder &) = delete;
  TestFolder &operator=(const TestFolder &) = delete;

  const std::string &path() const { return path_; }
  /// The absolute path of a file in the folder.
  std::string file(std::string_view name) const;

private:
  std::string path_;
};

/// The whole content of a file; empty when it isn't there.
std::string fileContent(const std::string &path);

/// Writes text as the whole content of a file, byte for byte.
void writeFile(const std::string &path, const std::string &text);

} // namespace e2e
