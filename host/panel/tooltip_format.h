// Tooltip texts with numbered arguments, as the host formats them:
// "%1!07.3f!" is argument 1 formatted as "%07.3f", "%4!s!" argument 4 as a
// text, "%3!d!" argument 3 as an integer.
//
// Rules of our host: arguments count from 1; a conversion is one of
// d i u x X f F e E g G s, after optional flags "-+ #0", a width and a
// precision of at most two digits each. A number under "d" is truncated
// toward zero (NaN gives 0, values beyond the 64-bit range saturate); a
// number under "s" prints as "%g"; a text under a numeric conversion prints
// as the text; a null text prints nothing; an argument past the end of the
// list prints "?". "%%" is a percent sign; anything else that is not a
// well-formed argument reference is copied as it stands. The result is cut at
// TOOLTIP_MAX_LENGTH characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/gauge_interface.h"

namespace host {

constexpr size_t TOOLTIP_MAX_LENGTH = 1024;
constexpr size_t TOOLTIP_MAX_ARGS = 32;

struct TooltipValue {
    bool is_text = false;
    double number = 0.0;
    const char* text = nullptr;  // may be null
};

// Formats `text` with `values` (values[0] is argument 1) into `out`.
void format_tooltip(std::string_view text, const TooltipValue* values, size_t count, std::string& out);

// Evaluates a module's argument list (ended by an entry with no callbacks and
// no source) into `values`, at most TOOLTIP_MAX_ARGS; returns the count. A
// source variable is read through `module_variable` and scaled.
size_t resolve_tooltip_args(const MOUSE_TOOLTIP_ARG* args, double (*module_variable)(void*, ID), void* user,
                            TooltipValue* values);

}  // namespace host
