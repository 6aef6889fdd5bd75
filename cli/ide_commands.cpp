#include "cli/ide_commands.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/common.h"
#include "cli/project_commands.h"
#include "cli/target.h"
#include "cli/usage.h"
#include "cli/version.h"
#include "module/zod.h"
#include "platform/vcl/menus.h"
#include "platform/vcl/textutil.h"
#include "platform/vcl/typinfo.h"
#include "strings/addinconsts.h"
#include "strings/hostconsts.h"

extern char** environ;

namespace quintrel::cli {

namespace fs = std::filesystem;

// --- the add-in in a host -----------------------------------------------------------------

TAddInHost::TAddInHost(const std::string& project) : project_(project), translator_(module::GlobalZOD()) {
  host_ = OpenProjectHost(project);
  if (!ide::RegisterQuintrelAddIn(translator_)) throw ECommandFailed(strings::_SNoProjectOpen);
  addIn_ = ide::QuintrelAddIn();
}

// The host takes its add-ins down before itself, and the translator outlives both.
TAddInHost::~TAddInHost() { host_.reset(); }

std::string TAddInHost::Unit(const std::string& name) const {
  fs::path path(name);
  if (path.is_relative()) path = fs::path(host_->Project()->Folder()) / path;
  return host::FullPath(path.string());
}

TFolderChanges::TFolderChanges(const std::string& folder) : folder_(folder), before_(Scan(folder)) {}

std::map<std::string, TFolderChanges::TStamp> TFolderChanges::Scan(const std::string& folder) {
  std::map<std::string, TStamp> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fileError;
    if (!it->is_regular_file(fileError)) continue;
    TStamp stamp;
    stamp.Size = it->file_size(fileError);
    stamp.Time = it->last_write_time(fileError).time_since_epoch().count();
    files.emplace(it->path().string(), stamp);
  }
  return files;
}

std::vector<std::string> TFolderChanges::Lines() const {
  const std::map<std::string, TStamp> after = Scan(folder_);
  std::vector<std::string> lines;
  for (const auto& [file, stamp] : after) {
    auto was = before_.find(file);
    if (was == before_.end()) lines.push_back("created " + file);
    else if (!(was->second == stamp)) lines.push_back("changed " + file);
  }
  for (const auto& [file, stamp] : before_)
    if (!after.contains(file)) lines.push_back("removed " + file);
  return lines;
}

