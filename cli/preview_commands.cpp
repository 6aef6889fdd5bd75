#include "cli/preview_commands.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/common.h"
#include "cli/form_commands.h"
#include "cli/project_commands.h"
#include "cli/target.h"
#include "cli/zod_common.h"
#include "module/objects.h"
#include "platform/ide/project.h"
#include "platform/rtl/sysutils.h"
#include "platform/vcl/charsets.h"
#include "platform/vcl/dialogs.h"
#include "platform/vcl/filer.h"
#include "platform/vcl/formatvars.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/proplist.h"
#include "platform/vcl/resstrings.h"
#include "platform/vcl/streaming.h"
#include "platform/vcl/textutil.h"
#include "platform/win32/menus.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/resources.h"
#include "runtime/quintrel.h"
#include "strings/qconsts.h"
#include "text/codepages.h"
#include "text/unicode.h"
#include "tools/liveforms.h"

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;

struct TPreviewOptions {
  TTarget Target;
  std::string Language;
  std::vector<std::string> Forms;
  int CodePage = 0;
  bool Json = false;
  bool SystemMenu = false;
  bool ResStrings = false;
  bool Dialogs = false;
};

std::string AbsolutePath(const std::string& path) {
  return std::filesystem::absolute(path).lexically_normal().string();
}

// String values in the JSON are the texts themselves; the form notation's quotes belong
// to the text output.
nlohmann::json PlainNodeJson(vcl::TComponentNode node) {
  for (vcl::TPropertyLeaf& leaf : node.Properties) {
    const bool text = leaf.Kind == vcl::tkChar || leaf.Kind == vcl::tkWChar || leaf.Kind == vcl::tkString ||
                      leaf.Kind == vcl::tkLString || leaf.Kind == vcl::tkWString;
    if (text && leaf.Value.size() >= 2 && leaf.Value.front() == '\'' && leaf.Value.back() == '\'')
      leaf.Value = leaf.Value.substr(1, leaf.Value.size() - 2);
  }
  return ComponentNodeJson(node);
}

// What the application would store in its module on its own, which a preview only shows:
// the string-table numbers of the resource strings it matched at its first start, and the
// session's language when it ends.
struct TStoredItem {
  std::string Unit, Identifier;
  uint32_t Object = 0, Number = 0;
};
struct TWouldStore {
  std::vector<TStoredItem> Numbers;
  std::optional<module::TLanguageId> DefaultLanguage;
};

TWouldStore WhatWouldBeStored(runtime::TQuintrel& translator) {
  TWouldStore store;
  module::TZod& zod = translator.Zod();
  const int m = translator.Module();
  const module::TCatalogueList forms = zod.GetForms(m), props = zod.GetProps(m);
  const auto nameOf = [](const module::TCatalogueList& list, int line) {
    std::string name = line < 0 ? std::string("?") : module::CatalogueName(list[static_cast<size_t>(line)]);
    if (!name.empty() && name.front() == '#') name.erase(0, 1);
    return name;
  };
  for (const module::TZodObject& object : translator.UnsavedObjects())
    store.Numbers.push_back({nameOf(forms, module::GetFormIndex(forms, object.FormID)),
                             nameOf(props, module::GetPropIndex(props, object.PropertyName)), object.Ident,
                             object.CompName});
  const std::optional<module::TLanguageId> session = translator.SessionLanguageToSave();
  if (session && *session != zod.GetDefaultLanguage(m)) store.DefaultLanguage = session;
  return store;
}

std::string Utf8(std::string_view bytes, int charset) {
  return text::WideToUtf8(text::ByteToUnicode(bytes, charset));
}

// The items of a form's system menu: their ids and captions, a separator's caption "-",
// the state the user sees after the caption.
std::vector<std::pair<unsigned, std::string>> SystemMenuItems(vcl::TCustomForm& form) {
  std::vector<std::pair<unsigned, std::string>> items;
  const win32::HMENU menu = form.SystemMenu();
  const int count = win32::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const auto position = static_cast<win32::UINT>(i);
    const unsigned id = win32::GetMenuItemID(menu, i);
    const win32::UINT state = win32::GetMenuState(menu, position, win32::MF_BYPOSITION);
    std::string caption = state & win32::MF_SEPARATOR
                              ? "-"
                              : text::WideToUtf8(win32::GetMenuString(menu, position, win32::MF_BYPOSITION));
    if (state & win32::MF_CHECKED) caption += " (checked)";
    if (!(state & win32::MF_SEPARATOR) && (state & win32::MF_GRAYED)) caption += " (grayed)";
    items.emplace_back(id, caption);
  }
  return items;
}

