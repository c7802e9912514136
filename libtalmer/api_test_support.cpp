#include "libtalmer/api_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace talmer_test {
namespace {

std::string tracePath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() /
       ("libtalmer_api_test." + std::to_string(getpid()) + ".trace"))
          .string();
  return path;
}

// Set before the first library call: the time scale and the trace file are
// read once per process.
struct Environment {
  Environment() {
    setenv("TALMER_SIM_TIMESCALE", "1000", 1);
    setenv("TALMER_SIM_TRACE", tracePath().c_str(), 1);
    unsetenv("TALMER_SIM_SCRIPT");
    unsetenv("TALMER_PAPER");
    unsetenv("TALMER_SIM_STATE");
  }
  ~Environment() { std::remove(tracePath().c_str()); }
} environment;

std::string traceContent() {
  std::ifstream file(tracePath(), std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

} // namespace

ScriptFile::ScriptFile(const std::string &utf8Text) {
  static int count = 0;
  path_ = (std::filesystem::temp_directory_path() /
           ("libtalmer_api_test." + std::to_string(getpid()) + "." +
            std::to_string(++count) + ".script"))
              .string();
  std::ofstream(path_, std::ios::binary) << utf8Text;
  setenv("TALMER_SIM_SCRIPT", path_.c_str(), 1);
}

ScriptFile::~ScriptFile() {
  unsetenv("TALMER_SIM_SCRIPT");
  std::remove(path_.c_str());
}

TraceWatch::TraceWatch() : start_(traceContent().size()) {}

std::vector<std::string> TraceWatch::lines() const {
  std::istringstream added(traceContent().substr(start_));
  std::vector<std::string> result;
  for (std::string line; std::getline(added, line);)
    result.push_back(line);
  return result;
}

Session::Session() {
  handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  EXPECT_NE(handle, nullptr);
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H"), 0);
  device = FPD_OpenDevice(handle);
  EXPECT_NE(device, nullptr);
}

Session::~Session() {
  if (device != nullptr) {
    EXPECT_EQ(FPD_CloseDevice(device), 0);
  }
  EXPECT_EQ(FPD_DestroyDeviceHandle(handle), 0);
}

ErrorCode runRequest(Device device, const char *name, const char *paramList) {
  Request request = paramList ? FPD_CreateRequestEx(device, name, paramList)
                              : FPD_CreateRequest(device, name);
  if (request == nullptr) return -1;
  EXPECT_EQ(FPD_PostRequest(request, FPD_POST_NORMAL), 0);
  EXPECT_EQ(FPD_WaitForRequestCompleted(request, 10000), 0);
  const ErrorCode status = FPD_GetRequestStatus(request);
  EXPECT_EQ(FPD_DestroyRequest(request), 0);
  return status;
}

} // namespace talmer_test