namespace {

struct TIdeOptions {
  TTarget Target;
  bool Json = false;
  std::string Event;
  std::vector<std::string> Args;
  std::string Script;
  std::string Item;
};

void Menu(const TIdeOptions& o) {
  TAddInHost run(o.Target.ProjectArgument());
  auto menu = run.Host().HostMenu().Find(ide::kGlobalizationMenuName);
  if (!menu) throw ECommandFailed(rtl::Format(strings::_SNoMenuItem, ide::kGlobalizationMenuName));
  if (o.Json) {
    nlohmann::json items = nlohmann::json::array();
    for (int i = 0; i < menu->Count(); ++i) {
      auto item = menu->Item(i);
      items.push_back({{"name", item->Name()},
                       {"caption", item->Caption()},
                       {"shortcut", vcl::ShortCutToText(item->ShortCut())},
                       {"enabled", item->Enabled()}});
    }
    nlohmann::json out = {{"name", menu->Name()},
                           {"caption", menu->Caption()},
                           {"index", menu->GetIndex()},
                           {"items", items}};
    std::cout << out.dump(2) << "\n";
    return;
  }
  std::cout << menu->Caption() << "\n";
  for (int i = 0; i < menu->Count(); ++i) {
    auto item = menu->Item(i);
    std::string line = "  " + item->Name() + "  \"" + item->Caption() + "\"";
    if (item->ShortCut()) line += "  " + vcl::ShortCutToText(item->ShortCut());
    line += item->Enabled() ? "  enabled" : "  disabled";
    std::cout << line << "\n";
  }
}

// One designer or editor action on the host, as a notification names it or a replayed
// script's line does.
struct TStep {
  const char* Verb;
  const char* Event;  // the notification that raises it; empty when none does
  size_t Least, Most;
  const char* Usage;
  bool Designer;  // changes a form, which `ide notify` saves as the developer would
};

constexpr TStep kSteps[] = {
    {"open-project", "project-opened", 0, 0, "no arguments", false},
    {"close-project", "project-closing", 0, 0, "no arguments", false},
    {"open", "file-opened", 1, 1, "UNIT", false},
    {"close", "file-closing", 1, 1, "UNIT", false},
    {"rename", "component-renamed", 3, 3, "UNIT OLD NEW", true},
    {"insert", "component-inserted", 3, 4, "UNIT CLASS NAME [PARENT]", true},
    {"delete", "component-deleted", 2, 2, "UNIT NAME", true},
    {"rename-unit", "module-renamed", 2, 2, "UNIT NEW-UNIT", false},
    {"save", "before-save", 1, 1, "UNIT", false},
    {"set", "", 4, 4, "UNIT COMPONENT PROPERTY TEXT", false},
};

// A step's number of arguments is checked before it runs; `where` prefixes the message
// (the script and line of a replayed step).
const TStep& FindStep(const std::string& name, bool byEvent, size_t count, const std::string& where) {
  for (const TStep& step : kSteps)
    if (name == (byEvent ? step.Event : step.Verb) && *step.Verb) {
      if (count < step.Least || count > step.Most)
        throw ECommandFailed(where + rtl::Format(strings::_SNotificationArguments, name, step.Usage));
      return step;
    }
  throw ECommandFailed(where + rtl::Format(strings::_SUnknownNotification, name));
}

// Sets a text property of a designer component, as the object inspector does.
void SetText(TAddInHost& run, const std::string& unit, const std::string& component, const std::string& property,
             const std::string& utf8) {
  host::TDevelopmentHost& host = run.Host();
  vcl::TComponent& form = host.Form(unit);
  vcl::TComponent* target = component == form.Name() ? &form : form.FindComponent(component);
  if (!target) throw ECommandFailed(rtl::Format(strings::_SNoComponent, unit, component));
  vcl::PPropInfo info = vcl::GetPropInfo(target, property);
  const vcl::TTypeKind kind = info && info->PropType ? info->PropType->Kind : vcl::tkUnknown;
  const std::u16string text = StoredText(utf8, property);
  if (kind == vcl::tkWString) {
    vcl::SetWideStrProp(target, info, text);
  } else if (kind == vcl::tkString || kind == vcl::tkLString) {
    vcl::SetStrProp(target, info, host.Codec().ToNarrow(text));
  } else {
    throw ECommandFailed(rtl::Format(strings::_SNotATextProperty, unit, component, property));
  }
}

void RunStep(TAddInHost& run, const TStep& step, const std::vector<std::string>& a) {
  host::TDevelopmentHost& host = run.Host();
  const std::string verb = step.Verb;
  // The designer works on a unit open in the editor; the add-in watches it from then on.
  auto open = [&](const std::string& name) {
    const std::string unit = run.Unit(name);
    host.OpenFile(unit);
    return unit;
  };
  if (verb == "open-project") {
    host.OpenProject(host.GetProjectName().empty() ? run.ProjectArgument() : host.GetProjectName());
  } else if (verb == "close-project") {
    host.CloseProject();
  } else if (verb == "open") {
    open(a[0]);
  } else if (verb == "close") {
    host.CloseFile(open(a[0]));
  } else if (verb == "rename") {
    host.RenameComponent(open(a[0]), a[1], a[2]);
  } else if (verb == "insert") {
    host.InsertComponent(open(a[0]), a[1], a[2], a.size() > 3 ? a[3] : "");
  } else if (verb == "delete") {
    host.DeleteComponent(open(a[0]), a[1]);
  } else if (verb == "rename-unit") {
    host.RenameModule(open(a[0]), run.Unit(a[1]));
  } else if (verb == "save") {
    host.GetModuleInterface(open(a[0]))->Save(true);
  } else if (verb == "set") {
    SetText(run, open(a[0]), a[1], a[2], a[3]);
  }
}

void Notify(const TIdeOptions& o) {
  const TStep& step = FindStep(o.Event, true, o.Args.size(), "");
  TAddInHost run(o.Target.ProjectArgument());
  TFolderChanges changes(run.Host().Project()->Folder());
  RunStep(run, step, o.Args);
  if (step.Designer) run.Host().SaveAll();
  for (const std::string& line : changes.Lines()) std::cout << line << "\n";
}

// The words of a script line: separated by blanks; a word in double quotes may hold
// blanks, and "" inside it stands for one quote.
std::vector<std::string> Words(const std::string& line, const std::string& where) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    std::string word;
    if (line[i] == '"') {
      for (++i;; ++i) {
        if (i >= line.size()) throw ECommandFailed(where + strings::_SReplayUnclosedQuote);
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            word += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        word += line[i];
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word += line[i++];
    }
    words.push_back(std::move(word));
  }
  return words;
}

