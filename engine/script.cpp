#include "engine/script.h"

#include "platform/cp1250.h"
#include "platform/files.h"

#include <limits>

namespace talmer {
namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

/// Splits a line into words and quoted texts; a '#' that starts a word starts
/// a comment. False on an unterminated text or an unknown escape.
bool tokenize(std::string_view line, std::vector<Token> &tokens, std::string &error) {
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token token{"", true};
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char ch = line[i++];
        if (ch == '"') {
          closed = true;
          break;
        }
        if (ch == '\\') {
          if (i >= line.size()) break;
          char escaped = line[i++];
          if (escaped == 'n')
            ch = '\n';
          else if (escaped == '"' || escaped == '\\')
            ch = escaped;
          else {
            error = "unknown escape \\" + std::string(1, escaped);
            return false;
          }
        }
        token.text += ch;
      }
      if (!closed) {
        error = "unterminated text";
        return false;
      }
      tokens.push_back(std::move(token));
    } else {
      std::size_t end = i;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t' &&
             line[end] != '\r' && line[end] != '"')
        ++end;
      tokens.push_back({std::string(line.substr(i, end - i)), false});
      i = end;
    }
  }
  return true;
}

bool parseInteger(const Token &token, long long low, long long high, long long &out) {
  if (token.quoted || token.text.empty()) return false;
  std::string_view text = token.text;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  unsigned long long value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    value = value * base + digit;
    if (value > 0xFFFFFFFFFFull) return false;
  }
  long long signedValue = negative ? -static_cast<long long>(value) : value;
  if (signedValue < low || signedValue > high) return false;
  out = signedValue;
  return true;
}

/// A code: a signed 32-bit value, written signed or as 32 bits in hexadecimal.
bool parseCode(const Token &token, std::int32_t &code) {
  long long value = 0;
  if (!parseInteger(token, std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFFll,
                    value))
    return false;
  code = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  return true;
}

bool parseUnsigned(const Token &token, std::uint32_t &out) {
  long long value = 0;
  if (!parseInteger(token, 0, 0xFFFFFFFFll, value)) return false;
  out = static_cast<std::uint32_t>(value);
  return true;
}

