// Form files as a whole: telling the notations apart, converting between them and
// reading and writing them on disk.
#include <algorithm>

#include "platform/vcl/filer.h"

namespace quintrel::vcl {

namespace {

std::string StreamContent(rtl::TStream& input) {
  std::string data;
  int64_t size = input.Size() - input.Position();
  if (size <= 0) return data;
  data.resize(static_cast<size_t>(size));
  input.ReadBuffer(data.data(), data.size());
  return data;
}

void WriteAll(rtl::TStream& output, const std::string& data) { output.WriteBuffer(data.data(), data.size()); }

bool HoldsUtf8(const TStreamValue& v) {
  if (v.Type == vaUTF8String) return true;
  if (std::any_of(v.List.begin(), v.List.end(), HoldsUtf8)) return true;
  for (const auto& item : v.Items)
    for (const auto& p : item.Properties)
      if (HoldsUtf8(p.Value)) return true;
  return false;
}

bool HoldsUtf8(const TStreamObject& obj) {
  for (const auto& p : obj.Properties)
    if (HoldsUtf8(p.Value)) return true;
  return std::any_of(obj.Children.begin(), obj.Children.end(),
                     [](const TStreamObject& c) { return HoldsUtf8(c); });
}

std::string UpperCase(std::string s) {
  for (auto& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

}  // namespace

TFormStream ReadForm(std::string_view data, const TTextReadOptions& options) {
  if (LooksLikeBinaryForm(data)) return ReadBinaryForm(data);
  return ReadTextForm(data, options);
}

void DetectStyle(TFormStream& form) {
  // Only writers that know UTF-8 strings spell floats with 18 decimals.
  if (form.Notation == TFormNotation::fnBinary && HoldsUtf8(form.Root)) {
    form.WideStringType = vaUTF8String;
    form.FloatStyle = TFloatStyle::fsFixed18;
  }
}

TFormStream ToBinaryNotation(const TFormStream& textForm) {
  TFormStream form = textForm;
  if (form.Notation == TFormNotation::fnBinary) return form;
  form.Notation = TFormNotation::fnBinary;
  form.Trailer.clear();
  if (!form.Header) form.Header = TResourceHeader{UpperCase(form.Root.ClassName), std::nullopt, 0x1030, {}};
  return form;
}

TFormStream ToTextNotation(const TFormStream& binaryForm) {
  TFormStream form = binaryForm;
  if (form.Notation == TFormNotation::fnText) return form;
  form.Notation = TFormNotation::fnText;
  form.Trailer = form.LineBreak;
  return form;
}

void ObjectBinaryToText(rtl::TStream& input, rtl::TStream& output) {
  TFormStream form = ReadBinaryForm(StreamContent(input));
  form.Header.reset();
  DetectStyle(form);
  WriteAll(output, WriteTextForm(ToTextNotation(form)));
}

void ObjectTextToBinary(rtl::TStream& input, rtl::TStream& output) {
  TFormStream form = ReadTextForm(StreamContent(input));
  WriteAll(output, WriteBinaryObject(form.Root));
}

void ObjectResourceToText(rtl::TStream& input, rtl::TStream& output) {
  TFormStream form = ReadBinaryForm(StreamContent(input));
  DetectStyle(form);
  WriteAll(output, WriteTextForm(ToTextNotation(form)));
}

void ObjectTextToResource(rtl::TStream& input, rtl::TStream& output) {
  TFormStream form = ReadTextForm(StreamContent(input));
  WriteAll(output, WriteBinaryForm(ToBinaryNotation(form)));
}

TFormStream LoadFormFile(const std::string& fileName) {
  rtl::TFileStream file(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  TFormStream form = ReadForm(StreamContent(file));
  DetectStyle(form);
  return form;
}

void SaveFormFile(const std::string& fileName, const TFormStream& form) {
  std::string data = form.Notation == TFormNotation::fnBinary ? WriteBinaryForm(form) : WriteTextForm(form);
  rtl::TFileStream file(fileName, rtl::fmCreate);
  WriteAll(file, data);
}

}  // namespace quintrel::vcl
