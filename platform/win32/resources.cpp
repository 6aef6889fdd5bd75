#include "platform/win32/resources.h"

#include <unistd.h>

#include <climits>
#include <map>
#include <unordered_map>
#include <vector>

#include "platform/rtl/utf8.h"
#include "platform/win32/internal.h"

namespace quintrel::win32 {

namespace {

constexpr UINT kMaxStringId = 0xFFFF;
constexpr size_t kMaxStringLength = 0xFFFF;

struct TModuleInstance {
  std::u16string fileName;
  std::unordered_map<UINT, std::u16string> strings;
};

struct TModules {
  HINSTANCE main{};
  std::vector<HINSTANCE> order;  // registration order, for look-up by name
  std::unordered_map<HINSTANCE, TModuleInstance> instances;
};

std::u16string ExecutablePath() {
  std::vector<char> path(PATH_MAX + 1);
  ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  return length > 0 ? rtl::Utf8ToWide(std::string_view(path.data(), static_cast<size_t>(length))) : u"";
}

TModules& Modules() {
  static TModules modules = [] {
    TModules m;
    m.main = detail::NewHandle<HINSTANCE>();
    m.instances[m.main].fileName = ExecutablePath();
    m.order.push_back(m.main);
    return m;
  }();
  return modules;
}

TModuleInstance* Find(HINSTANCE instance) {
  auto& instances = Modules().instances;
  auto it = instances.find(instance);
  return it == instances.end() ? nullptr : &it->second;
}

std::u16string_view StringOf(HINSTANCE instance, UINT id) {
  const TModuleInstance* module = Find(instance);
  if (!module) return {};
  auto it = module->strings.find(id);
  return it == module->strings.end() ? std::u16string_view() : std::u16string_view(it->second);
}

std::u16string_view LastComponent(std::u16string_view path) {
  size_t slash = path.find_last_of(u"/\\");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

HINSTANCE GetModuleHandle(const char16_t* moduleName) {
  TModules& m = Modules();
  if (!moduleName) return m.main;
  std::u16string_view name(moduleName);
  for (HINSTANCE instance : m.order) {
    const std::u16string& fileName = Find(instance)->fileName;
    if (detail::SameTextAscii(fileName, name) || detail::SameTextAscii(LastComponent(fileName), name)) return instance;
  }
  return {};
}

std::u16string GetModuleFileName(HINSTANCE instance) {
  const TModuleInstance* module = Find(instance);
  return module ? module->fileName : std::u16string();
}

HINSTANCE RegisterModuleInstance(std::u16string_view fileName) {
  TModules& m = Modules();
  HINSTANCE instance = detail::NewHandle<HINSTANCE>();
  m.instances[instance].fileName = fileName;
  m.order.push_back(instance);
  return instance;
}

BOOL UnregisterModuleInstance(HINSTANCE instance) {
  TModules& m = Modules();
  if (instance == m.main || !Find(instance)) return 0;
  m.instances.erase(instance);
  std::erase(m.order, instance);
  return 1;
}

BOOL SetResourceString(HINSTANCE instance, UINT id, std::u16string_view text) {
  TModuleInstance* module = Find(instance);
  if (!module || id > kMaxStringId || text.size() > kMaxStringLength) return 0;
  if (text.empty())
    module->strings.erase(id);
  else
    module->strings[id] = text;
  return 1;
}

BOOL RemoveResourceString(HINSTANCE instance, UINT id) {
  TModuleInstance* module = Find(instance);
  return module && module->strings.erase(id) ? 1 : 0;
}

int LoadString(HINSTANCE instance, UINT id, char16_t* buffer, int bufferMax) {
  return detail::CopyToBuffer<char16_t>(StringOf(instance, id), buffer, bufferMax);
}

int LoadStringA(HINSTANCE instance, UINT id, char* buffer, int bufferMax) {
  return detail::CopyToBuffer<char>(detail::WideToAnsi(StringOf(instance, id)), buffer, bufferMax);
}

std::u16string LoadString(HINSTANCE instance, UINT id) { return std::u16string(StringOf(instance, id)); }

}  // namespace quintrel::win32
