// The report of an exception stopped at an entry point.
#include "module/entry_guard.h"

#include <cstddef>

#include "platform/process.h"

void report_entry_exception(const char* entry) noexcept
{
    try {
        char line[128] = "exception caught in ";
        const size_t used = sizeof "exception caught in " - 1;
        size_t i = 0;
        for (; entry[i] && used + i + 1 < sizeof line; ++i) line[used + i] = entry[i];
        line[used + i] = '\0';
        process_error_line(line);
    } catch (...) {
        // Nothing more can be said safely.
    }
}
