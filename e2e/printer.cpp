#include "e2e/printer.h"

#include "e2e/test_folder.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr int kStartMs = 20000;

/// Reads lines from fd until two have come, or the time is up.
std::vector<std::string> firstLines(int fd, std::size_t count) {
  std::string text;
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartMs);
  for (;;) {
    std::size_t lines = 0;
    for (char c : text)
      lines += c == '\n';
    if (lines >= count) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd wait{fd, POLLIN, 0};
    if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[512];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

} // namespace

Printer::Printer(std::vector<std::string> args, unsigned timeScale) {
  static int serial = 0;
  errorsPath_ =
      (fs::temp_directory_path() / ("talmer-e2e-printer." + std::to_string(getpid()) +
                                    "." + std::to_string(++serial) + ".err"))
          .string();
  std::vector<std::string> argv{
      (fs::path(TALMER_E2E_DEFAULT_BINDIR) / "talmer_printer").string(),
      "--listen",
      "127.0.0.1:0",
      "--panel",
      "127.0.0.1:0",
      "--timescale",
      std::to_string(timeScale)};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char *> pointers;
  for (std::string &a : argv)
    pointers.push_back(a.data());
  pointers.push_back(nullptr);

  int out[2];
  if (pipe(out) != 0) std::abort();
  pid_ = fork();
  if (pid_ < 0) std::abort();
  if (pid_ == 0) {
    const int err = open(errorsPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out[1], STDOUT_FILENO);
    if (err >= 0) dup2(err, STDERR_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  ::close(out[1]);
  const std::vector<std::string> lines = firstLines(out[0], 2);
  ::close(out[0]);
  if (lines.size() == 2 && lines[0].rfind("link ", 0) == 0 &&
      lines[1].rfind("panel http://", 0) == 0) {
    link_ = lines[0].substr(5);
    panel_ = lines[1].substr(13);
    if (!panel_.empty() && panel_.back() == '/') panel_.pop_back();
  }
}

Printer::~Printer() {
  stop();
  std::remove(errorsPath_.c_str());
}

int Printer::stop() {
  if (!ended_ && pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ended_ = true;
  }
  return exitCode_;
}

void Printer::kill() {
  if (ended_ || pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  ended_ = true;
}

std::string Printer::errors() const {
  return fileContent(errorsPath_);
}

bool overLink() {
  const char *mode = std::getenv("TALMER_E2E_PRINTER");
  return mode != nullptr && std::strcmp(mode, "1") == 0;
}

} // namespace e2e
