// Reading and checking a request's parameters. Each check returns kOk or the
// status code that refuses the request.
#pragma once

#include "engine/inside.h"
#include "engine/printer.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace talmer {

/// A calendar date.
struct Date {
  int year = 0, month = 0, day = 0;
  auto operator<=>(const Date &) const = default;
};

/// Days since 1970-01-01 of a date (proleptic Gregorian calendar), and back.
long long daysFromDate(const Date &date);
Date dateFromDays(long long days);
bool isRealDate(const Date &date);

class Params {
public:
  explicit Params(const Fields &fields) : fields_(fields) {}

  /// The value of a key (the last one given wins), or null.
  const std::string *find(std::string_view key) const;
  bool has(std::string_view key) const { return find(key) != nullptr; }

  /// Refuses keys not in the list.
  std::int32_t onlyKeys(std::initializer_list<std::string_view> keys) const;

  /// A whole number of decimal digits (leading zeros allowed) in [min, max].
  /// An absent optional key leaves *out as it is.
  std::int32_t number(std::string_view key, bool required, long long min, long long max,
                      long long *out) const;

  /// A quantity in thousandths: "2", "1.5", "0,250" (up to three decimals).
  std::int32_t quantity(std::string_view key, long long *thousandths) const;

  /// A text of 1 to maxLength bytes (code page 1250).
  std::int32_t text(std::string_view key, bool required, std::size_t maxLength,
                    std::string *out) const;

  /// A date "YYYY-MM-DD" that exists.
  std::int32_t date(std::string_view key, Date *out) const;

private:
  const Fields &fields_;
};

/// Parses "YYYY-MM-DD" strictly; false unless it is a real date.
bool parseDate(std::string_view text, Date *out);

} // namespace talmer
