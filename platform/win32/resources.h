// Module instances and their string tables.
//
// The process's own instance (GetModuleHandle(nullptr)) stands for the executable; further
// instances stand for resource modules loaded beside it. Each instance holds a string
// table from 16-bit identifiers to wide texts of at most 65535 characters, filled by the
// program (what a resource compiler would have linked in) and read with LoadString.
// As in a Win32 string table, an empty text is the same as no text.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/windef.h"

namespace quintrel::win32 {

// The executable's instance when `moduleName` is null; otherwise the first registered
// instance whose file name, or the file name's last component, equals it without regard
// to ASCII case. Null when there is none.
HINSTANCE GetModuleHandle(const char16_t* moduleName);
// The executable's path for its own instance, the registered name for the others.
std::u16string GetModuleFileName(HINSTANCE instance);

HINSTANCE RegisterModuleInstance(std::u16string_view fileName);
// The executable's instance cannot be unregistered.
BOOL UnregisterModuleInstance(HINSTANCE instance);

// FALSE for an invalid instance, an identifier above 0xFFFF or a text longer than 65535
// characters.
BOOL SetResourceString(HINSTANCE instance, UINT id, std::u16string_view text);
BOOL RemoveResourceString(HINSTANCE instance, UINT id);

// Copies at most bufferMax - 1 characters and a zero; returns the number copied, 0 when
// the instance or the string does not exist (the buffer then receives the empty text).
// Nothing is written with a null buffer or a bufferMax of 0 or less.
int LoadString(HINSTANCE instance, UINT id, char16_t* buffer, int bufferMax);
int LoadStringA(HINSTANCE instance, UINT id, char* buffer, int bufferMax);
std::u16string LoadString(HINSTANCE instance, UINT id);

}  // namespace quintrel::win32
