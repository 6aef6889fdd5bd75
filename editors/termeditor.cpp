#include "editors/termeditor.h"

#include <algorithm>
#include <map>

#include "platform/rtl/classes.h"
#include "platform/vcl/textutil.h"
#include "storage/vardbs.h"
#include "strings/editorconsts.h"
#include "strings/toolconsts.h"
#include "text/unicode.h"
#include "tools/exchange.h"
#include "tools/intlobjects.h"
#include "tools/termtext.h"

namespace quintrel::editors {

namespace qs = quintrel::strings;
using module::TLanguageId;
using module::TZodObject;

namespace {

// The picture formats a stored image can be in, told from its first bytes.
enum class TImageFormat { Unknown, Bmp, Ico, Jpeg, Png };

uint32_t U32(std::string_view b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 | static_cast<uint8_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
uint16_t U16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

// Only what the live graphic needs to read the image's size: a bitmap file header followed by
// a DIB header of a known size; an icon directory whose entries lie inside the file; a JPEG
// start of image; the PNG signature followed by its header chunk.
TImageFormat FormatOf(std::string_view b) {
  if (b.size() >= 26 && b.substr(0, 2) == "BM") {
    const uint32_t dib = U32(b, 14);
    if ((dib == 12 || dib == 40 || dib == 52 || dib == 56 || dib == 64 || dib == 108 || dib == 124) &&
        14 + static_cast<size_t>(dib) <= b.size())
      return TImageFormat::Bmp;
    return TImageFormat::Unknown;
  }
  if (b.size() >= 6 && U16(b, 0) == 0 && U16(b, 2) == 1) {
    const size_t count = U16(b, 4);
    return count > 0 && 6 + 16 * count <= b.size() ? TImageFormat::Ico : TImageFormat::Unknown;
  }
  if (b.size() >= 4 && static_cast<uint8_t>(b[0]) == 0xFF && static_cast<uint8_t>(b[1]) == 0xD8 &&
      static_cast<uint8_t>(b[2]) == 0xFF)
    return TImageFormat::Jpeg;
  if (b.size() >= 24 && b.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8) && b.substr(12, 4) == "IHDR")
    return TImageFormat::Png;
  return TImageFormat::Unknown;
}

struct TPictureKind {
  const char* Class;
  TImageFormat Format;
  std::vector<std::string> Extensions;
  const char* FormatName;
};

const std::vector<TPictureKind>& PictureKinds() {
  static const std::vector<TPictureKind> kinds = {
      {"TBitmap", TImageFormat::Bmp, {".bmp"}, "bitmap"},
      {"TIcon", TImageFormat::Ico, {".ico"}, "icon"},
      {"TJPEGImage", TImageFormat::Jpeg, {".jpg", ".jpeg"}, "JPEG"},
      {"TPngImage", TImageFormat::Png, {".png"}, "PNG"},
      {"TMetafile", TImageFormat::Unknown, {}, "metafile"},
  };
  return kinds;
}

const TPictureKind& KindOfClass(std::string_view pictureClass) {
  for (const TPictureKind& kind : PictureKinds())
    if (kind.Class == pictureClass) return kind;
  return PictureKinds().back();
}

std::string Extension(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = fileName.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::string LanguageText(TLanguageId id) {
  const char a = static_cast<char>(id & 0xFF), b = static_cast<char>(id >> 8);
  if (a > ' ' && a < 127 && b > ' ' && b < 127) return module::LanguageIdToText(id);
  return "$" + rtl::IntToHex(id, 4);
}

// The object's name relative to its form, as the tree shows it.
std::string RelativeName(const TEntry& entry) {
  return entry.Component.empty() ? entry.Property : entry.Component + "." + entry.Property;
}

TEntry MakeEntry(const tools::TExchangeForm& form, const tools::TExchangeObject& item) {
  TEntry entry;
  entry.Object = item.Object.Ident;
  entry.Form = form.Name;
  entry.Component = item.Component;
  entry.Property = item.Property;
  entry.Path = form.Name + "." + item.Name;
  entry.Kind = item.Object.Kind;
  entry.ZodClass = item.Object.ZodClass;
  return entry;
}

bool Keep(TTreeFilter filter, TEntryState state) {
  switch (filter) {
    case TTreeFilter::Untranslated: return state == TEntryState::Untranslated;
    case TTreeFilter::ForReview: return state == TEntryState::ForReview;
    default: return true;
  }
}

}  // namespace

std::string_view StateName(TEntryState state) {
  switch (state) {
    case TEntryState::Untranslated: return "untranslated";
    case TEntryState::ForReview: return "review";
    case TEntryState::SignedOff: return "signed-off";
    case TEntryState::Locked: return "locked";
  }
  return "untranslated";
}

// --- languages ------------------------------------------------------------------------------

TTermEditor::TTermEditor(module::TZod& zod, int module) : zod_(zod), module_(module) {
  base_ = zod_.GetDesignTimeLanguage(module_);
  const std::vector<TLanguageId> languages = Languages();
  target_ = base_;
  for (TLanguageId id : languages)
    if (id != base_) {
      target_ = id;
      break;
    }
  if (target_ == base_ && !languages.empty()) target_ = languages.front();
}

std::vector<TLanguageId> TTermEditor::Languages() const {
  std::vector<TLanguageId> ids;
  zod_.GetLanguageList(module_, ids);
  return ids;
}

void TTermEditor::RequireLanguage(TLanguageId language) const {
  const std::vector<TLanguageId> ids = Languages();
  if (std::find(ids.begin(), ids.end(), language) != ids.end()) return;
  std::string list;
  for (TLanguageId id : ids) list += (list.empty() ? "" : ", ") + LanguageText(id);
  throw ETermEditorError(rtl::Format(qs::_SEditorNoLanguage, zod_.GetModuleInterface(module_).FileName(),
                                     LanguageText(language), list.empty() ? std::string("none") : list));
}

void TTermEditor::SetBase(TLanguageId language) {
  RequireLanguage(language);
  base_ = language;
}

void TTermEditor::SetTarget(TLanguageId language) {
  RequireLanguage(language);
  target_ = language;
}

// --- the tree -------------------------------------------------------------------------------

TEntryState TTermEditor::StateOf(const TZodObject& object) const {
  if (object.Locked) return TEntryState::Locked;
  module::TZodTerm term{target_, object.Localization};
  if (object.Localization == 0 || !zod_.GetTerm(module_, term)) return TEntryState::Untranslated;
  switch (term.Status) {
    case module::usForReview: return TEntryState::ForReview;
    case module::usSignedOff: return TEntryState::SignedOff;
    default: return TEntryState::Untranslated;
  }
}

std::vector<TTreeForm> TTermEditor::Tree(TTreeFilter filter) const {
  // One consistent picture of the module, however other processes write meanwhile, read
  // without a lock or header check per record.
  storage::TReadBracket bracket(zod_.GetModuleInterface(module_));
  std::vector<TTreeForm> tree;
  for (const tools::TExchangeForm& form : tools::ExchangeForms(zod_, module_)) {
    TTreeForm node;
    node.Name = form.Name;
    node.Id = form.Id;
    std::map<std::string, size_t> components;  // name -> position in node.Components
    for (const tools::TExchangeObject& item : form.Objects) {
      TEntry entry = MakeEntry(form, item);
      entry.State = StateOf(item.Object);
      if (!Keep(filter, entry.State)) continue;
      auto [at, added] = components.emplace(entry.Component, node.Components.size());
      if (added) node.Components.push_back({entry.Component, {}});
      node.Components[at->second].Entries.push_back(std::move(entry));
    }
    // The form's own properties come before its components.
    std::stable_partition(node.Components.begin(), node.Components.end(),
                          [](const TTreeComponent& c) { return c.Name.empty(); });
    if (filter == TTreeFilter::All || !node.Components.empty()) tree.push_back(std::move(node));
  }
  return tree;
}

uint32_t TTermEditor::Find(std::string_view objectOrPath) const {
  const std::vector<TTreeForm> tree = Tree();
  int64_t number = 0;
  const bool numeric = !objectOrPath.empty() && objectOrPath.find_first_of(" -+.") == std::string_view::npos &&
                       rtl::TryStrToInt(objectOrPath, number) && number > 0 && number <= 0xFFFFFFFFLL;
  for (const TTreeForm& form : tree) {
    // A unit's name holds a dot of its own ("#AppText.pas"), so the form is the name the path
    // starts with, not the text before its first dot.
    const size_t dot = form.Name.size();
    if (!numeric && (objectOrPath.size() <= dot + 1 || objectOrPath[dot] != '.' ||
                     !vcl::SameText(form.Name, objectOrPath.substr(0, dot))))
      continue;
    for (const TTreeComponent& component : form.Components)
      for (const TEntry& entry : component.Entries) {
        if (numeric ? entry.Object == number : vcl::SameText(RelativeName(entry), objectOrPath.substr(dot + 1)))
          return entry.Object;
      }
  }
  throw ETermEditorError(
      rtl::Format(qs::_SEditorNoObject, zod_.GetModuleInterface(module_).FileName(), std::string(objectOrPath)));
}

TEntry TTermEditor::Entry(uint32_t object) const {
  for (const TTreeForm& form : Tree())
    for (const TTreeComponent& component : form.Components)
      for (const TEntry& entry : component.Entries)
        if (entry.Object == object) return entry;
  throw ETermEditorError(
      rtl::Format(qs::_SEditorNoObject, zod_.GetModuleInterface(module_).FileName(), std::to_string(object)));
}

TZodObject TTermEditor::ReadObject(uint32_t ident) const {
  TZodObject object;
  object.Ident = ident;
  object.FormID = zod_.GetFormOfObjectID(module_, ident);  // where older modules keep it
  if (ident == 0 || !zod_.GetObject(module_, object))
    throw ETermEditorError(
        rtl::Format(qs::_SEditorNoObject, zod_.GetModuleInterface(module_).FileName(), std::to_string(ident)));
  return object;
}

// --- showing --------------------------------------------------------------------------------

namespace {

TEntryText SideOf(module::TZod& zod, int module, TLanguageId language, const TZodObject& object, bool picture) {
  TEntryText side;
  if (object.Localization == 0) return side;
  module::TZodTerm term{language, object.Localization};
  if (!zod.GetTerm(module, term)) return side;
  side.Exists = true;
  side.Status = term.Status;
  side.Size = static_cast<size_t>(std::max(term.Size, 0));
  if (!picture) {
    side.Text = tools::ReadTermText(zod, module, language, object.Localization).value_or(tools::TTermText{}).Text;
  }
  return side;
}

}  // namespace

TEntryView TTermEditor::Show(uint32_t object) const {
  TEntryView view;
  view.Entry = Entry(object);
  storage::TReadBracket bracket(zod_.GetModuleInterface(module_));
  const TZodObject stored = ReadObject(object);
  view.TypeName = module::ZodTypeName(stored.Kind);
  view.Picture = tools::IsPicture(stored);
  view.Base = SideOf(zod_, module_, base_, stored, view.Picture);
  view.Target = SideOf(zod_, module_, target_, stored, view.Picture);
  view.Comment = tools::ObjectComment(zod_, module_, stored);
  if (view.Picture) {
    view.PictureClass = PictureClass(object);
  } else if (!view.Base.Text.empty() && CanTranslate()) {
    view.Suggestion = zod_.TranslateW(view.Base.Text, base_, target_, stored.ZodClass, 0);
    if (view.Suggestion && view.Suggestion->empty()) view.Suggestion.reset();
  }
  return view;
}

// --- writing texts --------------------------------------------------------------------------

bool TTermEditor::Set(uint32_t object, TLanguageId language, std::u16string_view text,
                      const std::optional<std::u16string>& expectedPrevious) {
  RequireLanguage(language);
  const TEntry entry = Entry(object);
  // The check and the write are one step for every other process on the file.
  storage::TDbLock lock(zod_.GetModuleInterface(module_), true);
  TZodObject stored = ReadObject(object);
  if (tools::IsPicture(stored)) throw ETermEditorError(rtl::Format(qs::_SEditorNotText, entry.Path));
  if (stored.Locked) throw ETermEditorError(rtl::Format(qs::_SEditorLocked, entry.Path));
  // A missing term reads as an empty untranslated one.
  const tools::TTermText state =
      tools::ReadTermText(zod_, module_, language, stored.Localization).value_or(tools::TTermText{});
  if (expectedPrevious && state.Text != *expectedPrevious)
    throw EEditConflict(rtl::Format(qs::_SEditorConflict, entry.Path, LanguageText(language)));
  if (state.Status == module::usSignedOff)
    throw ETermEditorError(rtl::Format(qs::_SEditorSignedOff, entry.Path, LanguageText(language)));
  if (state.Status == module::usForReview && state.Text == text) return false;
  tools::StoreObjectText(zod_, module_, stored, language, text, module::usForReview);
  return true;
}

bool TTermEditor::Clear(uint32_t object, TLanguageId language) {
  RequireLanguage(language);
  const TEntry entry = Entry(object);
  storage::TDbLock lock(zod_.GetModuleInterface(module_), true);
  const TZodObject stored = ReadObject(object);
  if (stored.Locked) throw ETermEditorError(rtl::Format(qs::_SEditorLocked, entry.Path));
  module::TZodTerm term{language, stored.Localization};
  if (stored.Localization == 0 || !zod_.GetTerm(module_, term)) return false;
  if (term.Status == module::usSignedOff)
    throw ETermEditorError(rtl::Format(qs::_SEditorSignedOff, entry.Path, LanguageText(language)));
  if (term.Status != module::usForReview) return false;
  return zod_.RemoveTerm(module_, term);
}

std::optional<uint32_t> TTermEditor::Walk(std::optional<uint32_t> from, bool forward) const {
  std::vector<const TEntry*> order;
  const std::vector<TTreeForm> tree = Tree();
  for (const TTreeForm& form : tree)
    for (const TTreeComponent& component : form.Components)
      for (const TEntry& entry : component.Entries) order.push_back(&entry);
  if (!forward) std::reverse(order.begin(), order.end());
  auto at = order.begin();
  if (from) {
    at = std::find_if(order.begin(), order.end(), [&](const TEntry* e) { return e->Object == *from; });
    if (at == order.end())
      throw ETermEditorError(
          rtl::Format(qs::_SEditorNoObject, zod_.GetModuleInterface(module_).FileName(), std::to_string(*from)));
    ++at;  // the start itself never counts
  }
  const auto found =
      std::find_if(at, order.end(), [](const TEntry* e) { return e->State == TEntryState::Untranslated; });
  if (found == order.end()) return std::nullopt;
  return (*found)->Object;
}

std::optional<uint32_t> TTermEditor::Next(std::optional<uint32_t> from) const { return Walk(from, true); }

std::optional<uint32_t> TTermEditor::Prev(std::optional<uint32_t> from) const { return Walk(from, false); }

bool TTermEditor::CanTranslate() const {
  bool base = false, target = false;
  for (int i = 0; i < zod_.GetModuleCount(); ++i) {
    base = base || zod_.IsLanguageDictionary(i, base_);
    target = target || zod_.IsLanguageDictionary(i, target_);
  }
  return base && target;
}

std::optional<std::u16string> TTermEditor::Translate(uint32_t object) {
  const TEntry entry = Entry(object);
  if (!CanTranslate()) {
    const TLanguageId missing = [&] {
      for (int i = 0; i < zod_.GetModuleCount(); ++i)
        if (zod_.IsLanguageDictionary(i, base_)) return target_;
      return base_;
    }();
    throw ETermEditorError(rtl::Format(qs::_SNoDictionaryInstalled, LanguageText(missing)));
  }
  storage::TDbLock lock(zod_.GetModuleInterface(module_), true);
  const TZodObject stored = ReadObject(object);
  if (tools::IsPicture(stored)) throw ETermEditorError(rtl::Format(qs::_SEditorNotText, entry.Path));
  const tools::TTermText base =
      tools::ReadTermText(zod_, module_, base_, stored.Localization).value_or(tools::TTermText{});
  if (base.Text.empty()) return std::nullopt;
  std::optional<std::u16string> found = zod_.TranslateW(base.Text, base_, target_, stored.ZodClass, 0);
  if (!found || found->empty()) return std::nullopt;
  Set(object, target_, *found);
  return found;
}

bool TTermEditor::SetStatus(uint32_t object, TLanguageId language, uint8_t status) {
  if (status != module::usForReview && status != module::usSignedOff) throw ETermEditorError(qs::_SEditorBadStatus);
  RequireLanguage(language);
  const TEntry entry = Entry(object);
  storage::TDbLock lock(zod_.GetModuleInterface(module_), true);
  const TZodObject stored = ReadObject(object);
  if (stored.Locked) throw ETermEditorError(rtl::Format(qs::_SEditorLocked, entry.Path));
  module::TZodTerm term{language, stored.Localization};
  if (stored.Localization == 0 || !zod_.GetTerm(module_, term))
    throw ETermEditorError(rtl::Format(qs::_SEditorNoTerm, entry.Path, LanguageText(language)));
  if (term.Status == status) return false;
  if (status == module::usSignedOff && term.Status == module::usUnTranslated)
    throw ETermEditorError(rtl::Format(qs::_SEditorNotTranslated, entry.Path, LanguageText(language)));
  return tools::SetTermStatus(zod_, module_, language, stored.Localization, status);
}

bool TTermEditor::SetComment(uint32_t object, std::u16string_view comment) {
  Entry(object);
  storage::TDbLock lock(zod_.GetModuleInterface(module_), true);
  TZodObject stored = ReadObject(object);
  if (tools::ObjectComment(zod_, module_, stored) == comment) return false;
  tools::StoreObjectComment(zod_, module_, stored, comment);
  return true;
}

// --- pictures -------------------------------------------------------------------------------

std::string TTermEditor::PictureClass(uint32_t object) const {
  const TZodObject stored = ReadObject(object);
  switch (stored.Kind) {
    case module::utIcon: return "TIcon";
    case module::utMetafile: return "TMetafile";
    case module::utBitmap: break;
    default: throw ETermEditorError(rtl::Format(qs::_SEditorNotPicture, Entry(object).Path));
  }
  // A picture property holds whatever image class the form streamed; the design language's
  // image, captured from the form, tells which. Without one the live picture makes a bitmap.
  const auto design = tools::ReadTermBytes(zod_, module_, zod_.GetDesignTimeLanguage(module_), stored.Localization);
  if (design && stored.Localization != 0) {
    const std::string_view bytes(reinterpret_cast<const char*>(design->data()), design->size());
    switch (FormatOf(bytes)) {
      case TImageFormat::Jpeg: return "TJPEGImage";
      case TImageFormat::Png: return "TPngImage";
      default: break;
    }
  }
  return "TBitmap";
}

std::vector<std::string> TTermEditor::PictureExtensions(std::string_view pictureClass) {
  return KindOfClass(pictureClass).Extensions;
}

namespace {

// Stores the bytes as they are (no bytes: an empty picture) with status usForReview.
void StorePictureTerm(module::TZod& zod, int module, TZodObject& object, TLanguageId language,
                      std::string_view bytes) {
  if (object.Localization == 0) {
    object.Localization = zod.GetNewTermID(module);
    zod.SetObject(module, object);
  }
  module::TZodTerm term{language, object.Localization};
  const bool exists = zod.GetTerm(module, term);
  term.Status = module::usForReview;
  // A size of 0 keeps a stored image: an empty picture replaces the record instead.
  if (exists && bytes.empty()) zod.RemoveTerm(module, term);
  term.Data = const_cast<char*>(bytes.data());
  term.Size = static_cast<int32_t>(bytes.size());
  zod.SetTerm(module, term);
}

}  // namespace

void TTermEditor::SetPicture(uint32_t object, TLanguageId language, std::string_view bytes,
                             const std::string& fileName) {
  RequireLanguage(language);
  const TEntry entry = Entry(object);
  const std::string pictureClass = PictureClass(object);
  const TPictureKind& kind = KindOfClass(pictureClass);
  const std::string ext = Extension(fileName);
  if (std::find(kind.Extensions.begin(), kind.Extensions.end(), ext) == kind.Extensions.end()) {
    std::string list;
    for (const std::string& e : kind.Extensions) list += (list.empty() ? "" : ", ") + e;
    throw ETermEditorError(rtl::Format(qs::_SEditorPictureClass, fileName, entry.Path, pictureClass,
                                       list.empty() ? std::string("no") : list));
  }
  if (FormatOf(bytes) != kind.Format)
    throw ETermEditorError(rtl::Format(qs::_SEditorPictureContent, fileName, std::string(kind.FormatName)));
  storage::TDbLock lock(zod_.GetModuleInterface(module_), true);
  TZodObject stored = ReadObject(object);
  if (stored.Locked) throw ETermEditorError(rtl::Format(qs::_SEditorLocked, entry.Path));
  module::TZodTerm term{language, stored.Localization};
  if (stored.Localization != 0 && zod_.GetTerm(module_, term) && term.Status == module::usSignedOff)
    throw ETermEditorError(rtl::Format(qs::_SEditorSignedOff, entry.Path, LanguageText(language)));
  StorePictureTerm(zod_, module_, stored, language, bytes);
}

void TTermEditor::ClearPicture(uint32_t object, TLanguageId language) {
  RequireLanguage(language);
  const TEntry entry = Entry(object);
  PictureClass(object);  // refuses an object that is no picture
  storage::TDbLock lock(zod_.GetModuleInterface(module_), true);
  TZodObject stored = ReadObject(object);
  if (stored.Locked) throw ETermEditorError(rtl::Format(qs::_SEditorLocked, entry.Path));
  module::TZodTerm term{language, stored.Localization};
  if (stored.Localization != 0 && zod_.GetTerm(module_, term) && term.Status == module::usSignedOff)
    throw ETermEditorError(rtl::Format(qs::_SEditorSignedOff, entry.Path, LanguageText(language)));
  StorePictureTerm(zod_, module_, stored, language, {});
}

std::optional<std::string> TTermEditor::PictureBytes(uint32_t object, TLanguageId language) const {
  PictureClass(object);
  const TZodObject stored = ReadObject(object);
  if (stored.Localization == 0) return std::nullopt;
  const auto bytes = tools::ReadTermBytes(zod_, module_, language, stored.Localization);
  if (!bytes || bytes->empty()) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

}  // namespace quintrel::editors