// A script is read whole and checked before its first step runs, so that a mistake on
// line 20 does not leave the first 19 steps done.
constexpr size_t kMaxScriptSize = size_t{1} << 20;
constexpr size_t kMaxScriptSteps = 10000;

void Replay(const TIdeOptions& o) {
  const std::string text = host::ReadFileBytes(o.Script);
  if (text.size() > kMaxScriptSize) throw ECommandFailed(rtl::Format(strings::_SReplayTooLarge, o.Script));
  struct TLine {
    const TStep* Step;
    std::vector<std::string> Args;
    std::string Where;
  };
  std::vector<TLine> lines;
  size_t number = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    const std::string where = o.Script + ":" + std::to_string(number) + ": ";
    std::vector<std::string> words = Words(line, where);
    if (words.empty() || words[0][0] == '#') continue;
    if (lines.size() >= kMaxScriptSteps) throw ECommandFailed(rtl::Format(strings::_SReplayTooLarge, o.Script));
    const std::string verb = words[0];
    words.erase(words.begin());
    const TStep& step = FindStep(verb, false, words.size(), where);
    lines.push_back({&step, std::move(words), where});
  }
  TAddInHost run(o.Target.ProjectArgument());
  TFolderChanges changes(run.Host().Project()->Folder());
  for (const TLine& line : lines) {
    try {
      RunStep(run, *line.Step, line.Args);
    } catch (const ECommandFailed& e) {
      throw ECommandFailed(line.Where + e.what());
    } catch (const rtl::Exception& e) {
      throw ECommandFailed(line.Where + e.Message());
    }
  }
  for (const std::string& line : changes.Lines()) std::cout << line << "\n";
}

// --- invoking a menu item ----------------------------------------------------------------

// The commands of this program that do the work of an item's dialog or wizard. An item with
// several takes the one named by its first argument.
struct TItemTools {
  const char* Item;
  std::vector<const char*> Commands;
};

const std::vector<TItemTools>& ItemTools() {
  static const std::vector<TItemTools> tools = {
      {"GlobalizationInternatWizardMenu", {"intl"}},
      {"GlobalizationLocalWizardMenu", {"export", "import", "stats", "autotranslate"}},
      {"GlobalizationQualityWizardMenu", {"pseudo", "validate", "accel", "status", "signoff", "unlock"}},
      {"GlobalizationInternatGetIdentMenu", {"resstr", "isolate"}},
      {"GlobalizationLocalChangeBaseMenu", {"switch-base"}},
      {"GlobalizationLocalDialogMenu", {"edit"}},
  };
  return tools;
}

// What a person calls an item: its caption without the accelerator's "&" and without a
// trailing "...".
std::string Spoken(const std::string& caption) {
  std::string text;
  for (char c : caption)
    if (c != '&') text += c;
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  return text;
}

CLI::App* Subcommand(CLI::App* parent, const std::string& name) {
  for (CLI::App* sub : parent->get_subcommands([](CLI::App*) { return true; }))
    if (sub->get_name() == name) return sub;
  return nullptr;
}

// Runs this program again with `args`, as a dialog runs modally: it shares the terminal,
// and its exit code is the item's.
int RunModal(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string self = "quintrel";
  argv.push_back(self.data());
  std::vector<std::string> copies(args);
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::cout.flush();
  pid_t pid = 0;
  const int error = posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ);
  if (error != 0) throw ECommandFailed(rtl::Format(strings::_SToolNotStarted, args.front(), std::strerror(error)));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) throw ECommandFailed(rtl::Format(strings::_SToolNotStarted, args.front(), std::strerror(errno)));
  return WIFEXITED(status) ? WEXITSTATUS(status) : kExitFailure;
}

