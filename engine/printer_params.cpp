#include "engine/printer_params.h"

#include "engine/status_codes.h"
#include "engine/text_checks.h"

#include <algorithm>

namespace talmer {
namespace {

// Digits only, at most 15 of them (so that the value fits with room to spare).
bool parseDigits(std::string_view text, long long *out) {
  if (!allDigits(text) || text.size() > 15) return false;
  long long value = 0;
  for (char c : text)
    value = value * 10 + (c - '0');
  *out = value;
  return true;
}

} // namespace

long long daysFromDate(const Date &date) {
  // Howard Hinnant's days_from_civil.
  const int y = date.year - (date.month <= 2 ? 1 : 0);
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned mp = static_cast<unsigned>((date.month + 9) % 12);
  const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(date.day) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

Date dateFromDays(long long days) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  Date date;
  date.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  date.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  date.year =
      static_cast<int>(static_cast<long long>(yoe) + era * 400 + (date.month <= 2));
  return date;
}

bool isRealDate(const Date &date) {
  if (date.year < 1970 || date.year > 2099 || date.month < 1 || date.month > 12 ||
      date.day < 1)
    return false;
  return dateFromDays(daysFromDate(date)) == date;
}

bool parseDate(std::string_view text, Date *out) {
  long long y = 0, m = 0, d = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
      !parseDigits(text.substr(0, 4), &y) || !parseDigits(text.substr(5, 2), &m) ||
      !parseDigits(text.substr(8, 2), &d))
    return false;
  Date date{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
  if (!isRealDate(date)) return false;
  *out = date;
  return true;
}

const std::string *Params::find(std::string_view key) const {
  const std::string *found = nullptr;
  for (const Field &f : fields_)
    if (f.name == key) found = &f.value;
  return found;
}

std::int32_t Params::onlyKeys(std::initializer_list<std::string_view> keys) const {
  for (const Field &f : fields_)
    if (std::find(keys.begin(), keys.end(), f.name) == keys.end()) return kUnknownKey;
  return kOk;
}

std::int32_t Params::number(std::string_view key, bool required, long long min,
                            long long max, long long *out) const {
  const std::string *value = find(key);
  if (value == nullptr) return required ? kMissingParameter : kOk;
  long long parsed = 0;
  if (!allDigits(*value)) return kBadNumber;
  if (!parseDigits(*value, &parsed) || parsed < min || parsed > max) return kOutOfRange;
  *out = parsed;
  return kOk;
}

std::int32_t Params::quantity(std::string_view key, long long *thousandths) const {
  const std::string *value = find(key);
  if (value == nullptr) return kOk;
  std::string_view text = *value;
  const std::size_t point = text.find_first_of(".,");
  std::string_view whole = text.substr(0, point);
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  long long units = 0, parts = 0;
  if (!parseDigits(whole, &units) ||
      (point != std::string_view::npos && !parseDigits(fraction, &parts)))
    return kBadNumber;
  if (fraction.size() > 3 || units > 99999) return kOutOfRange;
  for (std::size_t i = fraction.size(); i < 3; ++i)
    parts *= 10;
  const long long q = units * 1000 + parts;
  if (q == 0) return kOutOfRange;
  *thousandths = q;
  return kOk;
}

std::int32_t Params::text(std::string_view key, bool required, std::size_t maxLength,
                          std::string *out) const {
  const std::string *value = find(key);
  if (value == nullptr || value->empty()) return required ? kMissingParameter : kOk;
  if (value->size() > maxLength) return kTextTooLong;
  *out = *value;
  return kOk;
}

std::int32_t Params::date(std::string_view key, Date *out) const {
  const std::string *value = find(key);
  if (value == nullptr) return kMissingParameter;
  return parseDate(*value, out) ? kOk : kBadDate;
}

} // namespace talmer