bool parseStatusWord(const Token &token, std::int32_t &out) {
  long long value = 0;
  if (!parseInteger(token, std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::int32_t>::max(), value))
    return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

bool is(const std::vector<Token> &t, std::size_t i, std::string_view word) {
  return i < t.size() && !t[i].quoted && t[i].text == word;
}

using Tokens = std::vector<Token>;

bool parseStartUp(const Tokens &t, Script &s) {
  const std::size_t n = t.size();
  std::int32_t code = 0;
  if (is(t, 0, "handle") && n == 2 && is(t, 1, "fail")) {
    s.handleFail = true;
  } else if (is(t, 0, "usb-devices") && n == 2 && t[1].quoted) {
    s.usbDevices = cp1250::fromUtf8(t[1].text);
    s.usbDevicesFail.reset();
  } else if (is(t, 0, "usb-devices") && n == 3 && is(t, 1, "fail") &&
             parseCode(t[2], code)) {
    s.usbDevicesFail = code;
    s.usbDevices.reset();
  } else if (is(t, 0, "open") && n == 3 && is(t, 1, "fail") && parseCode(t[2], code)) {
    s.openFail = code;
  } else if (is(t, 0, "describe") && n == 3 && parseCode(t[1], code) &&
             (t[2].quoted || is(t, 2, "none"))) {
    if (t[2].quoted)
      s.descriptions[code] = cp1250::fromUtf8(t[2].text);
    else
      s.descriptions[code] = std::nullopt;
  } else {
    return false;
  }
  return true;
}

bool parseStatusAndModem(const Tokens &t, Script &s) {
  const std::size_t n = t.size();
  std::int32_t code = 0;
  if (is(t, 0, "response-count") && n == 2 && parseCode(t[1], code)) {
    s.responseCount = code;
  } else if (is(t, 0, "status") && n == 3 && is(t, 1, "fail") &&
             parseCode(t[2], code)) {
    s.statusFail = code;
    s.status.reset();
  } else if (is(t, 0, "status") && n == 3) {
    StatusPair pair;
    if (!parseStatusWord(t[1], pair.global) || !parseStatusWord(t[2], pair.printer))
      return false;
    s.status = pair;
    s.statusFail.reset();
  } else if (n == 3 && !t[0].quoted && t[0].text.rfind("status#", 0) == 0) {
    std::uint32_t ordinal = 0;
    StatusAnswer answer;
    if (!parseUnsigned({t[0].text.substr(7), false}, ordinal) || ordinal == 0)
      return false;
    if (is(t, 1, "fail")) {
      if (!parseCode(t[2], code)) return false;
      answer.fail = code;
    } else if (!parseStatusWord(t[1], answer.pair.global) ||
               !parseStatusWord(t[2], answer.pair.printer)) {
      return false;
    }
    s.statusAnswers[ordinal] = answer;
  } else if (is(t, 0, "event") && n == 2 && is(t, 1, "none")) {
    s.eventNone = true;
  } else if (is(t, 0, "modem") && n == 4 && is(t, 1, "dial") && is(t, 2, "fail") &&
             parseCode(t[3], code)) {
    s.modemDialFail = code;
  } else if (is(t, 0, "modem") && n >= 3 && is(t, 1, "status")) {
    std::vector<std::int32_t> sequence;
    for (std::size_t i = 2; i < n; ++i) {
      if (!parseStatusWord(t[i], code)) return false;
      sequence.push_back(code);
    }
    s.modemStatus = std::move(sequence);
  } else {
    return false;
  }
  return true;
}

bool parseTimedChange(const Tokens &t, Script &s) {
  const std::size_t n = t.size();
  TimedChange change;
  std::uint32_t at = 0;
  if (!is(t, 0, "at") || n < 4 || !parseUnsigned(t[1], at)) return false;
  change.atMs = at;
  std::size_t next = 0;
  if (is(t, 2, "status") && n >= 5) {
    if (!parseStatusWord(t[3], change.pair.global) ||
        !parseStatusWord(t[4], change.pair.printer))
      return false;
    change.kind = TimedChange::Kind::Status;
    next = 5;
  } else if (is(t, 2, "paper") && (is(t, 3, "out") || is(t, 3, "in"))) {
    change.kind =
        is(t, 3, "out") ? TimedChange::Kind::PaperOut : TimedChange::Kind::PaperIn;
    next = 4;
  } else if (is(t, 2, "cover") && (is(t, 3, "open") || is(t, 3, "closed"))) {
    change.kind = is(t, 3, "open") ? TimedChange::Kind::CoverOpen
                                   : TimedChange::Kind::CoverClosed;
    next = 4;
  } else {
    return false;
  }
  if (next < n) {
    std::uint32_t every = 0, times = 0;
    if (n != next + 4 || !is(t, next, "every") || !parseUnsigned(t[next + 1], every) ||
        !is(t, next + 2, "times") || !parseUnsigned(t[next + 3], times) || every == 0 ||
        times == 0)
      return false;
    change.everyMs = every;
    change.times = times;
  }
  s.changes.push_back(change);
  return true;
}

bool parseSelector(const Token &token, RequestRule &rule) {
  if (token.quoted || token.text.empty()) return false;
  const std::size_t hash = token.text.find('#');
  rule.name = token.text.substr(0, hash);
  if (rule.name.empty()) return false;
  if (hash == std::string::npos) return true;
  std::uint32_t ordinal = 0;
  if (!parseUnsigned({token.text.substr(hash + 1), false}, ordinal) || ordinal == 0)
    return false;
  rule.ordinal = ordinal;
  return true;
}

bool parseRequestRule(const Tokens &t, Script &s) {
  const std::size_t n = t.size();
  RequestRule rule;
  using Kind = RequestRule::Kind;
  if (n < 2 || !parseSelector(t[0], rule)) return false;
  if (is(t, 1, "create") && n == 4 && is(t, 2, "fail") && parseCode(t[3], rule.code)) {
    rule.kind = Kind::CreateFail;
  } else if (is(t, 1, "post") && n == 4 && is(t, 2, "fail") &&
             parseCode(t[3], rule.code)) {
    rule.kind = Kind::PostFail;
  } else if (is(t, 1, "wait") && n == 3 && parseCode(t[2], rule.code)) {
    rule.kind = Kind::Wait;
  } else if (is(t, 1, "wait") && n == 5 && parseCode(t[2], rule.code) &&
             is(t, 3, "times") && parseUnsigned(t[4], rule.times) && rule.times > 0) {
    rule.kind = Kind::Wait;
  } else if (is(t, 1, "status") && n == 3 && parseCode(t[2], rule.code)) {
    rule.kind = Kind::Status;
  } else if (is(t, 1, "field") && n == 4 && !t[2].quoted && t[3].quoted) {
    rule.kind = Kind::Field;
    rule.key = t[2].text;
    rule.value = cp1250::fromUtf8(t[3].text);
  } else if (is(t, 1, "no-field") && n == 3 && !t[2].quoted) {
    rule.kind = Kind::NoField;
    rule.key = t[2].text;
  } else if (is(t, 1, "no-fields") && n == 2) {
    rule.kind = Kind::NoFields;
  } else if (is(t, 1, "busy") && n == 3 && parseUnsigned(t[2], rule.ms)) {
    rule.kind = Kind::Busy;
  } else if (is(t, 1, "never") && n == 2) {
    rule.kind = Kind::Never;
  } else if (is(t, 1, "lost") && n == 2) {
    rule.kind = Kind::Lost;
  } else {
    return false;
  }
  s.requests.push_back(std::move(rule));
  return true;
}

} // namespace

