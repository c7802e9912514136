#include "e2e/receipt_trace.h"

#include <cstddef>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>

namespace receipt_e2e {

e2e::Run programRun(const std::string &program, const std::string &script) {
  e2e::Run run;
  run.program = program;
  run.script = script;
  return run;
}

std::vector<std::string> renumbered(const std::vector<std::string> &lines) {
  static const std::regex handle("request[0-9]+");
  std::map<std::string, std::string> names;
  std::vector<std::string> out;
  for (const std::string &line : lines) {
    std::string text;
    auto last = line.cbegin();
    for (std::sregex_iterator it(line.begin(), line.end(), handle), end; it != end;
         ++it) {
      text.append(last, line.cbegin() + it->position());
      auto [entry, added] =
          names.try_emplace(it->str(), "request" + std::to_string(names.size() + 1));
      text += entry->second;
      last = line.cbegin() + it->position() + it->length();
    }
    text.append(last, line.cend());
    out.push_back(text);
  }
  return out;
}

std::vector<std::string> between(const std::vector<std::string> &lines,
                                 std::string_view from, std::string_view to) {
  auto creates = [](const std::string &line, std::string_view name) {
    return !name.empty() && line.starts_with("FPD_CreateRequest") &&
           line.find("(device1, \"" + std::string(name) + "\"") != std::string::npos;
  };
  std::vector<std::string> out;
  bool inside = false;
  for (const std::string &line : lines) {
    if (!inside && creates(line, from))
      inside = true;
    else if (inside && creates(line, to))
      break;
    if (inside) out.push_back(line);
  }
  return out;
}

Step done() {
  return {true, 0, 0, 0};
}
Step notCreated(int error) {
  return {false, error, 0, std::nullopt};
}
Step waitFails(int code) {
  return {true, 0, code, std::nullopt};
}
Step waitFailsStatus(int code, int status) {
  return {true, 0, code, status};
}
Step statusFails(int status) {
  return {true, 0, 0, status};
}

std::vector<std::string> receiptTrace(const std::vector<Step> &steps, Cancel cancel,
                                      int cancelCode) {
  static const char *const kCreations[] = {
      "FPD_CreateRequest(device1, \"trinit\")",
      "FPD_CreateRequestEx(device1, \"trline\", \"na,Bułka "
      "Standardowa\\nvt,0\\npr,35\")",
      "FPD_CreateRequestEx(device1, \"trpayment\", \"ty,0\\nre,0\\nwa,35\")",
      "FPD_CreateRequestEx(device1, \"trend\", \"to,35\\nfp,35\")",
  };
  std::vector<std::string> out;
  int handles = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step &step = steps[i];
    if (!step.created) {
      out.push_back(std::string(kCreations[i]) + " = null");
      out.push_back("FPD_GetError(device1) = " + std::to_string(step.error));
      break;
    }
    const std::string r = "request" + std::to_string(++handles);
    out.push_back(std::string(kCreations[i]) + " = " + r);
    if (i == 0) out.push_back("FPD_PushRequestParam(" + r + ", \"bm\", \"1\") = 0");
    out.push_back("FPD_PostRequest(" + r + ", FPD_POST_NORMAL) = 0");
    out.push_back("FPD_WaitForRequestCompleted(" + r +
                  ", 5000) = " + std::to_string(step.wait));
    if (step.status)
      out.push_back("FPD_GetRequestStatus(" + r +
                    ") = " + std::to_string(*step.status));
    out.push_back("FPD_DestroyRequest(" + r + ") = 0");
  }
  if (cancel == Cancel::NotSent) return out;
  if (cancel == Cancel::NotCreated) {
    out.push_back("FPD_CreateRequest(device1, \"prncancel\") = null");
    out.push_back("FPD_GetError(device1) = " + std::to_string(cancelCode));
    return out;
  }
  const std::string r = "request" + std::to_string(++handles);
  out.push_back("FPD_CreateRequest(device1, \"prncancel\") = " + r);
  out.push_back("FPD_PostRequest(" + r + ", FPD_POST_NORMAL) = 0");
  out.push_back("FPD_WaitForRequestCompleted(" + r + ", 5000) = " +
                std::to_string(cancel == Cancel::NoAnswer ? cancelCode : 0));
  out.push_back("FPD_DestroyRequest(" + r + ") = 0");
  return out;
}

void expectOwnRequestsDestroyed(const e2e::Result &result) {
  static const std::regex created(
      R"(^FPD_CreateRequest(Ex)?\(.*\) = (request[0-9]+)$)");
  static const std::regex spooled(
      R"(^FPD_PostRequest\((request[0-9]+), FPD_POST_SPOOLSPECIAL\) = 0$)");
  static const std::regex destroyed(R"(^FPD_DestroyRequest\((request[0-9]+)\))");
  static const std::regex nullUse(
      R"(^FPD_(PushRequestParam|PostRequest|WaitForRequestCompleted|GetRequestStatus|)"
      R"(GetResponseValue|GetResponseValueCount|PopResponseValue|DestroyRequest)\(null)");
  std::set<std::string> own;
  bool closed = false;
  std::smatch m;
  for (const std::string &line : result.trace) {
    EXPECT_FALSE(std::regex_search(line, nullUse)) << line;
    if (std::regex_search(line, m, created))
      own.insert(m[2]);
    else if (std::regex_search(line, m, spooled))
      own.erase(m[1]);
    else if (std::regex_search(line, m, destroyed))
      own.erase(m[1]);
    else if (line.starts_with("FPD_CloseDevice(")) {
      closed = true;
      for (const std::string &left : own)
        ADD_FAILURE() << left << " is not destroyed before closing";
    }
  }
  EXPECT_TRUE(closed) << "the device is not closed";
}

} // namespace receipt_e2e
