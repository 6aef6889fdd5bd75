#include "cli/terms_commands.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/common.h"
#include "cli/output_file.h"
#include "cli/target.h"
#include "cli/term_commands.h"
#include "cli/texts.h"
#include "cli/zod_common.h"
#include "editors/termeditor.h"
#include "platform/rtl/filebytes.h"
#include "strings/qconsts.h"
#include "strings/toolconsts.h"
#include "tools/othermodule.h"

namespace quintrel::cli {

namespace fs = std::filesystem;
namespace qs = quintrel::strings;
using editors::TEntry;
using editors::TTermEditor;
using module::TLanguageId;
using nlohmann::json;

namespace {

// The largest picture file `terms picture set` reads.
constexpr size_t kMaxPictureFile = size_t{64} << 20;

// The module a terms command works on, opened in the process's module list, where the
// permanently registered modules serve as dictionaries. A dry run works on a scratch copy
// that goes with the object, so the change runs for real and is thrown away.
class TEditorModule {
public:
  TEditorModule(const std::string& fileName, bool writes, bool dryRun) : fileName_(fileName), dryRun_(dryRun) {
    std::string working = fileName;
    if (dryRun) {
      std::string pattern = (fs::temp_directory_path() / "quintrel-dry-run-XXXXXX").string();
      if (!::mkdtemp(pattern.data()))
        throw ECommandFailed(rtl::Format(qs::_SToolCannotWrite, pattern, std::strerror(errno)));
      scratch_ = pattern;
      working = (fs::path(scratch_) / fs::path(fileName).filename()).string();
      std::error_code ec;
      fs::copy_file(fileName, working, ec);
      if (ec) throw ECommandFailed(rtl::Format(qs::_SCliReadFailed, fileName, ec.message()));
    }
    try {
      work_.emplace(working, writes ? rtl::fmOpenReadWrite : rtl::fmOpenRead);
      editor_.emplace(module::GlobalZOD(), work_->Index());
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(e.Message());
    }
  }
  ~TEditorModule() {
    editor_.reset();
    work_.reset();
    if (scratch_.empty()) return;
    std::error_code ec;
    fs::remove_all(scratch_, ec);
  }
  TEditorModule(const TEditorModule&) = delete;
  TEditorModule& operator=(const TEditorModule&) = delete;

