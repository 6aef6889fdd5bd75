#include "platform/vcl/proplist.h"

#include "platform/rtl/utf8.h"
#include "platform/vcl/floattext.h"
#include "platform/vcl/graphics.h"

namespace quintrel::vcl {

namespace {

class TLister {
public:
  explicit TLister(const TValueTextOptions& options) : options_(options) {}

  void Object(const TPersistent& object, const std::string& prefix, int depth);
  std::vector<TPropertyLeaf> Leaves;

private:
  std::string Shown(const std::string& narrow) const {
    return options_.Display ? rtl::WideToUtf8(options_.Display->ToWide(narrow)) : narrow;
  }
  std::string ShownWide(const std::u16string& wide) const {
    return options_.Display ? rtl::WideToUtf8(wide) : AnsiCodec().ToNarrow(wide);
  }
  void Add(std::string path, std::string value, TTypeKind kind, std::string data = {}) {
    Leaves.push_back({std::move(path), std::move(value), kind, std::move(data)});
  }
  void Graphic(const TGraphic* graphic, const std::string& path) {
    std::string className = graphic && !graphic->Empty() ? graphic->ClassName() : std::string();
    std::string image = graphic ? graphic->Image() : std::string();
    std::string text = "{" + className + " " + rtl::IntToHex(image.size(), 8) + "}";
    Add(path, std::move(text), tkClass, std::move(image));
  }
  void Simple(const TPersistent& object, PPropInfo p, const std::string& path);

  const TValueTextOptions& options_;
};

void TLister::Simple(const TPersistent& object, PPropInfo p, const std::string& path) {
  PTypeInfo type = p->PropType;
  switch (type->Kind) {
    case tkInteger:
    case tkInt64:
      Add(path, std::to_string(GetOrdProp(&object, p)), type->Kind);
      break;
    case tkChar: {
      int64_t c = GetOrdProp(&object, p);
      Add(path, c == 0 ? "''" : "'" + Shown(std::string(1, static_cast<char>(c))) + "'", tkChar);
      break;
    }
    case tkWChar: {
      int64_t c = GetOrdProp(&object, p);
      Add(path, c == 0 ? "''" : "'" + ShownWide(std::u16string(1, static_cast<char16_t>(c))) + "'", tkWChar);
      break;
    }
    case tkString:
    case tkLString:
      Add(path, "'" + Shown(GetStrProp(&object, p)) + "'", type->Kind);
      break;
    case tkWString:
      Add(path, "'" + ShownWide(GetWideStrProp(&object, p)) + "'", tkWString);
      break;
    case tkEnumeration:
      Add(path, GetEnumName(type, GetOrdProp(&object, p)), tkEnumeration);
      break;
    case tkSet: {
      std::string names = SetToString(p, GetOrdProp(&object, p), false);
      std::string spaced;
      for (char c : names) spaced += c == ',' ? std::string(", ") : std::string(1, c);
      Add(path, "[" + spaced + "]", tkSet);
      break;
    }
    case tkFloat:
      Add(path, FloatToStrGeneral(GetFloatProp(&object, p)), tkFloat);
      break;
    default:
      break;
  }
}

void TLister::Object(const TPersistent& object, const std::string& prefix, int depth) {
  if (depth > 16) return;
  if (const auto* strings = dynamic_cast<const TStrings*>(&object)) {
    for (int i = 0; i < strings->Count(); ++i)
      Add(prefix + "Strings[" + std::to_string(i) + "]", "'" + Shown(strings->Get(i)) + "'", tkLString);
  } else if (const auto* coll = dynamic_cast<const TCollection*>(&object)) {
    for (int i = 0; i < coll->Count(); ++i)
      Object(*coll->Items(i), prefix + "Items[" + std::to_string(i) + "].", depth + 1);
  } else if (const auto* picture = dynamic_cast<const TPicture*>(&object)) {
    Graphic(picture->Graphic(), prefix + "Data");
  } else if (const auto* graphic = dynamic_cast<const TGraphic*>(&object)) {
    Graphic(graphic, prefix + "Data");
  }
  for (PPropInfo p : object.ClassType().Properties()) {
    if (!p->SetProc || !p->GetProc || p->PropType->Kind == tkMethod) continue;
    std::string path = prefix + p->Name;
    if (p->PropType->Kind != tkClass) {
      Simple(object, p, path);
      continue;
    }
    TObject* value = GetObjectProp(&object, p);
    if (!value) continue;
    if (const auto* component = dynamic_cast<const TComponent*>(value)) {
      Add(path, component->Name(), tkClass);
    } else if (const auto* nested = dynamic_cast<const TPersistent*>(value)) {
      Object(*nested, path + ".", depth + 1);
    }
  }
}

void Collect(const TComponent& owner, const TValueTextOptions& options,
             const std::function<void(const TComponentNode&)>& visit, int depth) {
  if (depth > 32) return;
  for (int i = 0; i < owner.ComponentCount(); ++i) {
    const TComponent* c = owner.Components(i);
    visit({c->Name(), c->ClassName(), ListProperties(*c, options)});
    Collect(*c, options, visit, depth + 1);
  }
}

}  // namespace

std::vector<TPropertyLeaf> ListProperties(const TPersistent& object, const TValueTextOptions& options) {
  TLister lister(options);
  lister.Object(object, "", 0);
  return std::move(lister.Leaves);
}

void VisitComponentTree(const TComponent& root, const TValueTextOptions& options,
                        const std::function<void(const TComponentNode&)>& visit) {
  visit({root.Name(), root.ClassName(), ListProperties(root, options)});
  Collect(root, options, visit, 0);
}

std::vector<TComponentNode> ComponentTree(const TComponent& root, const TValueTextOptions& options) {
  std::vector<TComponentNode> out;
  VisitComponentTree(root, options, [&](const TComponentNode& node) { out.push_back(node); });
  return out;
}

}  // namespace quintrel::vcl
