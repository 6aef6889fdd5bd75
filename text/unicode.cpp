#include "text/unicode.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

#include "text/hashlist.h"

namespace quintrel::text {

namespace {

using TAddressKey = std::array<uint8_t, sizeof(uintptr_t)>;

// The registry key of a buffer: its address, little-endian, all bytes of it.
TAddressKey AddressKey(const void* buffer) {
  auto address = reinterpret_cast<uintptr_t>(buffer);
  TAddressKey key{};
  for (uint8_t& byte : key) {
    byte = static_cast<uint8_t>(address);
    address >>= 8;
  }
  return key;
}

// Takes back a buffer handed out by StrAllocW and frees it.
void FreeBuffer(char16_t* buffer) { std::unique_ptr<char16_t[]> owned(buffer); }

char16_t* AddressOf(const uint8_t* key) {
  uintptr_t address = 0;
  for (size_t i = sizeof(uintptr_t); i-- > 0;) address = (address << 8) | key[i];
  return reinterpret_cast<char16_t*>(address);
}

// Set when the registry has been destroyed at the end of the process. A plain flag with
// constant initialisation, so it stays readable after every other static is gone: objects
// destroyed later may still dispose buffers the registry has already released.
constinit bool registryGone = false;

class TWideRegistry {
public:
  TWideRegistry() = default;
  TWideRegistry(const TWideRegistry&) = delete;
  TWideRegistry& operator=(const TWideRegistry&) = delete;

  ~TWideRegistry() {
    // Every buffer still registered is released, then the list itself.
    std::array<uint8_t, THashList::MaxKeyLength> key{};
    uint8_t len = 0;
    uint32_t size = 0;
    std::vector<char16_t*> buffers;
    for (sizes_.Top(); sizes_.Next(key.data(), len, size);) buffers.push_back(AddressOf(key.data()));
    for (char16_t* buffer : buffers) FreeBuffer(buffer);
    registryGone = true;
  }

  // Takes ownership of a fresh buffer of `bytes` bytes.
  void Register(std::unique_ptr<char16_t[]> buffer, uint32_t bytes) {
    const TAddressKey key = AddressKey(buffer.get());
    std::lock_guard guard(lock_);
    // An address still registered belonged to a buffer released behind the registry's
    // back; the allocator has handed it out again, so the new size replaces the old.
    if (!sizes_.Add(key.data(), static_cast<uint8_t>(key.size()), bytes)) {
      sizes_.Delete(key.data(), static_cast<uint8_t>(key.size()));
      sizes_.Add(key.data(), static_cast<uint8_t>(key.size()), bytes);
    }
    buffer.release();
  }

  // Releases a registered buffer; false when it is not registered.
  bool Dispose(char16_t* buffer) {
    const TAddressKey key = AddressKey(buffer);
    {
      std::lock_guard guard(lock_);
      if (!sizes_.Delete(key.data(), static_cast<uint8_t>(key.size()))) return false;
    }
    FreeBuffer(buffer);
    return true;
  }

  // Size in bytes of a registered buffer, 0 for any other.
  uint32_t SizeOf(const char16_t* buffer) {
    TAddressKey key = AddressKey(buffer);
    uint8_t len = static_cast<uint8_t>(key.size());
    uint32_t size = 0;
    std::lock_guard guard(lock_);
    return sizes_.Get(key.data(), len, size) ? size : 0;
  }

