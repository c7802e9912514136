// Console output and input of the programs: the one path by which their texts
// reach standard output.
//
// Texts are code page 1250 bytes. Into a file or a pipe they pass unchanged;
// on a terminal that shows UTF-8 (or on a Windows console) they are shown so
// that Polish letters read right.
#pragma once

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

/// Discards what is still buffered of standard input: the rest of the
/// current line, as a console holds it. Returns false at end of input.
bool discardBufferedInput();

} // namespace console
