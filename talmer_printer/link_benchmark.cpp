// What the link costs: a request's round trip through talmer.h (create, post,
// wait, status, destroy) to the embedded printer and to a printer process on
// loopback, and the time from a printout to its arrival in the panel's event
// stream. Both printers run at the highest time scale, so that the printer's
// own nominal time is next to nothing. docs/printer-process.md has the
// figures and how to run it again:
//
//   build/dev/bin/talmer_link_benchmark [--benchmark_repetitions=5 ...]
#include "connection/talmer.h"
#include "platform/socket.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <httplib.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char *kScale = "1000000";

/// A talmer_printer for the benchmarks, on free ports.
struct PrinterProcess {
  pid_t pid = -1;
  std::string link, panel;

  PrinterProcess() {
    int out[2];
    if (pipe(out) != 0) std::abort();
    pid = fork();
    if (pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      execl(TALMER_PRINTER_PROGRAM, TALMER_PRINTER_PROGRAM, "--timescale", kScale,
            static_cast<char *>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[256];
    ssize_t got;
    while (text.find("\npanel ") == std::string::npos ||
           text.find('\n', text.find("\npanel ") + 1) == std::string::npos) {
      if ((got = read(out[0], buffer, sizeof buffer)) <= 0) std::abort();
      text.append(buffer, static_cast<std::size_t>(got));
    }
    close(out[0]);
    link = text.substr(5, text.find('\n') - 5);
    const std::size_t at = text.find("\npanel http://") + 14;
    panel = text.substr(at, text.find('/', at) - at);
  }
  ~PrinterProcess() {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

/// Started for the first benchmark that needs it, stopped at the end.
PrinterProcess &printerProcess() {
  static PrinterProcess printer;
  return printer;
}

/// An open device: the embedded printer, or the printer process's.
struct Opened {
  DeviceHandle handle = nullptr;
  Device device = nullptr;

  explicit Opened(bool overLink) {
    if (overLink)
      setenv("TALMER_PRINTER", printerProcess().link.c_str(), 1);
    else
      unsetenv("TALMER_PRINTER");
    handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
    FPD_SetDebugLevel(handle, -2);
    FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H");
    device = FPD_OpenDevice(handle);
    unsetenv("TALMER_PRINTER");
  }
  ~Opened() {
    FPD_CloseDevice(device);
    FPD_DestroyDeviceHandle(handle);
  }
};

/// One request from creation to destruction: the clock is read, which prints
/// nothing and keeps no memory.
bool roundTrip(Device device) {
  Request request = FPD_CreateRequest(device, "rtcget");
  const bool done = request != nullptr &&
                    FPD_PostRequest(request, FPD_POST_NORMAL) == 0 &&
                    FPD_WaitForRequestCompleted(request, 10000) == 0 &&
                    FPD_GetRequestStatus(request) == 0;
  FPD_DestroyRequest(request);
  return done;
}

void roundTrips(benchmark::State &state, bool overLink) {
  Opened opened(overLink);
  if (opened.device == nullptr) {
    state.SkipWithError("the printer can't be opened");
    return;
  }
  for (auto _ : state)
    if (!roundTrip(opened.device)) state.SkipWithError("a request failed");
}

void EmbeddedRoundTrip(benchmark::State &state) {
  roundTrips(state, false);
}
void LinkRoundTrip(benchmark::State &state) {
  roundTrips(state, true);
}

/// From a printout on the printer (a paper feed posted over the link, its
/// wait answered) to its event arriving in the panel's stream.
void PanelLatency(benchmark::State &state) {
  Opened opened(true);
  httplib::Client client("http://" + printerProcess().panel);
  std::mutex mutex;
  std::condition_variable arrived;
  std::size_t printouts = 0;
  std::chrono::steady_clock::time_point lastArrival;
  bool stopping = false;
  std::string stream; ///< what came and isn't counted yet
  bool open = false;  ///< the stream's first comment came
  std::thread reader([&] {
    client.Get("/api/events", [&](const char *data, std::size_t size) {
      std::lock_guard<std::mutex> lock(mutex);
      stream.append(data, size);
      open = true;
      // Events come whole or in pieces: each is counted once it is whole.
      for (std::size_t end; (end = stream.find("\n\n")) != std::string::npos;) {
        if (stream.compare(0, end, "event: printout") == 0 ||
            stream.substr(0, end).find("\nevent: printout") != std::string::npos) {
          ++printouts;
          lastArrival = std::chrono::steady_clock::now();
        }
        stream.erase(0, end + 2);
      }
      arrived.notify_all();
      return !stopping;
    });
  });
  {
    // Printouts count once the panel watches.
    std::unique_lock<std::mutex> lock(mutex);
    if (!arrived.wait_for(lock, std::chrono::seconds(10), [&] { return open; }))
      state.SkipWithError("the event stream didn't open");
  }
  for (auto _ : state) {
    std::size_t before;
    {
      std::lock_guard<std::mutex> lock(mutex);
      before = printouts;
    }
    Request feed = FPD_CreateRequestEx(opened.device, "papfeed", "ln,1");
    const auto printed = std::chrono::steady_clock::now();
    FPD_PostRequest(feed, FPD_POST_NORMAL);
    FPD_WaitForRequestCompleted(feed, 10000);
    FPD_DestroyRequest(feed);
    std::unique_lock<std::mutex> lock(mutex);
    if (!arrived.wait_for(lock, std::chrono::seconds(10),
                          [&] { return printouts > before; })) {
      state.SkipWithError("no printout reached the stream");
      break;
    }
    state.SetIterationTime(
        std::chrono::duration<double>(lastArrival - printed).count());
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  client.stop();
  reader.join();
}

/// The floor on this machine: 40 bytes to a thread across loopback and back,
/// one thread woken at each end, as the link needs at least.
void LoopbackEcho(benchmark::State &state) {
  std::uint16_t port = 0;
  const platform::Socket listener = platform::listenTcp("127.0.0.1", 0, &port);
  std::thread echo([listener] {
    const platform::Socket s = platform::acceptTcp(listener);
    char buffer[64];
    long got;
    while ((got = platform::receiveSome(s, buffer, sizeof buffer, -1)) > 0)
      platform::sendAll(s, buffer, static_cast<std::size_t>(got));
    platform::closeSocket(s);
  });
  const platform::Socket s = platform::connectTcp("127.0.0.1", port, 2000);
  const std::string frame(40, 'x');
  char buffer[64];
  for (auto _ : state) {
    platform::sendAll(s, frame.data(), frame.size());
    for (std::size_t got = 0; got < frame.size();)
      got +=
          static_cast<std::size_t>(platform::receiveSome(s, buffer, sizeof buffer, -1));
  }
  platform::closeSocket(s);
  echo.join();
  platform::closeSocket(listener);
}

BENCHMARK(LoopbackEcho)->Unit(benchmark::kMicrosecond);
BENCHMARK(EmbeddedRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(LinkRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(PanelLatency)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
  // Read once, by the library's first call.
  setenv("TALMER_SIM_TIMESCALE", kScale, 1);
  unsetenv("TALMER_SIM_TRACE");
  unsetenv("TALMER_SIM_SCRIPT");
  unsetenv("TALMER_PAPER");
  unsetenv("TALMER_SIM_STATE");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