  TTermEditor& Editor() { return *editor_; }
  // The line of a command that changed the module.
  void Changed() const {
    std::cout << rtl::Format(dryRun_ ? qs::_SToolWouldChangeModule : qs::_SToolChangedModule, fileName_) << "\n";
  }

private:
  std::string fileName_;
  bool dryRun_;
  std::string scratch_;
  std::optional<tools::TWorkModule> work_;
  std::optional<TTermEditor> editor_;
};

// What every terms command takes: where it works, the languages, and its own arguments.
struct TTermsOptions {
  TTarget Target;
  std::string Object, Base, Target_, Lang, Text, File, Expect, From, Status;
  bool Json = false, DryRun = false, Untranslated = false, Review = false, Force = false;
  CLI::Option* ExpectOption = nullptr;
};
using TOptions = std::shared_ptr<TTermsOptions>;

// Runs the command's work on the editor; the editor's refusals end it with their line.
void Run(const TOptions& o, bool writes, const std::function<void(TEditorModule&)>& work) {
  TEditorModule file(o->Target.ModuleFile(), writes, o->DryRun);
  try {
    if (!o->Base.empty()) file.Editor().SetBase(ParseLanguageId(o->Base));
    if (!o->Target_.empty()) file.Editor().SetTarget(ParseLanguageId(o->Target_));
    work(file);
  } catch (const rtl::Exception& e) {
    throw ECommandFailed(e.Message());
  }
}

TLanguageId Language(TTermEditor& editor, const std::string& text) {
  const TLanguageId id = ParseLanguageId(text);
  editor.RequireLanguage(id);
  return id;
}

std::string Utf8Of(std::u16string_view text) { return Utf8(std::u16string(text)); }

json EntryJson(const TEntry& e) {
  return json{{"id", e.Object},
              {"path", e.Path},
              {"form", e.Form},
              {"component", e.Component},
              {"property", e.Property},
              {"type", module::ZodTypeName(e.Kind)},
              {"class", module::ZodClassName(e.ZodClass)},
              {"state", editors::StateName(e.State)}};
}

json SideJson(TLanguageId language, const editors::TEntryText& side, bool picture) {
  json j{{"lang", FormatLanguageId(language)}, {"exists", side.Exists}, {"size", side.Size}};
  j["status"] = side.Exists ? json(StatusName(side.Status)) : json(nullptr);
  if (!picture) j["text"] = Utf8Of(side.Text);
  return j;
}

// The common options of a command on one object.
void AddCommon(CLI::App* cmd, const TOptions& o, bool changes) {
  o->Target.AddModule(cmd, false);
  if (changes) cmd->add_flag("--dry-run", o->DryRun, "Show what would change; write nothing");
}
void AddObject(CLI::App* cmd, const TOptions& o) {
  cmd->add_option("OBJECT", o->Object, "The object: its id, or Form.Component.Property (Form.Property for the "
                                       "form itself and for resource strings)")
      ->required();
}
void AddLanguages(CLI::App* cmd, const TOptions& o, bool base) {
  if (base)
    cmd->add_option("--base", o->Base, "The language shown beside the target (default: the design language)");
  cmd->add_option("--target", o->Target_,
                  "The language translated (default: the first of the module's other languages)");
}

// --- tree, show, next, prev -----------------------------------------------------------------

void RegisterTree(CLI::App* terms) {
  auto o = std::make_shared<TTermsOptions>();
  CLI::App* cmd = terms->add_subcommand(
      "tree", "The module's forms, their components and properties, each with its state in the target language "
              "(untranslated, review, signed-off, locked) and its object id");
  AddCommon(cmd, o, false);
  AddLanguages(cmd, o, false);
  cmd->add_flag("--json", o->Json, "Print [{form, id, components: [{name, entries: [{id, path, ..., state}]}]}]");
  auto* u = cmd->add_flag("--untranslated", o->Untranslated, "Only the untranslated properties");
  cmd->add_flag("--review", o->Review, "Only the properties to review")->excludes(u);
  cmd->callback([o] {
    Run(o, false, [&](TEditorModule& file) {
      const editors::TTreeFilter filter = o->Untranslated ? editors::TTreeFilter::Untranslated
                                          : o->Review     ? editors::TTreeFilter::ForReview
                                                          : editors::TTreeFilter::All;
      json forms = json::array();
      for (const editors::TTreeForm& form : file.Editor().Tree(filter)) {
        json components = json::array();
        if (!o->Json) std::cout << form.Name << "\n";
        for (const editors::TTreeComponent& component : form.Components) {
          json entries = json::array();
          if (!o->Json && !component.Name.empty()) std::cout << "  " << component.Name << "\n";
          const std::string indent = component.Name.empty() ? "  " : "    ";
          for (const TEntry& entry : component.Entries) {
            if (o->Json) {
              entries.push_back(EntryJson(entry));
            } else {
              std::cout << indent << entry.Property << "\t" << editors::StateName(entry.State) << "\t" << entry.Object
                        << "\n";
            }
          }
          components.push_back(json{{"name", component.Name}, {"entries", std::move(entries)}});
        }
        forms.push_back(json{{"form", form.Name}, {"id", form.Id}, {"components", std::move(components)}});
      }
      if (o->Json) std::cout << forms.dump(2) << "\n";
    });
  });
}

void RegisterShow(CLI::App* terms) {
  auto o = std::make_shared<TTermsOptions>();
  CLI::App* cmd = terms->add_subcommand(
      "show", "An object's type, its text in the base and the target language, status, comment and the "
              "dictionaries' suggestion (a picture: its class and sizes)");
  AddCommon(cmd, o, false);
  AddObject(cmd, o);
  AddLanguages(cmd, o, true);
  cmd->add_flag("--json", o->Json,
                "Print {id, path, ..., type, state, base: {lang, exists, status, size, text}, target: {...}, "
                "comment, suggestion, pictureClass}");
  cmd->callback([o] {
    Run(o, false, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      const editors::TEntryView v = editor.Show(editor.Find(o->Object));
      if (o->Json) {
        json j = EntryJson(v.Entry);
        j["picture"] = v.Picture;
        j["base"] = SideJson(editor.Base(), v.Base, v.Picture);
        j["target"] = SideJson(editor.Target(), v.Target, v.Picture);
        j["comment"] = Utf8Of(v.Comment);
        j["suggestion"] = v.Suggestion ? json(Utf8Of(*v.Suggestion)) : json(nullptr);
        j["pictureClass"] = v.PictureClass.empty() ? json(nullptr) : json(v.PictureClass);
        std::cout << j.dump(2) << "\n";
        return;
      }
      std::cout << "object\t" << v.Entry.Object << " " << v.Entry.Path << "\n"
                << "type\t" << v.TypeName << " (" << module::ZodClassName(v.Entry.ZodClass) << ")\n"
                << "state\t" << editors::StateName(v.Entry.State) << "\n";
      auto side = [&](TLanguageId language, const editors::TEntryText& s) {
        std::cout << FormatLanguageId(language) << "\t";
        if (!s.Exists) {
          std::cout << "(none)\n";
        } else if (v.Picture) {
          std::cout << s.Size << " bytes\n";
        } else {
          std::cout << EscapedText(s.Text) << "\n";
        }
      };
      side(editor.Base(), v.Base);
      side(editor.Target(), v.Target);
      if (v.Picture) std::cout << "class\t" << v.PictureClass << "\n";
      if (!v.Comment.empty()) std::cout << "comment\t" << EscapedText(v.Comment) << "\n";
      if (v.Suggestion) std::cout << "suggestion\t" << EscapedText(*v.Suggestion) << "\n";
    });
  });
}

void RegisterWalk(CLI::App* terms, bool forward) {
  auto o = std::make_shared<TTermsOptions>();
  CLI::App* cmd = terms->add_subcommand(
      forward ? "next" : "prev",
      forward ? "The first untranslated object after --from (without it: the first of all) in tree order, across "
                "forms; exit status 1 when there is none"
              : "The last untranslated object before --from (without it: the last of all) in tree order, across "
                "forms; exit status 1 when there is none");
  AddCommon(cmd, o, false);
  AddLanguages(cmd, o, false);
  cmd->add_option("--from", o->From, "The object to start from (itself never counts)");
  cmd->add_flag("--json", o->Json, "Print the object as tree --json lists it");
  cmd->callback([o, forward] {
    std::optional<TEntry> found;
    Run(o, false, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      std::optional<uint32_t> from;
      if (!o->From.empty()) from = editor.Find(o->From);
      const std::optional<uint32_t> next = forward ? editor.Next(from) : editor.Prev(from);
      if (next) found = editor.Entry(*next);
    });
    if (!found) {
      std::cerr << "quintrel: " << (forward ? qs::_SCliNoNextUntranslated : qs::_SCliNoPrevUntranslated) << "\n";
      throw TExitCode{kExitFailure};
    }
    if (o->Json) {
      std::cout << EntryJson(*found).dump(2) << "\n";
    } else {
      std::cout << found->Object << "\t" << found->Path << "\n";
    }
  });
}

