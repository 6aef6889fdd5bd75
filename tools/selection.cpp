#include "tools/selection.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

#include "platform/rtl/filebytes.h"
#include "platform/rtl/utf8.h"
#include "strings/toolconsts.h"

namespace quintrel::tools {

namespace qs = quintrel::strings;
using nlohmann::json;

namespace {

constexpr std::string_view kFormatName = "quintrel-selection";
constexpr int kFormatVersion = 1;
// Root object, forms array, form, components array, component, properties array, property.
constexpr int kMaxDepth = 7;
constexpr std::size_t kMaxObjects = kMaxSelectedProperties + 2 * kMaxSelectedForms + 16;

// Byte offset after the first `chars` UTF-8 characters of s (the whole of s when shorter).
std::size_t CharsToBytes(std::string_view s, std::size_t chars) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < chars && pos < s.size(); ++n) {
    const rtl::TCodePointAt at = rtl::DecodeUtf8At(s, pos);
    pos += at.Length > 0 ? at.Length : 1;
  }
  return std::min(pos, s.size());
}

bool IsLongValueStart(char c) { return c == '\'' || c == '$' || c == '-' || c == '[' || (c >= '0' && c <= '9'); }

template <typename T, typename Name>
auto FindByName(std::vector<T>& items, Name name) {
  return std::find_if(items.begin(), items.end(), [&](const T& item) { return item.Name == name; });
}

std::vector<TSelectedProperty>::iterator FindPath(std::vector<TSelectedProperty>& list, std::string_view path) {
  return std::find_if(list.begin(), list.end(), [&](const TSelectedProperty& p) { return p.Path == path; });
}

}  // namespace

// --- properties -------------------------------------------------------------------------

std::string TSelectedProperty::FullValue() const {
  if (Data.empty() || Value.empty() || Value[0] == '{') return Value;
  if (Value[0] == '\'') return "'" + Data + "'";
  return Data;
}

std::string TSelectedProperty::NodeText() const { return Value.empty() ? Path : Path + " = " + Value; }

TSelectedProperty MakeSelectedProperty(std::string path, std::string_view value, std::string_view graphicBytes) {
  TSelectedProperty p;
  p.Path = std::move(path);
  if (!value.empty() && value[0] == '{') {
    const std::size_t close = value.find('}');
    p.Value = std::string(value.substr(0, close == std::string_view::npos ? value.size() : close + 1));
    p.Data = std::string(graphicBytes);
    return p;
  }
  const std::size_t shown = CharsToBytes(value, kShownValueChars);
  const bool isLong = shown < value.size();  // more than 255 characters: 256 or more
  if (isLong && IsLongValueStart(value[0])) {
    p.Value = std::string(value.substr(0, shown));
    if (value[0] == '\'') {
      const bool closed = value.size() >= 2 && value.back() == '\'';
      p.Data = std::string(value.substr(1, value.size() - (closed ? 2 : 1)));
    } else {
      p.Data = std::string(value);
    }
    return p;
  }
  p.Value = std::string(value);
  return p;
}

long long GraphicByteCount(std::string_view value) {
  if (value.size() < 11 || value.front() != '{' || value.back() != '}') return -1;
  const std::string_view inner = value.substr(1, value.size() - 2);
  const std::size_t blank = inner.rfind(' ');
  if (blank == std::string_view::npos || inner.size() - blank - 1 != 8) return -1;
  long long count = 0;
  for (char c : inner.substr(blank + 1)) {
    int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    if (digit < 0) return -1;
    count = count * 16 + digit;
  }
  return count;
}

// --- the tree ---------------------------------------------------------------------------

TSelectedForm* TSelection::FindForm(std::string_view name) {
  auto it = FindByName(Forms, name);
  return it == Forms.end() ? nullptr : &*it;
}

const TSelectedForm* TSelection::FindForm(std::string_view name) const {
  return const_cast<TSelection*>(this)->FindForm(name);
}

const std::vector<TSelectedProperty>* TSelection::FindProperties(std::string_view form, std::string_view component) const {
  const TSelectedForm* f = FindForm(form);
  if (f == nullptr) return nullptr;
  if (component.empty()) return &f->Properties;
  auto& comps = const_cast<TSelectedForm*>(f)->Components;
  auto it = FindByName(comps, component);
  return it == comps.end() ? nullptr : &it->Properties;
}

const TSelectedProperty* TSelection::FindProperty(const TSelectionPath& path) const {
  auto* list = const_cast<std::vector<TSelectedProperty>*>(FindProperties(path.Form, path.Component));
  if (list == nullptr) return nullptr;
  auto it = FindPath(*list, path.Property);
  return it == list->end() ? nullptr : &*it;
}

