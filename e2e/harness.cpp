#include "e2e/harness.h"

#include "e2e/printer.h"
#include "e2e/test_folder.h"
#include "platform/cp1250.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string fromEnvironment(const char *name, const char *fallback) {
  const char *value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

std::string withoutCarriageReturns(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
      out += text[i];
  return out;
}

// A temporary folder for one run, removed with it.
struct TempFolder {
  fs::path path;
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "talmer-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

// True when entry ("NAME=value") is one of the variables named.
bool names(const char *entry, const std::vector<std::string> &variables) {
  return std::any_of(variables.begin(), variables.end(),
                     [entry](const std::string &name) {
                       return std::strncmp(entry, name.c_str(), name.size()) == 0 &&
                              entry[name.size()] == '=';
                     });
}

bool names(const Run &run, std::string_view name) {
  return std::any_of(run.env.begin(), run.env.end(),
                     [&](const auto &variable) { return variable.first == name; });
}

// The environment of the program: ours without the virtual printer's
// variables, those that the run unsets and those that it sets, the
// harness's own unless the run gives them, then the run's.
std::vector<std::string> environmentFor(const Run &run, const TempFolder &folder,
                                        bool withScript) {
  std::vector<std::string> dropped = run.unset;
  for (const auto &[name, value] : run.env)
    dropped.push_back(name);
  std::vector<std::string> env;
  for (char **entry = environ; *entry != nullptr; ++entry)
    if (std::strncmp(*entry, "TALMER_", 7) != 0 && !names(*entry, dropped))
      env.emplace_back(*entry);
  if (!names(run, "TALMER_SIM_TRACE"))
    env.push_back("TALMER_SIM_TRACE=" + (folder.path / "trace.txt").string());
  if (!names(run, "TALMER_SIM_TIMESCALE"))
    env.push_back("TALMER_SIM_TIMESCALE=" + std::to_string(run.timeScale));
  if (withScript && !names(run, "TALMER_SIM_SCRIPT"))
    env.push_back("TALMER_SIM_SCRIPT=" + (folder.path / "script.txt").string());
  for (const auto &[name, value] : run.env)
    env.push_back(name + "=" + value);
  return env;
}

std::vector<char *> pointersTo(std::vector<std::string> &texts) {
  std::vector<char *> pointers;
  for (std::string &text : texts)
    pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// A pseudo-terminal as a pipe's two ends: [0] the side that reads (the
// master), [1] the terminal (the slave) that the program writes to. The
// slave is opened here, before the program starts, so that the master never
// sees it closed before the program has ended.
void openTerminal(int ends[2]) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) std::abort();
  const char *slaveName = ptsname(master);
  const int slave = slaveName != nullptr ? open(slaveName, O_RDWR | O_NOCTTY) : -1;
  if (slave < 0) std::abort();
  termios settings{};
  if (tcgetattr(slave, &settings) != 0) std::abort();
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST); // no CR put before LF
  if (tcsetattr(slave, TCSANOW, &settings) != 0) std::abort();
  ends[0] = master;
  ends[1] = slave;
}

} // namespace

struct Process::Inner {
  TempFolder folder;
  Run run;
  std::unique_ptr<Printer> printer; ///< over the link: the run's own
  std::string suffix;
  pid_t child = -1;
  std::chrono::steady_clock::time_point start, deadline;

  // Moved by the mover thread, under the lock: the program's input and
  // output go on while the test waits for something else.
  std::mutex mutex;
  std::condition_variable moved;
  std::thread mover;
  int wake[2] = {-1, -1}; ///< a byte written here wakes the mover's poll
  int inFd = -1, outFd = -1, errFd = -1;
  std::string pending; ///< standard input not yet written
  bool closeWhenWritten = false;
  bool moving = true; ///< the outputs haven't ended yet
  Result result;
  bool exited = false, killed = false, done = false;
  int status = 0;

  void startProgram();
  void move();
  /// One round of moving; false when there is nothing more to move (both
  /// outputs ended). Called with the lock held; polls without it.
  bool pump(std::unique_lock<std::mutex> &lock);
  void closeInput() {
    if (inFd >= 0) ::close(inFd);
    inFd = -1;
    pending.clear();
  }
  void poke() {
    const char byte = 1;
    (void)!::write(wake[1], &byte, 1);
  }
  void end();
};