// The command line of the tool an item runs: the command, the arguments given, and the
// project the add-in has open unless the arguments name a project or a module themselves.
std::vector<std::string> ToolCommandLine(CLI::App& root, const char* command, const std::vector<std::string>& given,
                                         const std::string& project) {
  std::vector<std::string> args{command};
  CLI::App* at = Subcommand(&root, command);
  for (const std::string& a : given) {
    CLI::App* sub = at ? Subcommand(at, a) : nullptr;
    if (!sub) break;
    at = sub;
  }
  const bool named = std::any_of(given.begin(), given.end(), [](const std::string& a) {
    return a == "--project" || a == "--module" || a.starts_with("--project=") || a.starts_with("--module=");
  });
  auto end = std::find(given.begin(), given.end(), "--");
  args.insert(args.end(), given.begin(), end);
  if (!named && at && at->get_option_no_throw("--project")) args.insert(args.end(), {"--project", project});
  args.insert(args.end(), end, given.end());
  return args;
}

void Invoke(CLI::App& root, const CLI::App* command, const TIdeOptions& o) {
  TAddInHost run(o.Target.ProjectArgument());
  auto menu = run.Host().HostMenu().Find(ide::kGlobalizationMenuName);
  std::shared_ptr<host::THostMenuItem> item;
  for (int i = 0; menu && i < menu->Count() && !item; ++i) {
    auto candidate = menu->Item(i);
    if (ide::kGlobalizationItems[i].Separator) continue;
    if (vcl::SameText(candidate->Name(), o.Item) || vcl::SameText(Spoken(candidate->Caption()), Spoken(o.Item)))
      item = candidate;
  }
  if (!item) throw ECommandFailed(rtl::Format(strings::_SNoMenuItem, o.Item));
  const std::string spoken = Spoken(item->Caption());
  if (!item->Enabled()) throw ECommandFailed(rtl::Format(strings::_SMenuItemDisabled, spoken));
  const std::string project = run.Host().GetProjectName();
  int code = kExitOk;
  run.AddIn().SetItemHandler([&](const std::string& name) {
    std::vector<std::string> args;
    if (name == "GlobalizationProjectMenu") {
      // The project settings with a module, else the module is made.
      const bool open = run.AddIn().ModuleOpen();
      std::vector<std::string> given{open ? "settings" : "add"};
      given.insert(given.end(), o.Args.begin(), o.Args.end());
      args = ToolCommandLine(root, open ? "module" : "globalization", given, project);
    } else if (name == "GlobalizationFollowMeMenu" || name == "GlobalizationHelpMenu") {
      std::cout << (name == "GlobalizationFollowMeMenu" ? strings::_SFollowMeText : strings::_SAddInHelpText) << "\n";
      return;
    } else if (name == "GlobalizationAboutMenu") {
      std::cout << rtl::Format(strings::_SAddInAboutText, strings::_SAddInName, kVersion, kCommit,
                               strings::_SAddInIDString)
                << "\n";
      return;
    } else {
      auto tools = std::find_if(ItemTools().begin(), ItemTools().end(),
                                [&](const TItemTools& t) { return name == t.Item; });
      if (tools == ItemTools().end()) throw ECommandFailed(rtl::Format(strings::_SNotAvailable, spoken));
      const std::vector<const char*>& commands = tools->Commands;
      const char* chosen = commands.size() == 1 ? commands[0] : nullptr;
      std::vector<std::string> given = o.Args;
      if (!chosen) {
        for (const char* c : commands)
          if (!given.empty() && given[0] == c) chosen = c;
        std::string names;
        for (const char* c : commands) names += (names.empty() ? "" : ", ") + std::string(c);
        if (!chosen) throw EUsage(rtl::Format(strings::_SItemChoices, spoken, names), command);
        given.erase(given.begin());
      }
      if (!Subcommand(&root, chosen)) throw ECommandFailed(rtl::Format(strings::_SNotAvailable, spoken));
      args = ToolCommandLine(root, chosen, given, project);
    }
    code = RunModal(args);
  });
  item->Click();
  if (code != kExitOk) throw TExitCode{code};
}

}  // namespace