// What the user sees of a common dialog when it opens: its caption and the texts of its
// controls, with their ids.
struct TDialogView {
  std::string Name, ClassName, Caption;
  std::vector<std::pair<int, std::string>> Controls;
};

// The translator gives an 8-bit application's dialog its texts as bytes of the language's
// charset, which the window manager holds in the ANSI code page; the user sees them drawn
// in the language's charset, and so does this.
void ReadDialogWindow(win32::HWND window, int charset, TDialogView& view) {
  const vcl::TTextCodec ansi = vcl::AnsiCodec();
  const auto shown = [&](win32::HWND w) { return Utf8(ansi.ToNarrow(win32::GetWindowText(w)), charset); };
  view.Caption = shown(window);
  for (win32::HWND c = win32::GetWindow(window, win32::GW_CHILD); c; c = win32::GetWindow(c, win32::GW_HWNDNEXT))
    if (win32::GetWindowTextLength(c) > 0) view.Controls.emplace_back(win32::GetDlgCtrlID(c), shown(c));
}

// Opens every common dialog the root owns, as the application would, and cancels it once
// it is shown (the find and replace dialogs, which do not wait, are closed).
std::vector<TDialogView> OpenDialogs(vcl::TComponent& root, int charset) {
  std::vector<TDialogView> views;
  for (int i = 0; i < root.ComponentCount(); ++i) {
    auto* dialog = dynamic_cast<vcl::TCommonDialog*>(root.Components(i));
    if (!dialog) continue;
    TDialogView view{dialog->Name(), std::string(dialog->ClassName()), {}, {}};
    bool seen = false;
    {
      win32::TScopedDialogDriver driver([&](win32::HWND window) {
        if (!seen) ReadDialogWindow(window, charset, view);
        seen = true;
        return false;
      });
      dialog->Execute();
    }
    if (auto* find = dynamic_cast<vcl::TFindDialog*>(dialog)) {
      if (!seen && find->Handle()) ReadDialogWindow(find->Handle(), charset, view);
      find->CloseDialog();
    }
    views.push_back(std::move(view));
  }
  return views;
}

nlohmann::json LocaleJson(int charset) {
  const vcl::TFormatSettings& fs = vcl::FormatSettings();
  const auto names = [&](const auto& list, size_t first) {
    nlohmann::json array = nlohmann::json::array();
    for (size_t i = first; i < list.size(); ++i) array.push_back(Utf8(list[i], charset));
    return array;
  };
  return {{"ShortDateFormat", Utf8(fs.ShortDateFormat, charset)},
          {"LongDateFormat", Utf8(fs.LongDateFormat, charset)},
          {"DateSeparator", Utf8(std::string(1, fs.DateSeparator), charset)},
          {"ShortTimeFormat", Utf8(fs.ShortTimeFormat, charset)},
          {"LongTimeFormat", Utf8(fs.LongTimeFormat, charset)},
          {"TimeSeparator", Utf8(std::string(1, fs.TimeSeparator), charset)},
          {"TimeAMString", Utf8(fs.TimeAMString, charset)},
          {"TimePMString", Utf8(fs.TimePMString, charset)},
          {"CurrencyString", Utf8(fs.CurrencyString, charset)},
          {"CurrencyFormat", fs.CurrencyFormat},
          {"NegCurrFormat", fs.NegCurrFormat},
          {"CurrencyDecimals", fs.CurrencyDecimals},
          {"ThousandSeparator", Utf8(std::string(1, fs.ThousandSeparator), charset)},
          {"DecimalSeparator", Utf8(std::string(1, fs.DecimalSeparator), charset)},
          {"LongDayNames", names(fs.LongDayNames, 1)},
          {"ShortDayNames", names(fs.ShortDayNames, 1)},
          {"LongMonthNames", names(fs.LongMonthNames, 1)},
          {"ShortMonthNames", names(fs.ShortMonthNames, 1)}};
}