// --- changes --------------------------------------------------------------------------------

void RegisterSet(CLI::App* terms) {
  auto o = std::make_shared<TTermsOptions>();
  CLI::App* cmd = terms->add_subcommand(
      "set", "Store an object's text in a language for review. With --expect, only when the stored text is still "
             "that one (another process may have changed it since it was shown). A TEXT starting with '-' goes "
             "after '--'");
  AddCommon(cmd, o, true);
  AddObject(cmd, o);
  cmd->add_option("--lang", o->Lang, "The language")->required();
  auto* text = cmd->add_option("TEXT", o->Text, "The text (UTF-8; may be empty)");
  cmd->add_option("--file", o->File,
                  "Read the text from this file ('-': standard input; UTF-8, at most 1 MiB, a final line end is not "
                  "part of it)")
      ->excludes(text);
  o->ExpectOption = cmd->add_option("--expect", o->Expect, "The text the object had when it was shown (UTF-8)");
  cmd->callback([o, text] {
    if (text->count() == 0 && o->File.empty()) throw CLI::RequiredError("TEXT or --file");
    const std::u16string wide = o->File.empty() ? StoredText(o->Text, "TEXT") : ReadTextFile(o->File);
    std::optional<std::u16string> expected;
    if (o->ExpectOption->count() > 0) expected = StoredText(o->Expect, "--expect");
    Run(o, true, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      const TLanguageId language = Language(editor, o->Lang);
      const uint32_t object = editor.Find(o->Object);
      WarnLostCharacters(o->Target.ModuleFile(), language,
                         editor.Zod().GetCharsetOfLanguage(editor.Module(), language), wide);
      if (editor.Set(object, language, wide, expected)) file.Changed();
    });
  });
}

