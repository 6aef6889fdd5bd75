// Resource strings: constants the application declares as resource strings live in its
// string table and are fetched through one loader, which a translator may replace for the
// life of the process.
//
// A resource-string record names the module instance that holds the text and the text's
// identifier. An identifier above 65535 is not an identifier at all but the address of a
// literal text (what the linker leaves for a string that never reached a string table);
// the loader returns that text unchanged.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/windef.h"

namespace quintrel::vcl {

struct TResStringRec {
  win32::HINSTANCE* Module = nullptr;
  uintptr_t Identifier = 0;
};

// The record of a literal text (Identifier is its address).
TResStringRec LiteralResString(const char* text);

using TResStringLoader = std::string (*)(const TResStringRec* rec);

// Loads the text through the installed loader (DefaultLoadResString unless replaced).
std::string LoadResString(const TResStringRec* rec);
// The loader slot; the setter returns the loader it replaced.
TResStringLoader ResStringLoader();
TResStringLoader SetResStringLoader(TResStringLoader loader);
// The platform's own loading: an empty text for a null record, the literal for an
// identifier above 65535, otherwise the string table of the record's resource instance.
std::string DefaultLoadResString(const TResStringRec* rec);

// The instance whose resources serve `instance` (a resource module loaded for it, or the
// instance itself).
win32::HINSTANCE FindResourceHInstance(win32::HINSTANCE instance);
// The text of an identifier in the executable's string table, 8-bit in the ANSI code page;
// empty when there is none.
std::string LoadStr(unsigned identifier);

}  // namespace quintrel::vcl
