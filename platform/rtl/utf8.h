// The one UTF-8 codec of the system. Every layer that meets UTF-8 (terminal output, JSON,
// form streams, the executable's path, command-line texts) converts through it, so that a
// byte sequence means the same everywhere.
//
// Well-formed UTF-8 is the shortest form of a Unicode scalar value: no overlong forms
// (C0 AF is not '/'), no encoded surrogates (ED A0 80), nothing above U+10FFFF, no
// sequence cut short. Wide text is UTF-16 code units, which may hold unpaired surrogates.
//
// Encoding (UTF-16 -> UTF-8). A surrogate pair becomes its four-byte form. An unpaired
// surrogate has no UTF-8 form and becomes U+FFFD (EF BF BD), so the output is always
// well-formed. A text that must keep such units (a dump that is loaded again) escapes them
// itself before it reaches this codec.
//
// Decoding (UTF-8 -> UTF-16) comes in two kinds:
//  - lenient, for text that is shown or kept as read: each maximal ill-formed subsequence
//    (the longest start of a sequence that could still have become well-formed, or one
//    byte where none could) becomes one U+FFFD and decoding goes on after it, as the
//    Unicode standard recommends. "\xE6\x9Dx" gives U+FFFD 'x'; "\xC0\xAF" gives two.
//  - strict, for input that is about to be stored: an ill-formed sequence refuses the
//    whole text and reports the byte offset where it starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quintrel::rtl {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// One code point read from a position of a text.
struct TCodePointAt {
  // The scalar value; for an ill-formed sequence U+FFFD, for an unpaired surrogate in
  // UTF-16 the unit itself.
  char32_t CodePoint = kReplacementCharacter;
  // Code units taken: the whole well-formed sequence, or the maximal ill-formed
  // subsequence (at least 1, so that a loop always advances).
  size_t Length = 1;
  bool Valid = false;
};

// Reads the UTF-8 sequence that starts at s[pos]; pos must be below s.size().
TCodePointAt DecodeUtf8At(std::string_view s, size_t pos);
// Reads the code point at s[pos]: a surrogate pair (Length 2), any other unit (Length 1),
// or an unpaired surrogate (Length 1, not Valid). pos must be below s.size().
TCodePointAt DecodeUtf16At(std::u16string_view s, size_t pos);

// Appends one code point. A value that is no scalar value (a surrogate, above U+10FFFF)
// is appended as U+FFFD.
void AppendUtf8(std::string& out, char32_t c);
void AppendUtf16(std::u16string& out, char32_t c);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::u16string_view s);
// Lenient UTF-8 to UTF-16: one U+FFFD per maximal ill-formed subsequence.
std::u16string Utf8ToWide(std::string_view s);

// The byte offset where the first ill-formed sequence of s starts; npos when s is
// well-formed UTF-8.
size_t FindInvalidUtf8(std::string_view s);
// Strict UTF-8 to UTF-16: the text, or nullopt (and *badOffset set to the offset of the
// first ill-formed sequence) when s is not well-formed.
std::optional<std::u16string> Utf8ToWideStrict(std::string_view s, size_t* badOffset = nullptr);

}  // namespace quintrel::rtl