void RegisterClear(CLI::App* terms) {
  auto o = std::make_shared<TTermsOptions>();
  CLI::App* cmd = terms->add_subcommand(
      "clear", "Take an object's translation for review back, so that it is untranslated again (an untranslated "
               "text stays; a signed-off one is refused)");
  AddCommon(cmd, o, true);
  AddObject(cmd, o);
  cmd->add_option("--lang", o->Lang, "The language")->required();
  cmd->callback([o] {
    Run(o, true, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      if (editor.Clear(editor.Find(o->Object), Language(editor, o->Lang))) file.Changed();
    });
  });
}

void RegisterTranslate(CLI::App* terms) {
  auto o = std::make_shared<TTermsOptions>();
  CLI::App* cmd = terms->add_subcommand(
      "translate", "Translate an object's base text into the target through the dictionaries (the modules "
                   "registered permanently) and store it for review; exit status 1 when none is found");
  AddCommon(cmd, o, true);
  AddObject(cmd, o);
  AddLanguages(cmd, o, true);
  cmd->callback([o] {
    std::optional<std::u16string> found;
    Run(o, true, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      found = editor.Translate(editor.Find(o->Object));
      if (found) {
        std::cout << Utf8Of(*found) << "\n";
        file.Changed();
      }
    });
    if (!found) {
      std::cerr << "quintrel: " << qs::_SCliNoTranslation << "\n";
      throw TExitCode{kExitFailure};
    }
  });
}

void RegisterStatus(CLI::App* terms) {
  auto o = std::make_shared<TTermsOptions>();
  CLI::App* cmd = terms->add_subcommand(
      "status", "Set the status of an object's text: review (also unlocks a signed-off text) or signed-off");
  AddCommon(cmd, o, true);
  AddObject(cmd, o);
  cmd->add_option("--lang", o->Lang, "The language")->required();
  cmd->add_option("STATUS", o->Status, "review or signed-off")->required()->check(CLI::IsMember({"review", "signed-off"}));
  cmd->callback([o] {
    Run(o, true, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      if (editor.SetStatus(editor.Find(o->Object), Language(editor, o->Lang), ParseStatus(o->Status)))
        file.Changed();
    });
  });
}