size_t TSelection::PropertyCount() const {
  size_t n = 0;
  for (const TSelectedForm& f : Forms) {
    n += f.Properties.size();
    for (const TSelectedComponent& c : f.Components) n += c.Properties.size();
  }
  return n;
}

TSelectedProperty& TSelection::Add(std::string_view form, std::string_view formClass, std::string_view component,
                                   std::string_view componentClass, const TSelectedProperty& property) {
  TSelectedForm* f = FindForm(form);
  if (f == nullptr) {
    Forms.push_back(TSelectedForm{std::string(form), std::string(formClass), {}, {}});
    f = &Forms.back();
  } else if (!formClass.empty()) {
    f->ClassName = std::string(formClass);
  }
  std::vector<TSelectedProperty>* list = &f->Properties;
  if (!component.empty()) {
    auto it = FindByName(f->Components, component);
    if (it == f->Components.end()) {
      f->Components.push_back(TSelectedComponent{std::string(component), std::string(componentClass), {}});
      it = std::prev(f->Components.end());
    } else if (!componentClass.empty()) {
      it->ClassName = std::string(componentClass);
    }
    list = &it->Properties;
  }
  auto it = FindPath(*list, property.Path);
  if (it == list->end()) {
    list->push_back(property);
    return list->back();
  }
  // A property catalogued already keeps what it had when the new one brings no value.
  if (property.HasValue()) *it = property;
  return *it;
}

bool TSelection::Remove(const TSelectionPath& path) {
  TSelectedForm* f = FindForm(path.Form);
  if (f == nullptr) return false;
  std::vector<TSelectedProperty>* list = &f->Properties;
  auto comp = f->Components.end();
  if (!path.Component.empty()) {
    comp = FindByName(f->Components, path.Component);
    if (comp == f->Components.end()) return false;
    list = &comp->Properties;
  }
  auto it = FindPath(*list, path.Property);
  if (it == list->end()) return false;
  list->erase(it);
  if (comp != f->Components.end() && comp->Properties.empty()) f->Components.erase(comp);
  if (f->Properties.empty() && f->Components.empty()) RemoveForm(path.Form);
  return true;
}

bool TSelection::RemoveComponent(std::string_view form, std::string_view component) {
  TSelectedForm* f = FindForm(form);
  if (f == nullptr) return false;
  if (component.empty()) {
    if (f->Properties.empty()) return false;
    f->Properties.clear();
  } else {
    auto it = FindByName(f->Components, component);
    if (it == f->Components.end()) return false;
    f->Components.erase(it);
  }
  if (f->Properties.empty() && f->Components.empty()) RemoveForm(form);
  return true;
}

bool TSelection::RemoveForm(std::string_view form) {
  auto it = FindByName(Forms, form);
  if (it == Forms.end()) return false;
  Forms.erase(it);
  return true;
}

// --- base64 -----------------------------------------------------------------------------