void Process::Inner::startProgram() {
  const bool withScript = !run.script.empty();
  if (withScript) writeFile((folder.path / "script.txt").string(), run.script);

  const std::string binDir =
      fromEnvironment("TALMER_E2E_BINDIR", TALMER_E2E_DEFAULT_BINDIR);
  const std::string runner = fromEnvironment("TALMER_E2E_RUNNER", "");
  suffix = fromEnvironment("TALMER_E2E_EXE_SUFFIX", "");
  std::vector<std::string> argv;
  if (!runner.empty()) argv.push_back(runner);
  argv.push_back((fs::path(binDir) / (run.program + suffix)).string());
  argv.insert(argv.end(), run.args.begin(), run.args.end());
  if (overLink()) {
    // The printer keeps the paper and the memory that the run names, and
    // follows any line the program opens.
    std::vector<std::string> printerArgs{"--serial", "auto"};
    for (const auto &[name, value] : run.env) {
      if (name == "TALMER_PAPER")
        printerArgs.insert(printerArgs.end(), {"--paper", value});
      if (name == "TALMER_SIM_STATE")
        printerArgs.insert(printerArgs.end(), {"--state", value});
    }
    printer = std::make_unique<Printer>(printerArgs, run.timeScale);
    if (!printer->started())
      ADD_FAILURE() << "talmer_printer did not start: " << printer->errors();
    run.env.emplace_back("TALMER_PRINTER", printer->link());
  }
  std::vector<std::string> env = environmentFor(run, folder, withScript);
  std::vector<char *> argvPointers = pointersTo(argv);
  std::vector<char *> envPointers = pointersTo(env);

  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(err) != 0) std::abort();
  if (run.onTerminal) {
    openTerminal(out);
  } else if (pipe(out) != 0) {
    std::abort();
  }
  start = std::chrono::steady_clock::now();
  deadline =
      start + std::chrono::milliseconds(static_cast<long>(run.timeoutSeconds * 1000));
  child = fork();
  if (child < 0) std::abort();
  if (child == 0) {
    setpgid(0, 0);
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
      ::close(fd);
    if (chdir(folder.path.c_str()) != 0) _exit(126);
    execve(argvPointers[0], argvPointers.data(), envPointers.data());
    if (!runner.empty())
      execvpe(argvPointers[0], argvPointers.data(), envPointers.data());
    _exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  inFd = in[1];
  outFd = out[0];
  errFd = err[0];
  pending = run.input;
  fcntl(inFd, F_SETFL, fcntl(inFd, F_GETFL) | O_NONBLOCK);
}

bool Process::Inner::pump(std::unique_lock<std::mutex> &lock) {
  if (outFd < 0 && errFd < 0) return false;
  if (inFd >= 0 && pending.empty() && closeWhenWritten) closeInput();
  const bool writing = inFd >= 0 && !pending.empty();
  pollfd fds[4] = {{outFd, POLLIN, 0},
                   {errFd, POLLIN, 0},
                   {writing ? inFd : -1, POLLOUT, 0},
                   {wake[0], POLLIN, 0}};
  lock.unlock();
  const int ready = poll(fds, 4, 100);
  lock.lock();
  if (ready < 0) return true;
  if (fds[3].revents & POLLIN) {
    char drained[64];
    (void)!::read(wake[0], drained, sizeof drained);
  }
  // Background processes that Wine starts for the first program of a session
  // inherit its output pipes and hold them open: once the program has ended,
  // what it wrote is in the pipes, and the outputs end when they are drained.
  if (ready == 0 && exited) {
    for (int *fd : {&outFd, &errFd})
      if (*fd >= 0) ::close(*fd), *fd = -1;
    return false;
  }
  if (!exited && waitpid(child, &status, WNOHANG) == child) exited = true;
  for (int k = 0; k < 2; ++k) {
    if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buffer[4096];
    const ssize_t got = read(fds[k].fd, buffer, sizeof buffer);
    int &fd = k == 0 ? outFd : errFd;
    if (got <= 0) {
      ::close(fd);
      fd = -1;
    } else {
      (k == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(got));
    }
  }
  if (writing && inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
    const ssize_t put = ::write(inFd, pending.data(), pending.size());
    if (put > 0) pending.erase(0, static_cast<std::size_t>(put));
    if (put < 0) closeInput();
  }
  return outFd >= 0 || errFd >= 0;
}

