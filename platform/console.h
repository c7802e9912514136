// Console output and input of the programs: the one path by which their texts
// reach standard output.
//
// Texts are code page 1250 bytes. Into a file or a pipe they pass unchanged;
// on a terminal whose locale is UTF-8 (or on a Windows console) they are shown
// so that Polish letters read right (platform::prepareConsoleOutput).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace console {

/// printf-style output to standard output. Pass long for %ld.
void print(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/// Writes text as it stands.
void write(std::string_view text);

/// Writes a whole line (text and a line feed) in one piece and flushes, so
/// that lines written from different threads never interleave.
void writeLine(std::string_view text);

void flush();

/// How a read of a whole number ended.
enum class NumberRead { Read, OutOfRange, NotANumber, EndOfInput };

/// Reads a whole number as scanf("%d") does: white space, line ends
/// included, is skipped, then an optional sign and decimal digits are read;
/// the first character that cannot belong to the number stays in the input.
/// A number beyond 32 signed bits is read whole and gives OutOfRange, never a
/// wrapped value. NotANumber leaves the offending character in the input
/// (after a lone sign, which is taken); EndOfInput comes when only white
/// space was left. number is set only by Read.
NumberRead readNumber(std::int32_t &number, std::FILE *in = stdin);

/// Discards what is still buffered of standard input: the rest of the
/// current line, as a console holds it. Returns false at end of input.
bool discardBufferedInput();

} // namespace console