namespace {
constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

std::string EncodeBase64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    uint32_t v = 0;
    for (std::size_t k = 0; k < 3; ++k) v = (v << 8) | (k < n ? static_cast<uint8_t>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kBase64[(v >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

bool DecodeBase64(std::string_view text, std::string& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    uint32_t v = 0;
    int pad = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      uint32_t digit = 0;
      if (c == '=') {
        // Padding only at the end of the last quad, and at most two.
        if (i + 4 != text.size() || k < 2) return false;
        ++pad;
      } else {
        if (pad > 0) return false;
        const std::size_t at = kBase64.find(c);
        if (at == std::string_view::npos) return false;
        digit = static_cast<uint32_t>(at);
      }
      v = (v << 6) | digit;
    }
    bytes += static_cast<char>((v >> 16) & 0xFF);
    if (pad < 2) bytes += static_cast<char>((v >> 8) & 0xFF);
    if (pad < 1) bytes += static_cast<char>(v & 0xFF);
  }
  return true;
}

// --- the file ---------------------------------------------------------------------------

namespace {

// Written with the keys in the order of the format's description, for people to read.
using ordered = nlohmann::ordered_json;

ordered PropertiesJson(const std::vector<TSelectedProperty>& list) {
  ordered out = ordered::array();
  for (const TSelectedProperty& p : list) {
    ordered j = {{"path", p.Path}};
    if (p.HasValue()) j["value"] = p.Value;
    if (!p.Data.empty()) j["data"] = EncodeBase64(p.Data);
    out.push_back(std::move(j));
  }
  return out;
}

class TSelectionReader {
public:
  explicit TSelectionReader(const std::string& fileName) : fileName_(fileName) {}

  TSelection Read(std::string_view text) {
    std::size_t objects = 0;
    json doc;
    try {
      // The parser keeps its own stack, so the depth is checked as it goes, before a
      // deep or wide document is built.
      doc = json::parse(text, [&](int depth, json::parse_event_t event, json&) {
        if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) && depth >= kMaxDepth)
          Fail(rtl::Format(qs::_SSelectionTooDeep, kMaxDepth));
        if (event == json::parse_event_t::object_start && ++objects > kMaxObjects)
          Fail(rtl::Format(qs::_SSelectionTooMany, "objects", static_cast<int>(kMaxObjects)));
        return true;
      });
    } catch (const json::exception& e) {
      Fail(Short(e.what()));
    }
    if (!doc.is_object()) Fail(qs::_SSelectionNotObject);
    const json* format = Field(doc, "format", false);
    if (format == nullptr || !format->is_string() || format->get_ref<const std::string&>() != kFormatName)
      Fail(rtl::Format(qs::_SSelectionBadFormat, std::string(kFormatName)));
    const json* version = Field(doc, "version", false);
    if (version == nullptr || !version->is_number_integer() || version->get<long long>() != kFormatVersion)
      Fail(rtl::Format(qs::_SSelectionBadVersion, kFormatVersion));

    TSelection selection;
    const json& forms = Array(doc, "forms", "forms");
    if (forms.size() > kMaxSelectedForms) Fail(rtl::Format(qs::_SSelectionTooMany, "forms", static_cast<int>(kMaxSelectedForms)));
    for (std::size_t i = 0; i < forms.size(); ++i) {
      const std::string where = "forms[" + std::to_string(i) + "]";
      const json& jf = Object(forms[i], where);
      TSelectedForm form;
      form.Name = Name(jf, "name", where, true);
      form.ClassName = Name(jf, "class", where, false);
      if (selection.FindForm(form.Name) != nullptr) Fail(rtl::Format(qs::_SSelectionDuplicate, where, form.Name));
      form.Properties = Properties(jf, where);
      if (const json* comps = Field(jf, "components", true)) {
        if (!comps->is_array()) Fail(rtl::Format(qs::_SSelectionWrongType, where + ".components", "an array"));
        if (comps->size() > kMaxSelectedComponents)
          Fail(rtl::Format(qs::_SSelectionTooMany, "components", static_cast<int>(kMaxSelectedComponents)));
        for (std::size_t k = 0; k < comps->size(); ++k) {
          const std::string at = where + ".components[" + std::to_string(k) + "]";
          const json& jc = Object((*comps)[k], at);
          TSelectedComponent comp;
          comp.Name = Name(jc, "name", at, true);
          comp.ClassName = Name(jc, "class", at, false);
          if (comp.Name.empty()) Fail(rtl::Format(qs::_SSelectionEmptyName, at));
          for (const TSelectedComponent& other : form.Components)
            if (other.Name == comp.Name) Fail(rtl::Format(qs::_SSelectionDuplicate, at, comp.Name));
          comp.Properties = Properties(jc, at);
          form.Components.push_back(std::move(comp));
        }
      }
      selection.Forms.push_back(std::move(form));
    }
    return selection;
  }

private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw ESelectionError(rtl::Format(qs::_SSelectionBad, fileName_, what));
  }

  static std::string Short(std::string_view message) {
    constexpr std::size_t kLimit = 160;
    std::string out;
    for (char c : message.substr(0, std::min(message.size(), kLimit))) out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    return out;
  }

  const json* Field(const json& object, const char* key, bool optional) const {
    auto it = object.find(key);
    if (it == object.end()) {
      if (!optional) Fail(rtl::Format(qs::_SSelectionMissing, std::string(key)));
      return nullptr;
    }
    return &*it;
  }

  const json& Object(const json& value, const std::string& where) const {
    if (!value.is_object()) Fail(rtl::Format(qs::_SSelectionWrongType, where, "an object"));
    return value;
  }

  const json& Array(const json& object, const char* key, const std::string& where) const {
    const json* value = Field(object, key, false);
    if (!value->is_array()) Fail(rtl::Format(qs::_SSelectionWrongType, where, "an array"));
    return *value;
  }

