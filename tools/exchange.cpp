#include "tools/exchange.h"

#include <algorithm>
#include <set>

#include "module/objects.h"
#include "platform/ide/project.h"
#include "strings/toolconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"
#include "text/ustringlist.h"
#include "tools/intlobjects.h"
#include "tools/mergenames.h"

namespace quintrel::tools {

namespace {

using module::TZodObject;

std::u16string Wide(std::string_view utf8) { return text::Utf8ToWide(utf8); }

std::string LanguageNames(module::TZod& zod, int module) {
  std::vector<module::TLanguageId> ids;
  zod.GetLanguageList(module, ids);
  std::string list;
  for (module::TLanguageId id : ids) list += (list.empty() ? "" : ", ") + module::LanguageIdToText(id);
  return list.empty() ? std::string("none") : list;
}

std::u16string LanguageName(module::TZod& zod, int module, module::TLanguageId id) {
  module::TZodLanguage language;
  language.Identifier = id;
  if (!zod.GetLanguage(module, language) || !language.Name) return {};
  return *language.Name;
}

std::u16string Hex8(uint32_t value) {
  static const char digits[] = "0123456789ABCDEF";
  std::u16string text(8, u'0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = static_cast<char16_t>(digits[value & 15]);
  return text;
}

bool StartsWith(std::u16string_view line, std::u16string_view tag) { return line.substr(0, tag.size()) == tag; }

// The value of the first line "NAME=...", as ASCII; nullopt when there is none.
std::optional<std::string> Setting(const std::vector<std::u16string>& lines, std::u16string_view name) {
  for (const std::u16string& line : lines)
    if (StartsWith(line, name)) return text::WideToUtf8(std::u16string_view(line).substr(name.size()));
  return std::nullopt;
}

}  // namespace

// --- the module's objects -----------------------------------------------------------------

std::vector<TExchangeForm> ExchangeForms(module::TZod& zod, int module) {
  std::vector<TExchangeForm> result;
  ForEachExchangeForm(zod, module, [&](TExchangeForm& form) { result.push_back(std::move(form)); });
  return result;
}

void ForEachExchangeForm(module::TZod& zod, int module, const std::function<void(TExchangeForm&)>& visit) {
  const module::TCatalogueList forms = zod.GetForms(module), comps = zod.GetComps(module),
                               props = zod.GetProps(module);
  const std::set<uint32_t> formItself = EmptyNamedComponents(comps);
  for (const std::string& line : forms) {
    TExchangeForm form;
    form.Name = module::CatalogueName(line);
    if (form.Name.empty()) continue;
    form.Id = static_cast<uint16_t>(text::HexToInt(std::string_view(line).substr(0, line.find(' '))));
    // The component field of a resource string holds its number in the string table.
    const bool unit = form.Name.front() == '#';
    for (const TZodObject& object : zod.GetObjects(module, form.Id)) {
      if (object.Ident == 0) continue;
      TExchangeObject item;
      item.Object = object;
      const int p = module::GetPropIndex(props, object.PropertyName);
      item.Property = p < 0 ? rtl::Format(strings::_SUnnamedProperty, object.PropertyName)
                            : module::CatalogueName(props[static_cast<size_t>(p)]);
      item.Name = item.Property;
      if (!unit && object.CompName != 0 && !formItself.contains(object.CompName)) {
        const int c = module::GetCompIndex(comps, object.CompName);
        item.Component = c < 0 ? rtl::Format(strings::_SUnnamedComponent, object.CompName)
                               : module::CatalogueName(comps[static_cast<size_t>(c)]);
        item.Name = item.Component + "." + item.Property;
      }
      form.Objects.push_back(std::move(item));
    }
    visit(form);
  }
}

bool IsPicture(const TZodObject& object) {
  return object.Kind == module::utBitmap || object.Kind == module::utIcon || object.Kind == module::utMetafile;
}

// --- taking translations back -----------------------------------------------------------------

std::string_view ImportOutcomeName(TImportOutcome outcome) {
  static constexpr std::string_view names[kImportOutcomeCount] = {
      "written", "unchanged", "empty", "not found", "name mismatch", "locked", "signed off"};
  return names[static_cast<size_t>(outcome)];
}

void TImportReport::Add(std::string form, std::string name, TImportOutcome outcome) {
  ++Counts[static_cast<size_t>(outcome)];
  Entries.push_back({std::move(form), std::move(name), outcome});
}

TObjectIndex::TObjectIndex(module::TZod& zod, int module) : forms_(ExchangeForms(zod, module)) {}

const TExchangeForm* TObjectIndex::Form(std::string_view name) const {
  for (const TExchangeForm& form : forms_)
    if (form.Name == name) return &form;
  return nullptr;
}

const TExchangeObject* TObjectIndex::ById(const TExchangeForm& form, uint32_t ident) const {
  for (const TExchangeObject& object : form.Objects)
    if (object.Object.Ident == ident) return &object;
  return nullptr;
}

const TExchangeObject* TObjectIndex::ByName(const TExchangeForm& form, std::string_view name) const {
  for (const TExchangeObject& object : form.Objects)
    if (object.Name == name) return &object;
  return nullptr;
}

TImportOutcome ImportTranslation(module::TZod& zod, int module, TZodObject object, module::TLanguageId language,
                                 const TIncoming& incoming) {
  // The object as stored now: an earlier entry of the same file may have given it a term.
  if (!zod.GetObject(module, object)) return TImportOutcome::NotFound;
  if (object.Locked) return TImportOutcome::Locked;
  const TTermText state = ReadTermText(zod, module, language, object.Localization).value_or(TTermText{});
  if (state.Status == module::usSignedOff) return TImportOutcome::SignedOff;
  bool changed = false;
  const bool translation = !incoming.Text.empty() || incoming.EmptyIsTranslation;
  if (translation && !(state.Status == module::usForReview && state.Text == incoming.Text)) {
    StoreObjectText(zod, module, object, language, incoming.Text, module::usForReview);
    changed = true;
  }
  // An empty comment never empties a stored one.
  if (incoming.Comment && !incoming.Comment->empty() && ObjectComment(zod, module, object) != *incoming.Comment) {
    StoreObjectComment(zod, module, object, *incoming.Comment);
    changed = true;
  }
  if (changed) return TImportOutcome::Written;
  return translation ? TImportOutcome::Unchanged : TImportOutcome::Empty;
}

// --- the external text file -------------------------------------------------------------------

bool ExportFilter(module::TZod& zod, int module, const TZodObject& object, const TExportOptions& options) {
  if (options.OnlyPrioritized && object.Priority == 0) return false;
  if (options.OnlyUntranslated) {
    const TTermText target = ReadTermText(zod, module, options.Target, object.Localization).value_or(TTermText{});
    if (target.Status != module::usUnTranslated) return false;
  }
  return true;
}

std::vector<std::u16string> ExportLines(module::TZod& zod, int module, const TExportOptions& options) {
  std::vector<std::u16string> lines;
  ExportLines(zod, module, options, [&](std::u16string_view line) { lines.emplace_back(line); });
  return lines;
}

void ExportLines(module::TZod& zod, int module, const TExportOptions& options,
                 const std::function<void(std::u16string_view line)>& emit) {
  // One read transaction over the whole module: the export is one state of it, and its
  // thousands of reads take no lock of their own.
  storage::TReadBracket read(zod.GetModuleInterface(module));
  // Lines 13 to 16 hold the control characters and backslashes themselves; the text form
  // writes them as the escapes they explain.
  static constexpr std::u16string_view kHead[] = {
      u";***************************************************************",
      u";EXTERNAL TEXTFILE FOR TALVORINE UNIVERSAL LANGUAGE MODULES",
      u";This is a plain textfile (no fancy text) in the codeset",
      u";indicated by the CHARSET variable below.",
      u";  #F Dialog/Form/Unit being translated",
      u";  #O Object being translated",
      u";  #I Object Identifier",
      u";  #T Object Type",
      u";  #1 Base Language",
      u";  #2 Target Language, to be translated",
      u";  #C A Comment",
      u";While translating, these are necessary control characters",
      u";  \n New line (#10)",
      u";  \r Return (#13)",
      u";  \t Tab (#9)",
      u";  \\ Backslash (Ex. C:\\Windows\\System)",
      u";Please do not re-arrange the line order while translating.",
      u";ONLY #2 NEEDS TO BE TRANSLATED, OTHER FIELDS ARE INFORMATIONAL",
      u";***************************************************************",
      u"",
  };
  for (std::u16string_view line : kHead) emit(line);
  const auto yesNo = [](bool on) { return std::u16string(on ? u"YES" : u"NO"); };
  emit(u"BASEID=" + Wide(module::LanguageIdToText(options.Base)));
  emit(u"BASENAME=" + LanguageName(zod, module, options.Base));
  emit(u"TARGETID=" + Wide(module::LanguageIdToText(options.Target)));
  emit(u"TARGETNAME=" + LanguageName(zod, module, options.Target));
  emit(u"CHARSET=" + Wide(std::to_string(zod.GetCharsetOfLanguage(module, options.Target))));
  emit(u"ZOD=" + Wide(options.ZodName));
  emit(u"ONLY_UNTRANSLATED=" + yesNo(options.OnlyUntranslated));
  emit(u"ONLY_PRIORITY=" + yesNo(options.OnlyPrioritized));
  for (std::u16string_view line : {u"", u";TRANSLATIONS STARTS HERE", u""}) emit(line);
  ForEachExchangeForm(zod, module, [&](TExchangeForm& form) {
    emit(u"#F " + Wide(form.Name) + u" *******************");
    emit(u"");
    for (const TExchangeObject& item : form.Objects) {
      const TZodObject& object = item.Object;
      if (IsPicture(object) || !ExportFilter(zod, module, object, options)) continue;
      emit(u"#O " + Wide(item.Name));
      emit(u"#I " + Hex8(object.Ident));
      emit(u"#T " + Wide(module::ZodClassName(object.ZodClass)) + u", " + Wide(module::ZodTypeName(object.Kind)));
      if (options.Comments) emit(u"#C " + ObjectComment(zod, module, object));
      emit(u"#1 " + ReadTermText(zod, module, options.Base, object.Localization).value_or(TTermText{}).Text);
      emit(u"#2 " + ReadTermText(zod, module, options.Target, object.Localization).value_or(TTermText{}).Text);
      emit(u"");
    }
  });
}

std::string ExportTextFile(module::TZod& zod, int module, const TExportOptions& options) {
  std::string file;
  ExportTextFile(zod, module, options, [&](std::string_view bytes) { file += bytes; });
  return file;
}

void ExportTextFile(module::TZod& zod, int module, const TExportOptions& options,
                    const std::function<void(std::string_view bytes)>& write) {
  constexpr size_t kPiece = 32 * 1024;  // units, converted and handed out at a line's end
  const int charset = options.Unicode ? 0 : zod.GetCharsetOfLanguage(module, options.Target);
  std::u16string pending;
  const auto flush = [&] {
    // Every code page the file can be in converts line by line as it does the whole text.
    if (!options.Unicode) {
      write(text::UnicodeToByte(pending, charset));
    } else {
      const std::vector<uint8_t> bytes = text::Utf16LeBytes(pending);
      write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    pending.clear();
  };
  ExportLines(zod, module, options, [&](std::u16string_view line) {
    // A line is its text up to a 0 unit, as a list item holds it.
    text::TUStringList::AppendTextLine(pending, line.substr(0, line.find(u'\0')));
    if (pending.size() >= kPiece) flush();
  });
  if (!pending.empty()) flush();
}

std::vector<std::u16string> ReadTextFileLines(module::TZod& zod, int module, const std::string& fileName,
                                              const std::string& bytes, bool unicode) {
  std::u16string all;
  if (unicode || (bytes.size() >= 2 && bytes[0] == ';' && bytes[1] == 0)) {
    all.resize(bytes.size() / 2);
    for (size_t i = 0; i < all.size(); ++i)
      all[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  } else {
    // The settings are ASCII: find CHARSET= (else the target's charset) in the bytes.
    int charset = -1;
    const auto lineValue = [&](std::string_view name) -> std::optional<std::string> {
      for (size_t at = 0; at < bytes.size();) {
        const size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
        if (std::string_view(bytes).substr(at, end - at).starts_with(name))
          return bytes.substr(at + name.size(), end - at - name.size());
        at = end + 1;
      }
      return std::nullopt;
    };
    if (const auto value = lineValue("CHARSET=")) {
      size_t digits = 0;
      while (digits < value->size() && digits < 3 && (*value)[digits] >= '0' && (*value)[digits] <= '9') ++digits;
      const int number = digits == 0 ? -1 : std::stoi(value->substr(0, digits));
      if (number < 0 || number > 255)
        throw EToolError(rtl::Format(strings::_SExchangeBad, fileName, "CHARSET= must be a number from 0 to 255"));
      charset = number;
    } else if (const auto target = lineValue("TARGETID="); target && target->size() >= 2) {
      charset = zod.GetCharsetOfLanguage(module, module::MakeLanguageId((*target)[0], (*target)[1]));
    }
    all = text::ByteToUnicode(bytes, std::max(charset, 0));
  }
  text::TUStringList list;
  list.SetText(all);
  std::vector<std::u16string> lines;
  lines.reserve(static_cast<size_t>(list.Count()));
  for (int32_t i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

module::TLanguageId TextFileTarget(module::TZod& zod, int module, const std::string& fileName,
                                   const std::vector<std::u16string>& lines) {
  const std::optional<std::string> target = Setting(lines, u"TARGETID=");
  if (!target || target->size() < 2) throw EToolError(rtl::Format(strings::_SExchangeNoTarget, fileName));
  const module::TLanguageId id = module::MakeLanguageId((*target)[0], (*target)[1]);
  std::vector<module::TLanguageId> ids;
  zod.GetLanguageList(module, ids);
  // Writing into a language the module does not have would make a term table of no language.
  if (std::find(ids.begin(), ids.end(), id) == ids.end() || id == module::kCommentLanguage)
    throw EToolError(
        rtl::Format(strings::_SExchangeUnknownTarget, fileName, target->substr(0, 2), LanguageNames(zod, module)));
  return id;
}

TImportReport ImportTextFile(module::TZod& zod, int module, const std::string& fileName, const std::string& bytes,
                             const TTextImportOptions& options) {
  const std::vector<std::u16string> lines = ReadTextFileLines(zod, module, fileName, bytes, options.Unicode);
  TImportReport report;
  report.Language = TextFileTarget(zod, module, fileName, lines);
  const TObjectIndex index(zod, module);
  module::TModuleLock lock(zod.GetModuleInterface(module), true);

  std::string formName;
  const TExchangeForm* form = nullptr;
  std::optional<std::u16string> comment;
  std::optional<std::string> name;
  std::optional<uint32_t> ident;
  for (const std::u16string& line : lines) {
    const std::u16string_view rest = std::u16string_view(line).substr(std::min<size_t>(3, line.size()));
    if (StartsWith(line, u"#F ")) {
      formName = text::WideToUtf8(rest.substr(0, rest.find(u' ')));
      form = index.Form(formName);
      comment.reset(), name.reset(), ident.reset();
    } else if (StartsWith(line, u"#O ")) {
      name = text::WideToUtf8(rest);
    } else if (StartsWith(line, u"#C ")) {
      comment = std::u16string(rest);
    } else if (StartsWith(line, u"#I ")) {
      ident.reset();
      if (rest.size() >= 8 && std::all_of(rest.begin(), rest.begin() + 8, [](char16_t c) {
            return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
          }))
        ident = static_cast<uint32_t>(text::HexToInt(text::WideToUtf8(rest.substr(0, 8))));
    } else if (StartsWith(line, u"#2 ")) {
      const std::string shownName = name.value_or("");
      const TExchangeObject* object = form && ident ? index.ById(*form, *ident) : nullptr;
      if (!object) {
        report.Add(formName, shownName, TImportOutcome::NotFound);
      } else if (!name || object->Name != *name) {
        report.Add(formName, shownName, TImportOutcome::NameMismatch);
      } else {
        TIncoming incoming{std::u16string(rest), options.EmptyAsTranslated,
                           options.Comments ? comment : std::nullopt};
        report.Add(formName, shownName, ImportTranslation(zod, module, object->Object, report.Language, incoming));
      }
      comment.reset(), name.reset(), ident.reset();
    }
  }
  return report;
}

// --- the reduced module ---------------------------------------------------------------------------

int ExportModule(module::TZod& zod, int module, module::TZod& targetZod, int target, const TExportOptions& options) {
  for (const module::TLanguageId id : {options.Target, options.Base}) {
    module::TZodLanguage language;
    language.Identifier = id;
    if (zod.GetLanguage(module, language)) targetZod.SetLanguage(target, language);
  }
  targetZod.SetDesignTimeLanguage(target, options.Base);
  const auto copyTerm = [&](module::TLanguageId language, uint32_t ident) {
    if (ident == 0) return;
    if (const auto term = ReadStoredTerm(zod, module, language, ident))
      WriteStoredTerm(targetZod, target, language, ident, *term);
  };
  int copied = 0;
  module::TModuleLock lock(targetZod.GetModuleInterface(target), true);
  for (const TExchangeForm& form : ExchangeForms(zod, module))
    for (const TExchangeObject& item : form.Objects) {
      const TZodObject& source = item.Object;
      if (!ExportFilter(zod, module, source, options)) continue;
      TZodObject copy;
      copy.Ident = form.Name.front() == '#'
                       ? targetZod.AddUnitObject(target, form.Name, source.CompName, item.Property, source.Kind,
                                                 source.ZodClass)
                       : targetZod.AddObject(target, form.Name, item.Component, item.Property, source.Kind,
                                             source.ZodClass);
      if (copy.Ident == 0 || !targetZod.GetObject(target, copy)) continue;
      // The same term identifiers, so that what comes back names the same texts.
      copy.Localization = source.Localization;
      copy.Comment = options.Comments ? source.Comment : 0;
      copy.Locked = source.Locked;
      copy.Priority = source.Priority;
      targetZod.SetObject(target, copy);
      copyTerm(options.Base, copy.Localization);
      copyTerm(options.Target, copy.Localization);
      copyTerm(module::kCommentLanguage, copy.Comment);
      ++copied;
    }
  return copied;
}

// --- statistics ----------------------------------------------------------------------------------

TStatistics GetAmounts(module::TZod& zod, int module, module::TLanguageId language) {
  storage::TReadBracket read(zod.GetModuleInterface(module));  // one state, no lock per read
  TStatistics s;
  ForEachExchangeForm(zod, module, [&](const TExchangeForm& form) {
    for (const TExchangeObject& item : form.Objects) {
      ++s.Total;
      if (item.Object.Locked) ++s.Locked;
      // A missing term counts as untranslated.
      const uint8_t status = ReadTermText(zod, module, language, item.Object.Localization).value_or(TTermText{}).Status;
      if (status == module::usForReview)
        ++s.ForReview;
      else if (status == module::usSignedOff)
        ++s.SignedOff;
      else
        ++s.UnTranslated;
    }
  });
  return s;
}

int Percentage(int count, int total) {
  if (total <= 0) return 0;
  const long long scaled = 100LL * count, q = scaled / total, r = scaled % total;
  if (2 * r > total || (2 * r == total && q % 2 == 1)) return static_cast<int>(q + 1);
  return static_cast<int>(q);
}

// --- translation from dictionaries ---------------------------------------------------------------

TAutoTranslateResult AutoTranslate(module::TZod& zod, int module, const TAutoTranslateOptions& options,
                                   const TProgress& progress) {
  for (const module::TLanguageId language : {options.Base, options.Target}) {
    bool found = false;
    for (int i = 0; i < zod.GetModuleCount() && !found; ++i) found = zod.IsLanguageDictionary(i, language);
    if (!found) {
      std::u16string name = LanguageName(zod, module, language);
      if (name.empty()) name = Wide(module::LanguageIdToText(language));
      throw EToolError(rtl::Format(strings::_SNoDictionaryInstalled, text::WideToUtf8(name)));
    }
  }
  TAutoTranslateResult result;
  const int flags = options.IgnoreContext ? static_cast<int>(module::kTranslateAnyClass) : 0;
  const size_t total = static_cast<size_t>(std::max(zod.GetObjectCount(module), 0));
  size_t walked = 0;
  for (const TExchangeForm& form : ExchangeForms(zod, module))
    for (const TExchangeObject& item : form.Objects) {
      ++walked;
      TZodObject object = item.Object;
      if (object.Localization == 0 || object.Kind != module::utString) continue;
      const TTermText base = ReadTermText(zod, module, options.Base, object.Localization).value_or(TTermText{});
      if (base.Text.empty()) continue;
      if (object.Locked) {
        ++result.Locked;
        continue;
      }
      const TTermText target = ReadTermText(zod, module, options.Target, object.Localization).value_or(TTermText{});
      if (target.Status == module::usSignedOff) {
        ++result.SignedOff;
        continue;
      }
      if (options.OnlyEmpty && !target.Text.empty()) continue;
      ++result.Considered;
      const std::optional<std::u16string> found =
          zod.TranslateW(base.Text, options.Base, options.Target, object.ZodClass, flags);
      // A dictionary's empty text is no translation; the same text again changes nothing.
      if (found && !found->empty() && !(*found == target.Text && target.Status == module::usForReview)) {
        StoreObjectText(zod, module, object, options.Target, *found, module::usForReview);
        ++result.Translated;
      }
      Report(progress,
             rtl::Format(strings::_SAutoTranslateCount, result.Translated, result.Considered) + " " +
                 text::WideToUtf8(base.Text),
             walked, std::max(total, walked));
    }
  return result;
}

}  // namespace quintrel::tools