void Process::Inner::move() {
  std::unique_lock<std::mutex> lock(mutex);
  while (pump(lock))
    moved.notify_all();
  moving = false;
  moved.notify_all();
}

void Process::Inner::end() {
  if (done) return;
  done = true;
  // Feeds standard input and collects both outputs until the program closes
  // them, or kills it when the time is up.
  {
    std::unique_lock<std::mutex> lock(mutex);
    closeWhenWritten = true;
    poke();
    if (!moved.wait_until(lock, deadline, [&] { return !moving; })) {
      ::kill(-child, SIGKILL);
      killed = true;
    }
  }
  mover.join();
  closeInput();
  for (int *fd : {&outFd, &errFd, &wake[0], &wake[1]})
    if (*fd >= 0) ::close(*fd), *fd = -1;
  if (!exited) waitpid(child, &status, 0);
  if (printer) printer->stop();
  result.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.exitCode = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!suffix.empty()) {
    result.out = withoutCarriageReturns(result.out);
    result.err = withoutCarriageReturns(result.err);
  }
  result.trace =
      lines(withoutCarriageReturns(fileContent((folder.path / "trace.txt").string())));
}

Process::Process(const Run &run) : inner_(std::make_unique<Inner>()) {
  inner_->run = run;
  // Not inherited by the programs: the wake pipe is the harness's own.
  if (pipe2(inner_->wake, O_CLOEXEC | O_NONBLOCK) != 0) std::abort();
  inner_->startProgram();
  inner_->mover = std::thread([inner = inner_.get()] { inner->move(); });
}

Process::~Process() {
  if (!inner_->done) {
    kill();
    inner_->end();
  }
}

void Process::write(std::string_view text) {
  std::lock_guard<std::mutex> lock(inner_->mutex);
  inner_->pending.append(text);
  inner_->poke();
}

void Process::closeInput() {
  std::lock_guard<std::mutex> lock(inner_->mutex);
  inner_->closeWhenWritten = true;
  inner_->poke();
}

bool Process::waitForOutput(std::string_view text, double seconds) {
  std::unique_lock<std::mutex> lock(inner_->mutex);
  const auto until = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  auto seen = [&] {
    const std::string out = inner_->suffix.empty()
                                ? inner_->result.out
                                : withoutCarriageReturns(inner_->result.out);
    return out.find(text) != std::string::npos;
  };
  inner_->moved.wait_until(lock, until, [&] { return seen() || !inner_->moving; });
  return seen();
}

std::string Process::output() const {
  std::lock_guard<std::mutex> lock(inner_->mutex);
  return inner_->suffix.empty() ? inner_->result.out
                                : withoutCarriageReturns(inner_->result.out);
}

Result Process::finish() {
  inner_->end();
  return inner_->result;
}

void Process::kill() {
  std::lock_guard<std::mutex> lock(inner_->mutex);
  if (inner_->child > 0 && !inner_->exited) ::kill(-inner_->child, SIGKILL);
}

int Process::pid() const {
  return inner_->child;
}

Result run(const Run &run) {
  Process process(run);
  process.closeInput();
  return process.finish();
}

bool windowsBuild() {
  return fromEnvironment("TALMER_E2E_EXE_SUFFIX", "") == ".exe";
}

std::string cp1250(std::string_view utf8) {
  return cp1250::fromUtf8(utf8);
}

std::vector<std::string> callsOf(const Result &result,
                                 const std::vector<std::string> &functions) {
  std::vector<std::string> calls;
  for (const std::string &line : result.trace)
    for (const std::string &function : functions)
      if (line.starts_with(function + "(")) {
        calls.push_back(line);
        break;
      }
  return calls;
}

std::vector<std::string> lines(std::string_view text) {
  std::vector<std::string> result;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    result.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return result;
}

} // namespace e2e
