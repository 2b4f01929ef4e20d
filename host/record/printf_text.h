// A printf-formatted line as a std::string, for the bench's reports (the
// summary and the story). Longer results are cut at 1023 characters.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace host {

std::string printf_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string printf_text(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

}  // namespace host