  std::string Text(const json& object, const char* key, const std::string& where, bool required, std::size_t limit) const {
    const json* value = Field(object, key, true);
    if (value == nullptr) {
      if (required) Fail(rtl::Format(qs::_SSelectionMissing, where + "." + key));
      return {};
    }
    if (value->is_null() && !required) return {};
    if (!value->is_string()) Fail(rtl::Format(qs::_SSelectionWrongType, where + "." + key, "a string"));
    const std::string& s = value->get_ref<const std::string&>();
    if (s.size() > limit) Fail(rtl::Format(qs::_SSelectionTooLong, where + "." + key, static_cast<int>(limit)));
    return s;
  }

  std::string Name(const json& object, const char* key, const std::string& where, bool required) const {
    return Text(object, key, where, required, kMaxSelectionName);
  }

  std::vector<TSelectedProperty> Properties(const json& owner, const std::string& where) {
    std::vector<TSelectedProperty> list;
    const json* props = Field(owner, "properties", true);
    if (props == nullptr) return list;
    if (!props->is_array()) Fail(rtl::Format(qs::_SSelectionWrongType, where + ".properties", "an array"));
    for (std::size_t i = 0; i < props->size(); ++i) {
      if (++properties_ > kMaxSelectedProperties)
        Fail(rtl::Format(qs::_SSelectionTooMany, "properties", static_cast<int>(kMaxSelectedProperties)));
      const std::string at = where + ".properties[" + std::to_string(i) + "]";
      const json& jp = Object((*props)[i], at);
      TSelectedProperty p;
      p.Path = Text(jp, "path", at, true, kMaxSelectionPath);
      if (p.Path.empty() || p.Path.find(' ') != std::string::npos) Fail(rtl::Format(qs::_SSelectionBadPath, at));
      p.Value = Text(jp, "value", at, false, kMaxSelectionValue);
      const std::string data = Text(jp, "data", at, false, kMaxSelectionFileSize);
      if (!DecodeBase64(data, p.Data)) Fail(rtl::Format(qs::_SSelectionBadBase64, at + ".data"));
      CheckData(p, at);
      for (const TSelectedProperty& other : list)
        if (other.Path == p.Path) Fail(rtl::Format(qs::_SSelectionDuplicate, at, p.Path));
      list.push_back(std::move(p));
    }
    return list;
  }

  // The attached data must be what the value says: a graphic's bytes as many as its
  // count, a long text's whole text beginning with what the value shows.
  void CheckData(const TSelectedProperty& p, const std::string& at) const {
    if (!p.Value.empty() && p.Value[0] == '{') {
      const long long count = GraphicByteCount(p.Value);
      if (count < 0) Fail(rtl::Format(qs::_SSelectionBadGraphic, at, p.Value.substr(0, 40)));
      if (static_cast<unsigned long long>(count) != p.Data.size())
        Fail(rtl::Format(qs::_SSelectionCountMismatch, at, count, p.Data.size()));
      return;
    }
    if (p.Data.empty()) return;
    if (p.Value.empty() || !IsLongValueStart(p.Value[0])) Fail(rtl::Format(qs::_SSelectionStrayData, at));
    const std::string whole = p.FullValue();
    if (whole.compare(0, p.Value.size(), p.Value) != 0) Fail(rtl::Format(qs::_SSelectionDataDiffers, at));
  }

  std::string fileName_;
  std::size_t properties_ = 0;
};

}  // namespace

std::string SelectionToJson(const TSelection& selection) {
  ordered forms = ordered::array();
  for (const TSelectedForm& f : selection.Forms) {
    ordered jf = {{"name", f.Name}, {"class", f.ClassName}, {"properties", PropertiesJson(f.Properties)}};
    ordered comps = ordered::array();
    for (const TSelectedComponent& c : f.Components)
      comps.push_back({{"name", c.Name}, {"class", c.ClassName}, {"properties", PropertiesJson(c.Properties)}});
    jf["components"] = std::move(comps);
    forms.push_back(std::move(jf));
  }
  ordered doc = {{"format", kFormatName}, {"version", kFormatVersion}, {"forms", std::move(forms)}};
  return doc.dump(2, ' ', false, ordered::error_handler_t::replace) + "\n";
}

TSelection ParseSelection(std::string_view text, const std::string& fileName) {
  return TSelectionReader(fileName).Read(text);
}

TSelection ReadSelectionFile(const std::string& fileName) {
  rtl::TFileBytes file = rtl::ReadRegularFile(fileName, kMaxSelectionFileSize);
  if (!file) throw ESelectionError(rtl::Format(qs::_SSelectionBad, fileName, file.Reason()));
  return ParseSelection(file.Data, fileName);
}

}  // namespace quintrel::tools
