#include "engine/text_checks.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace talmer {
namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

bool oneOf(std::string_view value, std::initializer_list<std::string_view> allowed) {
  for (std::string_view a : allowed)
    if (a == value) return true;
  return false;
}

bool validPort(std::string_view port) {
  if (port.size() < 4 || port.size() > 5 || port.substr(0, 3) != "COM") return false;
  std::string_view number = port.substr(3);
  if (number[0] < '1' || number[0] > '9') return false;
  int value = 0;
  for (char c : number) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 16;
}

} // namespace

bool allDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](char c) { return c >= '0' && c <= '9'; });
}

bool validSerialSettings(std::string_view settings) {
  const std::vector<std::string_view> f = split(settings, ',');
  return f.size() == 6 && validPort(f[0]) &&
         oneOf(f[1],
               {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}) &&
         oneOf(f[2], {"7", "8"}) && oneOf(f[3], {"N", "E", "O"}) &&
         oneOf(f[4], {"1", "2"}) && oneOf(f[5], {"N", "H", "S"});
}

bool validModemCommand(std::string_view command) {
  if (command.size() < 2 || command.size() > 62) return false;
  if ((command[0] != 'A' && command[0] != 'a') ||
      (command[1] != 'T' && command[1] != 't'))
    return false;
  for (char c : command.substr(2)) {
    const bool alnum =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum && std::strchr(" &%\\=?+-*#,;!@^$.:/()", c) == nullptr) return false;
  }
  return true;
}

std::optional<Fields> parseParamList(std::string_view list) {
  if (list.empty()) return std::nullopt;
  Fields fields;
  for (std::string_view line : split(list, '\n')) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos || comma == 0) return std::nullopt;
    fields.push_back(
        {std::string(line.substr(0, comma)), std::string(line.substr(comma + 1))});
  }
  return fields;
}

std::vector<std::string> splitListing(std::string_view listing) {
  std::vector<std::string> serials;
  for (std::string_view part : split(listing, ';'))
    if (!part.empty()) serials.emplace_back(part);
  return serials;
}

} // namespace talmer
