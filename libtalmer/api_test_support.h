// Helpers of the library's interface tests: the script and trace files, and
// an open printer.
#pragma once

#include "connection/talmer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace talmer_test {

/// Writes a script and points TALMER_SIM_SCRIPT at it while it lives.
class ScriptFile {
public:
  explicit ScriptFile(const std::string &utf8Text);
  ~ScriptFile();
  ScriptFile(const ScriptFile &) = delete;
  ScriptFile &operator=(const ScriptFile &) = delete;

private:
  std::string path_;
};

/// The trace lines written since it was made.
class TraceWatch {
public:
  TraceWatch();
  std::vector<std::string> lines() const;

private:
  std::size_t start_;
};

/// A serial printer opened with the default settings, closed at the end.
struct Session {
  Session();
  ~Session();
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  DeviceHandle handle = nullptr;
  Device device = nullptr; ///< set to null when the test closes it itself
};

/// A test on an open printer without a script.
class OpenPrinter : public ::testing::Test {
protected:
  Session session;
  Device device = session.device;
};

/// A posted request, awaited: its status.
ErrorCode runRequest(Device device, const char *name, const char *paramList);

} // namespace talmer_test
