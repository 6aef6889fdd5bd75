// Comparisons of identifiers, which the component model treats case-insensitively in
// the ASCII range (class, property, component and enumeration names).
#pragma once

#include <string>
#include <string_view>

namespace quintrel::vcl {

bool SameText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view text);
std::string LowerCase(std::string_view text);

}  // namespace quintrel::vcl
