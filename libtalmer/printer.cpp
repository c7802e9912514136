// The printer model (first cut): knows every request, accepts them, answers
// "rtcget" and "vatget", checks the length of a paper feed.
#include "libtalmer/printer.h"

#include "libtalmer/status_codes.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace talmer {
namespace {

constexpr std::array<std::string_view, 24> kRequests = {
    "trinit",       "trline",        "trend",
    "trdiscntbill", "trpaymentcurr", "trpayment",
    "trftrend",     "trpackinit",    "trpack",
    "trfvinit",     "formstart",     "formline",
    "formend",      "ftrcfg",        "ftrinfoset",
    "hdrset",       "dailyrep",      "periodicrepbydates",
    "vatset",       "rtcset",        "papfeed",
    "prncancel",    "rtcget",        "vatget"};

constexpr long kMaxFeedLines = 50;

const std::string *find(const Fields &fields, std::string_view name) {
  for (const Field &f : fields)
    if (f.name == name) return &f.value;
  return nullptr;
}

Outcome refuse(const Command &command, std::int32_t code) {
  Outcome out;
  out.status = code;
  out.fields.push_back({"cm", command.name});
  return out;
}

class SimplePrinter final : public Printer {
public:
  Outcome execute(const Command &command) override {
    if (!knowsRequest(command.name)) return refuse(command, kUnknownCommand);
    Outcome out;
    if (command.name == "rtcget") {
      std::time_t now = std::time(nullptr);
      std::tm tm{};
      localtime_r(&now, &tm);
      char text[64];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d,%02d:%02d", tm.tm_year + 1900,
                    tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min);
      out.fields.push_back({"da", text});
    } else if (command.name == "vatget") {
      out.fields = {{"va", "23"},  {"vb", "8"},   {"vc", "5"}, {"vd", "0"},
                    {"ve", "100"}, {"vf", "101"}, {"vg", "0"}};
    } else if (command.name == "papfeed") {
      const std::string *ln = find(command.params, "ln");
      if (!ln) return refuse(command, kMissingParameter);
      long lines = 0;
      auto [end, ec] = std::from_chars(ln->data(), ln->data() + ln->size(), lines);
      if (ec != std::errc() || end != ln->data() + ln->size())
        return refuse(command, kBadNumber);
      if (lines < 1 || lines > kMaxFeedLines) return refuse(command, kOutOfRange);
      out.nominalMs = static_cast<std::uint32_t>(lines) * 20;
    }
    return out;
  }
  StatusPair status() const override { return {}; }
  void setPaperOut(bool) override {}
  void setCoverOpen(bool) override {}
};

} // namespace

bool Printer::knowsRequest(std::string_view name) {
  for (std::string_view known : kRequests)
    if (known == name) return true;
  return false;
}

std::unique_ptr<Printer> Printer::open(const PrinterOptions &, std::int32_t *error) {
  if (error) *error = kOk;
  return std::make_unique<SimplePrinter>();
}

} // namespace talmer