void Preview(const TPreviewOptions& o) {
  const host::TProject project = OpenProject(o.Target.ProjectFile());
  const std::string projectFile = AbsolutePath(project.ProjectFile());
  const std::string moduleFile = AbsolutePath(o.Target.ModuleFile());
  const module::TLanguageId language = ParseLanguageId(o.Language);

  // What the module lacks is said before the application starts, as every command says it.
  int charset = 0;
  {
    TModuleFile file(moduleFile, TModuleFile::TAccess::ReadOnly);
    file.RequireLanguage(language);
    file.WarnNoDesignLanguage();
    module::TZodLanguage record;
    record.Identifier = language;
    file.Zod().GetLanguage(file.Index(), record);
    charset = record.Charset;
  }
  // A charset without a code page (a module from elsewhere may have one) gets the
  // translator's texts as ASCII with 0x7F for every other character; they are shown
  // through the ANSI code page so that the form still shows.
  const bool charsetConverts = text::CharsetToCodePage(charset) != 0;
  if (!charsetConverts)
    std::cerr << "quintrel: " << rtl::Format(qs::_SCliCharsetWithoutCodePage, moduleFile, FormatLanguageId(language), charset)
              << "\n";
  const int shownCharset = charsetConverts ? charset : 0;

  // What the application would show in message boxes goes to stderr.
  auto previousSink = win32::SetMessageBoxSink([](const win32::TMessageBoxRequest& r) {
    std::cerr << "quintrel: " << text::WideToUtf8(r.text) << "\n";
    return win32::DefaultButton(r.type);
  });
  struct TRestoreSink {
    win32::TMessageBoxSink sink;
    ~TRestoreSink() { win32::SetMessageBoxSink(sink); }
  } restoreSink{previousSink};

  // The executable's string table is linked in before anything runs, so that the
  // translator matches its Pascal strings against it when it starts. Without
  // --resstrings a source the linker cannot read costs only that matching.
  host::TStringTable strings;
  try {
    strings = LinkProjectStrings(project);
  } catch (const ECommandFailed& e) {
    if (o.ResStrings) throw;
    std::cerr << "quintrel: warning: " << e.what() << "\n";
  }
  win32::HINSTANCE instance = win32::GetModuleHandle(nullptr);
  host::InstallStringTable(instance, strings);
  struct TUninstall {
    win32::HINSTANCE instance;
    const host::TStringTable& strings;
    ~TUninstall() {
      for (const host::TLinkedString& s : strings.Strings) win32::RemoveResourceString(instance, s.Resource);
    }
  } uninstall{instance, strings};

  // The application's start: the translator first, then its forms in project order. A
  // preview shows; it does not change the module, which it opens for reading only.
  runtime::TTranslatorUnit unit(moduleFile, runtime::TModuleAccess::ReadOnly);
  runtime::TQuintrel* translator = runtime::GlobalQuintrel();
  std::error_code ec;
  if (!translator || translator->Module() < 0 || !std::filesystem::equivalent(translator->GetProjectFile(), moduleFile, ec))
    throw ECommandFailed(rtl::Format(qs::_SCliNotAModule, moduleFile));

  std::vector<tools::TFormFile> files;
  std::vector<tools::TLiveForm> forms;
  try {
    files = tools::ReadFormFiles(project);
    forms = tools::CreateForms(files, o.CodePage);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
  // Form names compare ignoring case, as the language compares identifiers.
  std::string names;
  for (const std::string& name : o.Forms) {
    const auto found =
        std::find_if(forms.begin(), forms.end(), [&](const tools::TLiveForm& f) { return vcl::SameText(f.Root->Name(), name); });
    if (found == forms.end()) {
      std::string known;
      for (const tools::TLiveForm& f : forms) known += (known.empty() ? "" : ", ") + f.Root->Name();
      throw ECommandFailed(rtl::Format(qs::_SCliNoProjectForm, projectFile, name, known.empty() ? "none" : known));
    }
    names += found->Root->Name() + " ";
  }
  const auto selected = [&](const tools::TLiveForm& f) {
    return o.Forms.empty() || (" " + names).find(" " + f.Root->Name() + " ") != std::string::npos;
  };

  translator->SwitchLanguage(language, false, true, names);
  const TWouldStore wouldStore = WhatWouldBeStored(*translator);

  vcl::TFilerContext context;
  context.Codec = vcl::CodecForCodePage(static_cast<int>(text::CharsetToCodePage(shownCharset)));

  // Each string as the application loads it, through the loader the translator redirected.
  std::vector<std::u16string> loaded;
  if (o.ResStrings)
    for (const host::TLinkedString& s : strings.Strings) {
      const vcl::TResStringRec rec{&instance, s.Resource};
      loaded.push_back(text::ByteToUnicode(vcl::LoadResString(&rec), shownCharset));
    }

  if (o.Json) {
    nlohmann::json out = {{"project", projectFile},
                          {"module", moduleFile},
                          {"language", FormatLanguageId(language)},
                          {"charset", charset},
                          {"mirrored", translator->FlipState()},
                          {"locale", LocaleJson(shownCharset)}};
    nlohmann::json list = nlohmann::json::array();
    vcl::TValueTextOptions show;
    show.Display = &context.Codec;
    for (const tools::TLiveForm& f : forms) {
      if (!selected(f)) continue;
      nlohmann::json components = nlohmann::json::array();
      for (const vcl::TComponentNode& node : vcl::ComponentTree(*f.Root, show)) components.push_back(PlainNodeJson(node));
      nlohmann::json form = {{"file", f.FileName}, {"name", f.Root->Name()}, {"components", components}};
      if (o.SystemMenu)
        if (auto* asForm = dynamic_cast<vcl::TCustomForm*>(f.Root.get())) {
          translator->BuildSystemLangList(*asForm, 0, true);
          nlohmann::json menu = nlohmann::json::array();
          for (const auto& [id, caption] : SystemMenuItems(*asForm)) menu.push_back({{"id", id}, {"caption", caption}});
          form["systemMenu"] = menu;
        }
      if (o.Dialogs) {
        nlohmann::json dialogs = nlohmann::json::array();
        for (const TDialogView& view : OpenDialogs(*f.Root, shownCharset)) {
          nlohmann::json controls = nlohmann::json::array();
          for (const auto& [id, caption] : view.Controls) controls.push_back({{"id", id}, {"text", caption}});
          dialogs.push_back(
              {{"name", view.Name}, {"class", view.ClassName}, {"caption", view.Caption}, {"controls", controls}});
        }
        form["dialogs"] = dialogs;
      }
      list.push_back(form);
    }
    out["forms"] = list;
    if (o.ResStrings) {
      nlohmann::json texts = nlohmann::json::array();
      for (size_t i = 0; i < loaded.size(); ++i) {
        const host::TLinkedString& s = strings.Strings[i];
        texts.push_back({{"id", s.Resource},
                         {"unit", s.Unit},
                         {"identifier", s.Identifier.empty() ? nlohmann::json(nullptr) : nlohmann::json(s.Identifier)},
                         {"text", text::WideToUtf8(loaded[i])}});
      }
      out["resourceStrings"] = texts;
    }
    nlohmann::json numbers = nlohmann::json::array();
    for (const TStoredItem& item : wouldStore.Numbers)
      numbers.push_back(
          {{"object", item.Object}, {"unit", item.Unit}, {"identifier", item.Identifier}, {"number", item.Number}});
    out["wouldStore"] = {{"resourceStringNumbers", numbers},
                         {"defaultLanguage", wouldStore.DefaultLanguage
                                                 ? nlohmann::json(FormatLanguageId(*wouldStore.DefaultLanguage))
                                                 : nlohmann::json(nullptr)}};
    std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return;
  }

  for (const tools::TLiveForm& f : forms) {
    if (!selected(f)) continue;
    vcl::TFormStream written = vcl::WriteComponent(*f.Root, f.Stream, &context);
    // Quoted 8-bit texts of the form notation are bytes of the language's charset; the
    // terminal gets them as UTF-8.
    std::cout << "// " << f.FileName << " in " << FormatLanguageId(language) << "\n"
              << Utf8(vcl::WriteTextForm(vcl::ToTextNotation(written)), shownCharset);
    if (o.SystemMenu)
      if (auto* asForm = dynamic_cast<vcl::TCustomForm*>(f.Root.get())) {
        translator->BuildSystemLangList(*asForm, 0, true);
        std::cout << "// system menu of " << asForm->Name() << "\n";
        // As the user sees the menu: the captions, a line for a separator; the ids are for programs (--json).
        for (const auto& item : SystemMenuItems(*asForm))
          std::cout << "//   " << (item.second == "-" ? std::string("--------") : item.second) << "\n";
      }
    if (o.Dialogs)
      for (const TDialogView& view : OpenDialogs(*f.Root, shownCharset)) {
        std::cout << "// dialog " << view.Name << " (" << view.ClassName << ") of " << f.Root->Name() << ": "
                  << view.Caption << "\n";
        for (const auto& [id, caption] : view.Controls) std::cout << "//   " << id << " " << caption << "\n";
      }
  }
  if (o.ResStrings) {
    std::cout << "// resource strings in " << FormatLanguageId(language) << "\n";
    for (size_t i = 0; i < loaded.size(); ++i) {
      const host::TLinkedString& s = strings.Strings[i];
      std::cout << "//   " << s.Resource << " " << s.Unit << " " << (s.Identifier.empty() ? "-" : s.Identifier)
                << " = " << EscapedText(loaded[i]) << "\n";
    }
  }
  const nlohmann::json locale = LocaleJson(shownCharset);
  std::cout << "// locale of " << FormatLanguageId(language) << "\n";
  for (const auto& [key, value] : locale.items())
    std::cout << "//   " << key << " = " << (value.is_string() ? value.get<std::string>() : value.dump()) << "\n";
  if (!wouldStore.Numbers.empty() || wouldStore.DefaultLanguage) {
    std::cout << "// the application would store in " << moduleFile << " (not stored by a preview)\n";
    for (const TStoredItem& item : wouldStore.Numbers)
      std::cout << "//   object " << item.Object << " " << item.Unit << " " << item.Identifier << ": string number "
                << item.Number << "\n";
    if (wouldStore.DefaultLanguage)
      std::cout << "//   default language " << FormatLanguageId(*wouldStore.DefaultLanguage)
                << " (the session's language, when it ends)\n";
  }
}

}  // namespace

