#include "platform/vcl/textutil.h"

#include <algorithm>

namespace quintrel::vcl {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool StartsText(std::string_view prefix, std::string_view text) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (auto& c : out) c = Lower(c);
  return out;
}

}  // namespace quintrel::vcl