  int32_t Count() {
    std::lock_guard guard(lock_);
    return sizes_.EntryCount();
  }

private:
  std::mutex lock_;
  THashList sizes_;
};

TWideRegistry* Registry() {
  if (registryGone) return nullptr;
  static TWideRegistry registry;
  return &registry;
}

bool IsWhiteSpaceW(char16_t c) {
  switch (c) {
    case 0x0009: case 0x000A: case 0x000B: case 0x000C: case 0x000D: case 0x0020: case 0x0085: case 0x00A0:
    case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

bool IsControlW(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Allocation and the registry

char16_t* StrAllocW(int32_t n) {
  if (n <= 0) return nullptr;
  // The registry keeps the size in 32 bits.
  const uint64_t bytes = (uint64_t{static_cast<uint32_t>(n)} + 1) * 2;
  if (bytes > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
  auto buffer = std::make_unique_for_overwrite<char16_t[]>(static_cast<size_t>(n) + 1);
  buffer[n] = 0;
  char16_t* result = buffer.get();
  if (TWideRegistry* registry = Registry()) {
    registry->Register(std::move(buffer), static_cast<uint32_t>(bytes));
  } else {
    // Allocated while the process ends: nobody will ask for its size any more.
    buffer.release();
  }
  return result;
}

void StrDisposeW(char16_t*& s) {
  if (s == nullptr) return;
  if (TWideRegistry* registry = Registry()) registry->Dispose(s);
  s = nullptr;
}

int32_t StrSizeW(const char16_t* s) {
  if (s == nullptr) return 0;
  TWideRegistry* registry = Registry();
  const uint32_t bytes = registry ? registry->SizeOf(s) : 0;
  return bytes == 0 ? 0 : static_cast<int32_t>(bytes / 2 - 1);
}

int32_t RegisteredCountW() {
  TWideRegistry* registry = Registry();
  return registry ? registry->Count() : 0;
}

char16_t* StrNewW(std::u16string_view s) {
  if (s.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() - 1)) throw std::bad_alloc();
  char16_t* buffer = StrAllocW(static_cast<int32_t>(s.size()));
  if (buffer != nullptr) std::copy(s.begin(), s.end(), buffer);
  return buffer;
}

// ---------------------------------------------------------------------------------------
// Measuring, searching, copying

int32_t LenW(const char16_t* s) {
  if (s == nullptr) return 0;
  int32_t len = 0;
  while (len < std::numeric_limits<int32_t>::max() && s[len] != 0) ++len;
  return len;
}

bool IsEmptyW(const char16_t* s) { return s == nullptr || s[0] == 0; }

std::u16string ToU16(const char16_t* s) { return std::u16string(s == nullptr ? u"" : s, LenW(s)); }

void StrCopyW(char16_t* dest, const char16_t* source, int32_t n) {
  if (dest == nullptr) return;
  dest[0] = 0;
  if (source == nullptr) return;
  for (int32_t i = 0; i < n; ++i) {
    dest[i] = source[i];
    if (source[i] == 0) break;
  }
}

int32_t PosW(const char16_t* substr, const char16_t* s) {
  if (substr == nullptr || s == nullptr || substr[0] == 0) return -1;
  const std::u16string_view haystack(s, LenW(s));
  const size_t found = haystack.find(std::u16string_view(substr, LenW(substr)));
  return found == std::u16string_view::npos ? -1 : static_cast<int32_t>(found);
}

int32_t CompareW(const char16_t* a, const char16_t* b, int32_t lenA, int32_t lenB) {
  const int32_t m = Min(lenA, lenB);
  if (m <= 0 || a == nullptr || b == nullptr) return -65535;
  for (int32_t i = 0; i < m; ++i) {
    if (a[i] != b[i]) return static_cast<int32_t>(a[i]) - static_cast<int32_t>(b[i]);
    if (a[i] == 0) break;
  }
  return lenA - lenB;
}

int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }

// ---------------------------------------------------------------------------------------
// Editing

void DeleteW(char16_t*& s, int32_t index, int32_t count) {
  if (s == nullptr || count <= 0) return;
  const int32_t len = LenW(s);
  if (index < 1 || index > len + 1) return;
  const int32_t start = index - 1;
  const int32_t removed = Min(count, len - start);
  char16_t* fresh = StrAllocW(len - removed);
  if (fresh != nullptr) {
    std::copy(s, s + start, fresh);
    std::copy(s + start + removed, s + len, fresh + start);
  }
  StrDisposeW(s);
  s = fresh;
}

void InsertW(char16_t*& s, const char16_t* substr, int32_t index, int32_t count) {
  if (substr == nullptr || count <= 0) return;
  count = Min(count, LenW(substr));
  if (count == 0) return;
  const int32_t len = LenW(s);
  if (count > std::numeric_limits<int32_t>::max() - 1 - len) throw std::bad_alloc();
  const int32_t start = std::clamp(index, 1, len + 1) - 1;
  char16_t* fresh = StrAllocW(len + count);
  if (s != nullptr) std::copy(s, s + start, fresh);
  std::copy(substr, substr + count, fresh + start);
  if (s != nullptr) std::copy(s + start, s + len, fresh + start + count);
  StrDisposeW(s);
  s = fresh;
}

// ---------------------------------------------------------------------------------------
// Pointers and character classes

void* IncPtr(void* p, std::ptrdiff_t bytes) { return p == nullptr ? nullptr : static_cast<uint8_t*>(p) + bytes; }

const void* IncPtr(const void* p, std::ptrdiff_t bytes) {
  return p == nullptr ? nullptr : static_cast<const uint8_t*>(p) + bytes;
}

char16_t* IncPtrW(char16_t* p, std::ptrdiff_t n) { return p == nullptr ? nullptr : p + n; }

const char16_t* IncPtrW(const char16_t* p, std::ptrdiff_t n) { return p == nullptr ? nullptr : p + n; }

bool IsVisibleW(char16_t c) {
  if (IsControlW(c) || IsWhiteSpaceW(c)) return false;
  if (c >= 0xD800 && c <= 0xDFFF) return false;                         // surrogate halves
  if (c == 0x00AD || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
      (c >= 0x2060 && c <= 0x2064) || c == 0xFEFF) {
    return false;                                                       // format characters
  }
  return !(c >= 0xFDD0 && c <= 0xFDEF) && c != 0xFFFE && c != 0xFFFF;   // non-characters
}

bool IsDelimiterW(char16_t c) {
  if (IsControlW(c) || IsWhiteSpaceW(c)) return true;
  // ASCII punctuation; the underscore belongs to identifiers.
  if (c < 0x80) return c != u'_' && std::strchr("!\"#$%&'()*+,-./:;<=>?@[\\]^`{|}~", static_cast<char>(c)) != nullptr;
  switch (c) {
    case 0x3001: case 0x3002: case 0x300C: case 0x300D: case 0x300E: case 0x300F:
    case 0xFF01: case 0xFF0C: case 0xFF0E: case 0xFF1A: case 0xFF1B: case 0xFF1F:
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------
// UTF-8

std::string WideToUtf8(const char16_t* s) { return WideToUtf8(std::u16string_view(s == nullptr ? u"" : s, LenW(s))); }

std::vector<uint8_t> Utf16LeBytes(std::u16string_view s) {
  std::vector<uint8_t> bytes;
  bytes.reserve(s.size() * 2);
  for (char16_t c : s) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

}  // namespace quintrel::text
