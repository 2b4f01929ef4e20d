// Whole-number attributes read the way "%d" reads them (leading white space,
// an optional sign, the digits that follow; "85.5" gives 85, "abc" gives
// nothing), but without the undefined result "%d" has for a number beyond
// the 32-bit range: such a number gives the nearest end of the range.
#pragma once

#include <tinyxml.h>

#include <cstdint>

// Stores the attribute's number in `value` and returns true; an absent
// attribute, or one whose text does not begin with a number, leaves `value`
// as it was and returns false.
inline bool query_int32_attribute(const TiXmlElement* element, const char* name, int32_t* value)
{
    const char* text = element->Attribute(name);
    if (!text) return false;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    if (*text < '0' || *text > '9') return false;
    int64_t magnitude = 0;
    constexpr int64_t limit = static_cast<int64_t>(INT32_MAX) + 1;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude < limit) magnitude = magnitude * 10 + (*text - '0');
    }
    if (magnitude > limit) magnitude = limit;
    if (!negative && magnitude == limit) magnitude = INT32_MAX;
    *value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}
