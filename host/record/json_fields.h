// Fields of a timeline record's JSON data, read leniently: a missing field or
// one of another type is the empty text or `otherwise`.
#pragma once

#include <nlohmann/json.hpp>

#include <cmath>
#include <string>

namespace host {

inline std::string text_of(const nlohmann::json& data, const char* key)
{
    auto it = data.find(key);
    return it != data.end() && it->is_string() ? it->get<std::string>() : std::string();
}

inline double number_of(const nlohmann::json& data, const char* key, double otherwise = NAN)
{
    auto it = data.find(key);
    return it != data.end() && it->is_number() ? it->get<double>() : otherwise;
}

}  // namespace host