void RegisterPreviewCommands(CLI::App& app) {
  auto o = std::make_shared<TPreviewOptions>();
  CLI::App* preview = app.add_subcommand(
      "preview",
      "Load a project's forms as the running application would, switch them to a language of its module and "
      "print them (text form notation, or --json) with the locale the switch set. The module is only read: what "
      "the application would store in it on its own (the numbers of resource strings it matches at its first "
      "start, the session's language) is listed at the end");
  o->Target.AddModule(preview, false, "Language module, opened for reading only");
  preview->add_option("--lang", o->Language, "Language to switch to (two characters such as de, or $HHHH)")
      ->required();
  preview->add_option("--form", o->Forms,
                      "Only this form or data module (repeatable; the name compares ignoring case). Frames show "
                      "inside the forms that embed them");
  preview->add_option("--codepage", o->CodePage, kCodePageHelp)->check(CLI::Range(1, 65535));
  preview->add_flag("--system-menu", o->SystemMenu, "Also show each form's system menu with its language list");
  preview->add_flag("--resstrings", o->ResStrings,
                    "Also show every string of the application's string table (its resource scripts' STRINGTABLEs "
                    "and its Pascal units' resourcestrings, linked from the project's sources) as the application "
                    "loads it in the language");
  preview->add_flag("--dialogs", o->Dialogs,
                    "Also open each form's common dialogs (cancelled at once) and show their captions and the texts "
                    "of their controls by id");
  preview->add_flag("--json", o->Json,
                    "The component trees with their property values as JSON (texts without the form notation's "
                    "quotes; paths absolute)");
  preview->callback([o] { Preview(*o); });
}

}  // namespace quintrel::cli
