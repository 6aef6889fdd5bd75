// Language runtime basics: the general exception class, Delphi-style Format and the
// small conversions the rest of the system formats its messages with.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace quintrel::rtl {

// The general exception class: every exception the system raises derives from it, and
// its message is the text shown to the user.
class Exception : public std::exception {
public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

private:
  std::string message_;
};

// Raised by Format on a bad format string or an argument of the wrong kind, and by the
// string-to-number conversions.
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// One argument of Format: an integer, a floating-point number or a string.
class TVarRec {
public:
  TVarRec(int v) : value_(static_cast<int64_t>(v)) {}
  TVarRec(long v) : value_(static_cast<int64_t>(v)) {}
  TVarRec(long long v) : value_(static_cast<int64_t>(v)) {}
  TVarRec(unsigned v) : value_(static_cast<int64_t>(v)) {}
  TVarRec(unsigned long v) : value_(static_cast<int64_t>(v)) {}
  TVarRec(unsigned long long v) : value_(static_cast<int64_t>(v)) {}
  TVarRec(double v) : value_(v) {}
  TVarRec(const char* v) : value_(std::string(v ? v : "")) {}
  TVarRec(std::string v) : value_(std::move(v)) {}
  TVarRec(std::string_view v) : value_(std::string(v)) {}

  const std::variant<int64_t, double, std::string>& Value() const { return value_; }

private:
  std::variant<int64_t, double, std::string> value_;
};

// Formats with the conventions of the system's message texts:
//   %[index:][-][width][.precision]type  with type d u x s f e g n m p
// '*' stands for width or precision taken from the arguments; %% is a percent sign.
// %d with a precision pads with zeros to that many digits; %x prints upper-case hex
// (a negative value as its 32-bit two's complement); %s with a precision cuts the string.
std::string FormatList(std::string_view format, std::initializer_list<TVarRec> args);

template <typename... Args>
std::string Format(std::string_view format, const Args&... args) {
  return FormatList(format, {TVarRec(args)...});
}

std::string IntToStr(int64_t value);
// Upper-case hexadecimal with at least `digits` digits.
std::string IntToHex(uint64_t value, int digits);
// Decimal or, with a leading '$' or "0x", hexadecimal; surrounding blanks are allowed.
// Raises EConvertError naming the text when it is not a number.
int64_t StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, int64_t& value);

}  // namespace quintrel::rtl
