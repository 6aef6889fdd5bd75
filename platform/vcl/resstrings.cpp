#include "platform/vcl/resstrings.h"

#include "platform/win32/resources.h"

namespace quintrel::vcl {

namespace {

// The Win32 limit of one string-table entry, in bytes of 8-bit text with its zero.
constexpr int kResourceBuffer = 4098;

TResStringLoader& Slot() {
  static TResStringLoader loader = &DefaultLoadResString;
  return loader;
}

}  // namespace

TResStringRec LiteralResString(const char* text) {
  return TResStringRec{nullptr, reinterpret_cast<uintptr_t>(text)};
}

std::string LoadResString(const TResStringRec* rec) { return Slot()(rec); }

TResStringLoader ResStringLoader() { return Slot(); }

TResStringLoader SetResStringLoader(TResStringLoader loader) {
  TResStringLoader previous = Slot();
  Slot() = loader ? loader : &DefaultLoadResString;
  return previous;
}

std::string DefaultLoadResString(const TResStringRec* rec) {
  if (!rec) return {};
  if (rec->Identifier > 0xFFFF) return reinterpret_cast<const char*>(rec->Identifier);
  const win32::HINSTANCE instance =
      FindResourceHInstance(rec->Module ? *rec->Module : win32::GetModuleHandle(nullptr));
  char buffer[kResourceBuffer];
  const int n = win32::LoadStringA(instance, static_cast<win32::UINT>(rec->Identifier), buffer, kResourceBuffer);
  return std::string(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

win32::HINSTANCE FindResourceHInstance(win32::HINSTANCE instance) { return instance; }

std::string LoadStr(unsigned identifier) {
  win32::HINSTANCE instance = win32::GetModuleHandle(nullptr);
  const TResStringRec rec{&instance, identifier};
  return DefaultLoadResString(&rec);
}

}  // namespace quintrel::vcl
