// Code page 1250 (Windows Central European) and UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace cp1250 {

/// Each byte of code page 1250 text as UTF-8. Bytes that the code page
/// leaves undefined become U+FFFD.
std::string toUtf8(std::string_view text);

/// UTF-8 text in code page 1250. Characters that the code page lacks, and
/// malformed sequences, become '?'.
std::string fromUtf8(std::string_view text);

} // namespace cp1250
