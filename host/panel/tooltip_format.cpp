// Formatting of tooltip texts with numbered arguments.
#include "host/panel/tooltip_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace host {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

void append(std::string& out, const char* s, size_t n)
{
    if (out.size() >= TOOLTIP_MAX_LENGTH) return;
    out.append(s, std::min(n, TOOLTIP_MAX_LENGTH - out.size()));
}

// Parses "N!printf_format!" at `p` (just after the percent sign). On success fills the
// argument number, the printf printf_format ("%" + printf_format, NUL-terminated) and its
// conversion letter, and returns the length consumed.
size_t parse_reference(std::string_view text, size_t p, int* arg, char* printf_format, char* conversion)
{
    size_t i = p;
    int n = 0;
    int digits = 0;
    while (i < text.size() && is_digit(text[i]) && digits < 2) n = n * 10 + (text[i++] - '0'), ++digits;
    if (digits == 0 || n == 0 || i >= text.size() || text[i] != '!') return 0;
    ++i;
    size_t s = 0;
    printf_format[s++] = '%';
    while (i < text.size() && std::strchr("-+ #0", text[i]) && s < 8) printf_format[s++] = text[i++];
    if (i < text.size() && std::strchr("-+ #0", text[i])) return 0;
    for (int k = 0; k < 2 && i < text.size() && is_digit(text[i]); ++k) printf_format[s++] = text[i++];
    if (i < text.size() && is_digit(text[i])) return 0;
    if (i < text.size() && text[i] == '.') {
        printf_format[s++] = text[i++];
        for (int k = 0; k < 2 && i < text.size() && is_digit(text[i]); ++k) printf_format[s++] = text[i++];
        if (i < text.size() && is_digit(text[i])) return 0;
    }
    if (i >= text.size() || !std::strchr("diuxXfFeEgGs", text[i]) || text[i] == '\0') return 0;
    *conversion = text[i];
    ++i;
    if (i >= text.size() || text[i] != '!') return 0;
    ++i;
    printf_format[s] = '\0';
    *arg = n;
    return i - p;
}

long long saturating_integer(double v)
{
    if (std::isnan(v)) return 0;
    if (v >= 9.2e18) return 9200000000000000000LL;
    if (v <= -9.2e18) return -9200000000000000000LL;
    return static_cast<long long>(v);
}

// Builds a printf format from the parsed printf_format ("%" flags width precision),
// keeping only the flags that are defined for `conversion`, then the length
// modifier and the conversion.
void build_format(const char* printf_format, const char* allowed_flags, const char* modifier, char conversion, char* fmt,
                  size_t size)
{
    size_t o = 0;
    fmt[o++] = '%';
    const char* p = printf_format + 1;
    for (; *p && std::strchr("-+ #0", *p); ++p)
        if (std::strchr(allowed_flags, *p) && o < size - 8) fmt[o++] = *p;
    for (; *p && o < size - 6; ++p) fmt[o++] = *p;  // width and precision
    for (const char* m = modifier; *m && o < size - 2; ++m) fmt[o++] = *m;
    fmt[o++] = conversion;
    fmt[o] = '\0';
}

void format_value(const char* printf_format, char conversion, const TooltipValue& value, std::string& out)
{
    char buffer[192];
    char fmt[32];
    int n = 0;
    if (value.is_text || conversion == 's') {
        char number[64];
        const char* text = value.text ? value.text : "";
        if (!value.is_text) {
            std::snprintf(number, sizeof number, "%g", value.number);
            text = number;
        }
        const size_t length = std::strlen(text);
        build_format(printf_format, "-", "", 's', fmt, sizeof fmt);
        n = std::snprintf(buffer, sizeof buffer, fmt, text);
        if (n < 0) return;
        if (static_cast<size_t>(n) < sizeof buffer) append(out, buffer, static_cast<size_t>(n));
        else append(out, text, length);  // longer than any padding: the text as it is
        return;
    }
    const long long whole = saturating_integer(value.number);
    switch (conversion) {
    case 'd':
    case 'i':
        build_format(printf_format, "-+ 0", "ll", conversion, fmt, sizeof fmt);
        n = std::snprintf(buffer, sizeof buffer, fmt, whole);
        break;
    case 'u':
    case 'x':
    case 'X':
        build_format(printf_format, conversion == 'u' ? "-0" : "-#0", "ll", conversion, fmt, sizeof fmt);
        n = std::snprintf(buffer, sizeof buffer, fmt, static_cast<unsigned long long>(whole));
        break;
    default:
        build_format(printf_format, "-+ #0", "", conversion, fmt, sizeof fmt);
        n = std::snprintf(buffer, sizeof buffer, fmt, value.number);
        break;
    }
    if (n > 0) append(out, buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}

}  // namespace

void format_tooltip(std::string_view text, const TooltipValue* values, size_t count, std::string& out)
{
    out.clear();
    size_t i = 0;
    while (i < text.size() && out.size() < TOOLTIP_MAX_LENGTH) {
        const size_t percent = text.find('%', i);
        if (percent == std::string_view::npos) {
            append(out, text.data() + i, text.size() - i);
            break;
        }
        append(out, text.data() + i, percent - i);
        if (percent + 1 < text.size() && text[percent + 1] == '%') {
            append(out, "%", 1);
            i = percent + 2;
            continue;
        }
        int arg = 0;
        char printf_format[24];
        char conversion = 0;
        const size_t used = parse_reference(text, percent + 1, &arg, printf_format, &conversion);
        if (used == 0) {
            append(out, "%", 1);
            i = percent + 1;
            continue;
        }
        if (static_cast<size_t>(arg) > count || !values) append(out, "?", 1);
        else format_value(printf_format, conversion, values[arg - 1], out);
        i = percent + 1 + used;
    }
}

size_t resolve_tooltip_args(const MOUSE_TOOLTIP_ARG* args, double (*module_variable)(void*, ID), void* user,
                            TooltipValue* values)
{
    if (!args) return 0;
    size_t n = 0;
    for (; n < TOOLTIP_MAX_ARGS; ++n) {
        const MOUSE_TOOLTIP_ARG& a = args[n];
        if (!a.number_callback && !a.text_callback && a.source_var == 0) break;
        double base = 0.0;
        if (a.source_var != 0 && module_variable) base = module_variable(user, a.source_var) * a.scale;
        TooltipValue& v = values[n];
        v = TooltipValue{};
        if (a.text_callback) {
            v.is_text = true;
            v.text = a.text_callback(base, &a);
        } else {
            v.number = a.number_callback ? a.number_callback(base, &a) : base;
        }
    }
    return n;
}

}  // namespace host