void RegisterComment(CLI::App* terms) {
  auto o = std::make_shared<TTermsOptions>();
  CLI::App* cmd = terms->add_subcommand("comment", "Set an object's comment for translators (empty: none)");
  AddCommon(cmd, o, true);
  AddObject(cmd, o);
  cmd->add_option("TEXT", o->Text, "The comment (UTF-8)")->required();
  cmd->callback([o] {
    const std::u16string wide = StoredText(o->Text, "TEXT");
    Run(o, true, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      if (editor.SetComment(editor.Find(o->Object), wide)) file.Changed();
    });
  });
}

// --- pictures -------------------------------------------------------------------------------

void RegisterPicture(CLI::App* terms) {
  CLI::App* picture = terms->add_subcommand(
      "picture", "A picture object's image in a language: loaded from a file of the picture's class (.bmp, .ico, "
                 ".jpg), cleared, or saved to a file");
  picture->require_subcommand(1);

  auto s = std::make_shared<TTermsOptions>();
  CLI::App* set = picture->add_subcommand("set", "Load FILE as the object's picture in the language, for review");
  AddCommon(set, s, true);
  AddObject(set, s);
  set->add_option("--lang", s->Lang, "The language")->required();
  set->add_option("FILE", s->File, "The image file")->required();
  set->callback([s] {
    rtl::TFileBytes bytes = rtl::ReadRegularFile(s->File, kMaxPictureFile);
    if (!bytes) throw ECommandFailed(rtl::Format(qs::_SCliReadFailed, s->File, bytes.Reason()));
    Run(s, true, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      editor.SetPicture(editor.Find(s->Object), Language(editor, s->Lang), bytes.Data, s->File);
      file.Changed();
    });
  });

  auto c = std::make_shared<TTermsOptions>();
  CLI::App* clear = picture->add_subcommand("clear", "Store an empty picture as the object's picture in the language");
  AddCommon(clear, c, true);
  AddObject(clear, c);
  clear->add_option("--lang", c->Lang, "The language")->required();
  clear->callback([c] {
    Run(c, true, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      editor.ClearPicture(editor.Find(c->Object), Language(editor, c->Lang));
      file.Changed();
    });
  });

  auto v = std::make_shared<TTermsOptions>();
  CLI::App* save = picture->add_subcommand("save", "Write the object's picture in the language to FILE");
  AddCommon(save, v, false);
  AddObject(save, v);
  save->add_option("--lang", v->Lang, "The language")->required();
  save->add_option("FILE", v->File, "The file to write")->required();
  save->add_flag("--force", v->Force, "Replace FILE when it exists");
  save->callback([v] {
    std::optional<std::string> image;
    std::string path;
    Run(v, false, [&](TEditorModule& file) {
      TTermEditor& editor = file.Editor();
      const uint32_t object = editor.Find(v->Object);
      image = editor.PictureBytes(object, Language(editor, v->Lang));
      path = editor.Entry(object).Path;
    });
    if (!image) throw ECommandFailed(rtl::Format(qs::_SCliNoPicture, path, v->Lang));
    TReplacement replacement(v->File, v->Force);
    {
      std::ofstream out(replacement.StagingPath(), std::ios::binary);
      out.write(image->data(), static_cast<std::streamsize>(image->size()));
      if (!out.flush()) throw ECommandFailed(rtl::Format(qs::_SToolCannotWrite, v->File, std::strerror(errno)));
    }
    replacement.Commit();
    std::cout << rtl::Format(qs::_SToolCreated, v->File) << "\n";
  });
}

}  // namespace

void RegisterTermsCommands(CLI::App& app) {
  CLI::App* terms = app.add_subcommand(
      "terms", "The translation editor: the module's texts object by object, beside a base language");
  terms->require_subcommand(1);
  RegisterTree(terms);
  RegisterShow(terms);
  RegisterSet(terms);
  RegisterClear(terms);
  RegisterWalk(terms, true);
  RegisterWalk(terms, false);
  RegisterTranslate(terms);
  RegisterStatus(terms);
  RegisterComment(terms);
  RegisterPicture(terms);
}

}  // namespace quintrel::cli