void RegisterIdeCommands(CLI::App& app) {
  CLI::App* ide = app.add_subcommand(
      "ide", "The add-in in the development-environment host: its menu and the host's notifications");
  ide->require_subcommand(1);

  auto menu = std::make_shared<TIdeOptions>();
  CLI::App* menuCmd = ide->add_subcommand(
      "menu", "Show the Globalization menu as the host holds it with the project open: each item's name, caption, "
              "short cut and whether it is enabled");
  menu->Target.AddProject(menuCmd);
  menuCmd->add_flag("--json", menu->Json, "one JSON object: name, caption, index, items");
  menuCmd->callback([menu]() { Menu(*menu); });

  auto notify = std::make_shared<TIdeOptions>();
  CLI::App* notifyCmd = ide->add_subcommand(
      "notify",
      "Raise a notification of the host with the add-in listening, as the designer would, and save what it changed: "
      "component-renamed UNIT OLD NEW, component-inserted UNIT CLASS NAME [PARENT], component-deleted UNIT NAME, "
      "module-renamed UNIT NEW-UNIT, before-save UNIT, file-opened UNIT, file-closing UNIT, project-opened, "
      "project-closing. Prints one line per file changed");
  notify->Target.AddProject(notifyCmd);
  notifyCmd->add_option("EVENT", notify->Event, "the notification")->required();
  notifyCmd->add_option("ARGS", notify->Args, "its arguments; units relative to the project folder");
  notifyCmd->callback([notify]() { Notify(*notify); });

  auto replay = std::make_shared<TIdeOptions>();
  CLI::App* replayCmd = ide->add_subcommand(
      "replay",
      "Replay what a developer did in the designer, one step per line of SCRIPT, with the add-in keeping the module "
      "in step: open-project, open UNIT, rename UNIT OLD NEW, insert UNIT CLASS NAME [PARENT], delete UNIT NAME, "
      "set UNIT COMPONENT PROPERTY TEXT, save UNIT, rename-unit UNIT NEW-UNIT, close UNIT, close-project. Prints one "
      "line per file changed");
  replay->Target.AddProject(replayCmd);
  replayCmd->add_option("SCRIPT", replay->Script, "the script; blank lines and lines starting with # are skipped")
      ->required();
  replayCmd->callback([replay]() { Replay(*replay); });

  auto invoke = std::make_shared<TIdeOptions>();
  CLI::App* invokeCmd = ide->add_subcommand(
      "invoke",
      "Click an item of the Globalization menu: ITEM is its name or caption (without & and ..., any case), ARGS go "
      "to the tool behind it. The project item runs globalization add (no module yet) or module settings; the "
      "Internationalization Wizard runs intl, the Localization Wizard export, import, stats or autotranslate, the "
      "Quality Assurance Wizard pseudo, validate, accel, status, signoff or unlock, Resource Strings resstr or "
      "isolate (the first of ARGS chooses), Switch Base Language switch-base, the Translation Editor edit; Help, "
      "Follow Me and About print what they show. The tool works on the add-in's project unless ARGS name one");
  invoke->Target.AddProject(invokeCmd);
  // ITEM is not declared: everything from it on belongs to the tool, so that "ide invoke
  // ITEM --help" shows the tool's help, not this command's.
  invokeCmd->prefix_command();
  invokeCmd->footer("Usage: quintrel ide invoke [--project PROJECT] ITEM [ARGS...]");
  invokeCmd->callback([&app, invokeCmd, invoke]() {
    std::vector<std::string> args = invokeCmd->remaining();
    // A --project among the tool's arguments (scripts put it last) opens the host on it too.
    for (size_t i = 0; i < args.size();) {
      if (args[i] == "--project" && i + 1 < args.size()) {
        invoke->Target.SetProject(args[i + 1]);
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
      } else if (args[i].starts_with("--project=")) {
        invoke->Target.SetProject(args[i].substr(10));
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      } else {
        ++i;
      }
    }
    if (args.empty()) throw EUsage(strings::_SInvokeNoItem, invokeCmd);
    invoke->Item = args.front();
    invoke->Args.assign(args.begin() + 1, args.end());
    Invoke(app, invokeCmd, *invoke);
  });
}

}  // namespace quintrel::cli
