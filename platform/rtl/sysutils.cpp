#include "platform/rtl/sysutils.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace quintrel::rtl {

namespace {

[[noreturn]] void BadFormat(std::string_view format) {
  throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string Pad(std::string text, int width, bool left) {
  if (width > 0 && static_cast<int>(text.size()) < width) {
    std::string fill(width - text.size(), ' ');
    text = left ? text + fill : fill + text;
  }
  return text;
}

// Thousands separators for %n and %m; the system's messages only need the plain form.
std::string Group(const std::string& digits) {
  std::string out;
  size_t start = (digits[0] == '-') ? 1 : 0;
  size_t dot = digits.find('.');
  size_t intEnd = dot == std::string::npos ? digits.size() : dot;
  out.append(digits, 0, start);
  for (size_t i = start; i < intEnd; ++i) {
    out.push_back(digits[i]);
    size_t rest = intEnd - i - 1;
    if (rest > 0 && rest % 3 == 0) out.push_back(',');
  }
  out.append(digits, intEnd, std::string::npos);
  return out;
}

std::string Printf(const char* fmt, int precision, double value) {
  char buf[512];
  int n = std::snprintf(buf, sizeof buf, fmt, precision, value);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof buf) return std::string(buf, n);
  std::vector<char> big(n + 1);
  std::snprintf(big.data(), big.size(), fmt, precision, value);
  return std::string(big.data(), n);
}

}  // namespace

std::string FormatList(std::string_view format, std::initializer_list<TVarRec> args) {
  std::vector<const TVarRec*> list;
  list.reserve(args.size());
  for (const auto& a : args) list.push_back(&a);

  std::string out;
  size_t argIndex = 0;
  size_t i = 0;
  auto nextArg = [&]() -> const TVarRec& {
    if (argIndex >= list.size()) BadFormat(format);
    return *list[argIndex++];
  };
  auto readNumber = [&](int& value) -> bool {
    if (i < format.size() && format[i] == '*') {
      const auto& v = nextArg().Value();
      if (!std::holds_alternative<int64_t>(v)) BadFormat(format);
      value = static_cast<int>(std::get<int64_t>(v));
      ++i;
      return true;
    }
    bool any = false;
    value = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      value = value * 10 + (format[i] - '0');
      if (value > 100000) BadFormat(format);
      ++i;
      any = true;
    }
    return any;
  };

  while (i < format.size()) {
    char c = format[i++];
    if (c != '%') {
      out.push_back(c);
      continue;
    }
    if (i >= format.size()) BadFormat(format);
    if (format[i] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    // Optional index "n:", then flags, width and precision.
    int number = 0;
    bool left = false;
    int width = -1;
    int precision = -1;
    size_t mark = i;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9' && number <= 100000)
      number = number * 10 + (format[i++] - '0');
    if (i > mark && i < format.size() && format[i] == ':') {
      if (static_cast<size_t>(number) >= list.size()) BadFormat(format);
      argIndex = number;
      ++i;
    } else {
      i = mark;
    }
    if (i < format.size() && format[i] == '-') {
      left = true;
      ++i;
    }
    int value;
    if (readNumber(value)) width = value;
    if (i < format.size() && format[i] == '.') {
      ++i;
      precision = readNumber(value) ? value : 0;
    }
    if (i >= format.size()) BadFormat(format);
    char type = static_cast<char>(format[i++] | 0x20);  // the type letter is case-insensitive
    const auto& v = nextArg().Value();
    std::string text;
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        if (!std::holds_alternative<int64_t>(v)) BadFormat(format);
        int64_t n = std::get<int64_t>(v);
        if (type == 'x') {
          uint64_t u = (n < 0 && n >= INT32_MIN) ? static_cast<uint32_t>(n) : static_cast<uint64_t>(n);
          text = IntToHex(u, precision > 0 ? precision : 1);
        } else {
          if (type == 'u' && n < 0 && n >= INT32_MIN) n = static_cast<uint32_t>(n);
          bool negative = n < 0;
          std::string digits = std::to_string(negative ? -static_cast<uint64_t>(n) : static_cast<uint64_t>(n));
          if (negative) digits = std::to_string(n).substr(1);
          if (precision > static_cast<int>(digits.size())) digits.insert(0, precision - digits.size(), '0');
          text = negative ? "-" + digits : digits;
        }
        break;
      }
      case 'f':
      case 'e':
      case 'g':
      case 'n':
      case 'm': {
        double d;
        if (std::holds_alternative<double>(v)) d = std::get<double>(v);
        else if (std::holds_alternative<int64_t>(v)) d = static_cast<double>(std::get<int64_t>(v));
        else BadFormat(format);
        if (type == 'e') {
          int digits = precision < 1 ? 15 : precision;  // significant digits
          text = Printf("%.*E", digits - 1, d);
        } else if (type == 'g') {
          text = Printf("%.*G", precision < 0 ? 15 : precision, d);
        } else {
          text = Printf("%.*f", precision < 0 ? 2 : precision, d);
          if (type != 'f') text = Group(text);
        }
        break;
      }
      case 's': {
        if (std::holds_alternative<std::string>(v)) text = std::get<std::string>(v);
        else BadFormat(format);
        if (precision >= 0 && static_cast<size_t>(precision) < text.size()) text.resize(precision);
        break;
      }
      case 'p': {
        if (!std::holds_alternative<int64_t>(v)) BadFormat(format);
        text = IntToHex(static_cast<uint64_t>(std::get<int64_t>(v)), 8);
        break;
      }
      default:
        BadFormat(format);
    }
    out += Pad(std::move(text), width, left);
  }
  return out;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(uint64_t value, int digits) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), hex[value & 15]);
    value >>= 4;
  } while (value != 0);
  if (digits > static_cast<int>(out.size())) out.insert(0, digits - out.size(), '0');
  return out;
}

bool TryStrToInt(std::string_view text, int64_t& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  uint64_t u = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), u, base);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (u > static_cast<uint64_t>(INT64_MAX) + (negative ? 1 : 0)) return false;
  value = negative ? static_cast<int64_t>(0 - u) : static_cast<int64_t>(u);
  return true;
}

int64_t StrToInt(std::string_view text) {
  int64_t value;
  if (!TryStrToInt(text, value)) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return value;
}

}  // namespace quintrel::rtl