ParsedScript parseScript(std::string_view text) {
  ParsedScript parsed;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    std::vector<Token> tokens;
    std::string error;
    bool understood = tokenize(line, tokens, error);
    if (understood && tokens.empty()) continue;
    if (understood) {
      understood = parseStartUp(tokens, parsed.script) ||
                   parseStatusAndModem(tokens, parsed.script) ||
                   parseTimedChange(tokens, parsed.script) ||
                   parseRequestRule(tokens, parsed.script);
      if (!understood) error = "not understood";
    }
    if (!understood)
      parsed.errors.push_back("line " + std::to_string(lineNumber) + ": " + error +
                              ": " + std::string(line));
  }
  return parsed;
}

std::shared_ptr<const Script> loadScript(const std::string &path,
                                         std::vector<std::string> *errors,
                                         std::string *text) {
  std::string content;
  const platform::ReadResult read =
      platform::readRegularFile(path, kMaxScriptBytes, &content);
  if (read != platform::ReadResult::Read) {
    std::string reason = platform::describeReadResult(read);
    if (read == platform::ReadResult::TooLarge)
      reason += " (a script has at most " + std::to_string(kMaxScriptBytes) + " bytes)";
    errors->push_back(reason);
    return nullptr;
  }
  ParsedScript parsed = parseScript(content);
  if (!parsed.errors.empty()) {
    *errors = std::move(parsed.errors);
    return nullptr;
  }
  if (text != nullptr) *text = std::move(content);
  return std::make_shared<const Script>(std::move(parsed.script));
}

Script mergeScripts(const Script &earlier, const Script &later) {
  Script merged = earlier;
  auto take = [](auto &into, const auto &from) {
    if (from) into = from;
  };
  merged.handleFail = earlier.handleFail || later.handleFail;
  if (later.usbDevices || later.usbDevicesFail) {
    merged.usbDevices = later.usbDevices;
    merged.usbDevicesFail = later.usbDevicesFail;
  }
  take(merged.openFail, later.openFail);
  for (const auto &[code, text] : later.descriptions)
    merged.descriptions[code] = text;
  merged.requests.insert(merged.requests.end(), later.requests.begin(),
                         later.requests.end());
  take(merged.responseCount, later.responseCount);
  if (later.status || later.statusFail) {
    merged.status = later.status;
    merged.statusFail = later.statusFail;
  }
  for (const auto &[ordinal, answer] : later.statusAnswers)
    merged.statusAnswers[ordinal] = answer;
  merged.eventNone = earlier.eventNone || later.eventNone;
  merged.changes.insert(merged.changes.end(), later.changes.begin(),
                        later.changes.end());
  take(merged.modemDialFail, later.modemDialFail);
  if (!later.modemStatus.empty()) merged.modemStatus = later.modemStatus;
  return merged;
}

} // namespace talmer
