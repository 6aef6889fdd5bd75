// What scripts see of the command line: the list of commands they can run, and bad command
// lines and files a command cannot open refused on stderr, never on stdout.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/example_project.h"
#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

class CommandLine : public test::CliFixture {};

// Every command that runs is listed with what it takes; groups are not.
TEST_F(CommandLine, HelpListsEveryCommandWithWhatItTakes) {
  const auto r = Run({"help", "--list"});
  ASSERT_EQ(r.code, 0) << r.err;
  const nlohmann::json list = nlohmann::json::parse(r.out);
  std::map<std::string, nlohmann::json> byName;
  for (const auto& c : list) byName[c["command"]] = c;
  EXPECT_GT(byName.size(), 60u);
  EXPECT_EQ(byName.count("db"), 0u);
  ASSERT_EQ(byName.count("export"), 1u);
  bool base = false;
  for (const auto& o : byName["export"]["options"])
    if (o["name"] == "--base") base = o["required"].get<bool>() && o["min"] == 1;
  EXPECT_TRUE(base) << byName["export"].dump();
  ASSERT_EQ(byName.count("form convert"), 1u);
  EXPECT_EQ(byName["form convert"]["positionals"][0]["name"], "IN");
  const auto db = Run({"help", "db", "--list"});
  EXPECT_EQ(nlohmann::json::parse(db.out)[0]["command"], "db info");
}

// A command or option that does not exist is refused by name, also when --help follows it,
// and a file a command cannot open is reported on stderr even where its findings go to
// stdout.
TEST_F(CommandLine, UnknownCommandsAndUnreadableFilesAreReportedOnStderr) {
  auto r = Run({"nosuch", "--help"});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("nosuch"));
  EXPECT_EQ(r.out, "");
  EXPECT_THAT(Refused({"db", "check", "--nosuch", "--help"}, 2), HasSubstr("--nosuch"));
  // A sentence starts lower-case, an argument's name in capitals keeps them.
  r = Run({"terms", "set", "MainForm.Caption", "--lang", "de", "--module", Path("none.zod")});
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "quintrel: TEXT or --file is required");

  std::ofstream(Path("empty.zod"), std::ios::binary).flush();
  EXPECT_THAT(Refused({"db", "check", Path("empty.zod")}), HasSubstr("quintrel: " + Path("empty.zod")));

  // A folder where a module belongs is called what it is, not a missing file.
  std::filesystem::create_directories(Path("folder.zod"));
  r = Run({"lang", "list", Path("folder.zod")});
  EXPECT_EQ(r.err, "quintrel: " + Path("folder.zod") + ": is a folder, not a module\n");
  r = Run({"db", "check", Path("folder.zod")});
  EXPECT_THAT(r.err, HasSubstr(Path("folder.zod") + ": is a folder"));
}

namespace fs = std::filesystem;

// What a command may do besides refusing with one line naming the input: create a file it
// was given by a name that does not exist yet; serve what a damaged module's damage does
// not touch (or report the damage as findings on stdout, as db check does).
enum class TAlso { Nothing, Create, Serve };

// One row per kind of bad input: how to make one in a folder, and what else a command may do.
struct TBadInput {
  const char* Kind;
  TAlso Also;
  std::function<std::string(const fs::path&)> Make;
};

fs::path Root() { return fs::absolute(fs::path(__FILE__)).parent_path().parent_path().parent_path(); }

std::string CopyOf(const fs::path& from, const fs::path& folder) {
  fs::copy_file(from, folder / "bad.zod");
  return (folder / "bad.zod").string();
}

const std::vector<TBadInput>& BadFiles() {
  static const std::vector<TBadInput> rows = {
      {"missing file", TAlso::Create, [](const fs::path& d) { return (d / "bad.zod").string(); }},
      {"folder", TAlso::Nothing, [](const fs::path& d) { fs::create_directory(d / "bad.zod"); return (d / "bad.zod").string(); }},
      // Opening a pipe for reading waits for a writer that never comes: a reader that opens
      // what is not a regular file hangs here.
      {"named pipe", TAlso::Nothing, [](const fs::path& d) { ::mkfifo((d / "bad.zod").c_str(), 0600); return (d / "bad.zod").string(); }},
      {"empty file", TAlso::Nothing, [](const fs::path& d) { std::ofstream(d / "bad.zod").flush(); return (d / "bad.zod").string(); }},
      {"random bytes", TAlso::Nothing, [](const fs::path& d) {
         std::mt19937 random(7);
         std::string bytes(4096, '\0');
         for (char& c : bytes) c = static_cast<char>(random());
         std::ofstream(d / "bad.zod", std::ios::binary) << bytes;
         return (d / "bad.zod").string();
       }},
      {"module killed mid-update", TAlso::Serve, [](const fs::path& d) { return CopyOf(Root() / "tests/data/damaged/killed-term-lost.zod", d); }},
      {"module with a damaged record", TAlso::Serve, [](const fs::path& d) {
         return CopyOf(Root() / "fuzz/regressions/module_fuzzer/term-chain-length-negative", d);
       }},
      {"over-long name", TAlso::Nothing, [](const fs::path& d) { return (d / std::string(5000, 'x')).string(); }},
  };
  return rows;
}

// Where a command writes a file: names it cannot write to.
const std::vector<TBadInput>& BadOutputs() {
  static const std::vector<TBadInput> rows = {
      {"folder as output", TAlso::Nothing, [](const fs::path& d) { fs::create_directory(d / "out"); return (d / "out").string(); }},
      {"output in a missing folder", TAlso::Nothing, [](const fs::path& d) { return (d / "nosuch" / "out").string(); }},
      {"over-long output name", TAlso::Nothing, [](const fs::path& d) { return (d / std::string(5000, 'o')).string(); }},
  };
  return rows;
}

// The arguments that name a file the command writes.
bool WritesTo(const std::string& command, const std::string& slot) {
  static const std::set<std::string> creators = {"terms picture save", "db create", "module new"};
  return slot == "--output" || (slot == "=FILE" && creators.count(command));
}

// The same for an argument that names a language of the module.
const std::vector<TBadInput>& BadLanguages() {
  static const std::vector<TBadInput> rows = {
      {"unknown language", TAlso::Nothing, [](const fs::path&) { return std::string("zz"); }},
      {"over-long language", TAlso::Nothing, [](const fs::path&) { return std::string(3000, 'a'); }},
  };
  return rows;
}

// The arguments and options that name a language the module has (lang add names a new one,
// globalization add the new module's, translate asks modules that may have it).
bool TakesLanguage(const std::string& command, const std::string& slot) {
  static const std::set<std::string> names = {"--lang", "--target", "--base", "--into", "--from", "--to", "=LANG"};
  return names.count(slot) && command != "lang add" && command != "globalization add" && command != "translate";
}

// Values that get a command past its other arguments to the one under test, by the name
// the command gives them (or by the command and the name).
std::string Filler(const std::string& command, const std::string& name) {
  static const std::map<std::string, std::string> values = {
      {"lang add ID", "fr"}, {"lang show ID", "de"}, {"lang set ID", "de"}, {"lang remove ID", "de"}, {"LANG", "de"}, {"ID", "1"}, {"TEXT", "x"}, {"TABLE", "x"}, {"SETTING", "win32-locale"}, {"VALUE", "on"},
      {"NAME", "MainForm"}, {"FORM", "MainForm"}, {"COMPONENT", "TitleLabel"}, {"PROPERTY", "Caption"}, {"UNIT", "AppText.pas"},
      {"IDENT", "SReady"}, {"OBJECT", "MainForm.ShowLanguageSelectionInSystemMenu"},
      {"terms picture set OBJECT", "MainForm.LogoImage.Picture.Data"}, {"terms picture save OBJECT", "MainForm.LogoImage.Picture.Data"},
      {"terms picture save --lang", "en"}, {"module auto-include set FILE", "script.txt"}, {"STATUS", "review"}, {"PATH", "MainForm"}, {"EVENT", "project-opened"}, {"ROW", "1"},
      {"ACTION", "ignore"}, {"CHARSET", "0"}, {"--lang", "de"}, {"--from", "en"}, {"--to", "de"}, {"--into", "de"},
      {"--base", "en"}, {"--target", "de"}, {"--language", "de"}, {"--define", "ROWS Str V Data N"},
      {"--form", "MainForm"}, {"--unit", "AppText.pas"}, {"--text", "x"}, {"--kind", "pas"}};
  for (const std::string& key : {command + " " + name, name})
    if (const auto found = values.find(key); found != values.end()) return found->second;
  return "x";
}

// The arguments and options that name a file the command reads.
const std::set<std::string>& InputNames() {
  static const std::set<std::string> names = {"--module", "--project", "--plan", "--selection", "--text-file",
                                              "--file", "--dictionary", "--from-json", "FILE", "IN", "MODULE", "SCRIPT"};
  return names;
}

struct TCase {
  nlohmann::json Command;
  std::string Slot;  // the argument or option given the bad input
  const TBadInput* Input;
};

class BadInput : public test::ExampleProjectFixture {
protected:
  // Every command as the program lists it, each input it reads, and the bad inputs for it:
  // all of them with QUINTREL_BADINPUT=all, otherwise one each in turn, so that every
  // command meets some bad input and every kind of input meets a dozen commands.
  std::vector<TCase> Cases() {
    const test::TRunResult list = Run({"help", "--list"});
    std::vector<TCase> cases;
    const char* all = std::getenv("QUINTREL_BADINPUT");
    size_t moduleCommands = 0;
    // Commands that read no file of the user's, serve until stopped (edit), or hand their
    // arguments to the commands the table runs itself (ide invoke).
    const std::set<std::string> skip = {"help", "completion bash", "module list", "edit", "ide invoke"};
    for (const nlohmann::json& command : nlohmann::json::parse(list.out)) {
      if (skip.count(command["command"])) continue;
      std::vector<std::string> slots;
      bool hasModule = false;
      for (const nlohmann::json& o : command["options"]) hasModule = hasModule || o["name"] == "--module";
      // A project that only leads to the module is found by the same code in every command:
      // every third command of those tries it, unless all are asked for.
      for (const nlohmann::json& o : command["options"])
        if (InputNames().count(o["name"]) &&
            (o["name"] != "--project" || !hasModule || ++moduleCommands % 3 == 0 || (all && std::string(all) == "all")))
          slots.push_back(o["name"]);
      // A module given as FILE is the same as --module; a FILE the command needs is another
      // input, except the one a picture is saved to.
      for (const nlohmann::json& p : command["positionals"])
        if (InputNames().count(p["name"]) && (p["name"] != "FILE" || !hasModule || p["required"].get<bool>()) &&
            command["command"] != "terms picture save")
          slots.push_back("=" + p["name"].get<std::string>());
      for (const nlohmann::json& o : command["options"])
        if (TakesLanguage(command["command"], o["name"]))
          cases.push_back({command, o["name"], &BadLanguages()[cases.size() % BadLanguages().size()]});
      for (const nlohmann::json& p : command["positionals"])
        if (TakesLanguage(command["command"], "=" + p["name"].get<std::string>()))
          cases.push_back({command, "=" + p["name"].get<std::string>(), &BadLanguages()[cases.size() % BadLanguages().size()]});
      for (const nlohmann::json& o : command["options"])
        if (WritesTo(command["command"], o["name"])) slots.push_back(o["name"]);
      for (const nlohmann::json& p : command["positionals"])
        if (WritesTo(command["command"], "=" + p["name"].get<std::string>()) &&
            std::ranges::count(slots, "=" + p["name"].get<std::string>()) == 0)
          slots.push_back("=" + p["name"].get<std::string>());
      for (const std::string& slot : slots) {
        if (WritesTo(command["command"], slot)) {
          // Every unwritable name for every file written: they are few.
          for (const TBadInput& output : BadOutputs()) cases.push_back({command, slot, &output});
          if (slot == "--output") continue;
        }
        const size_t turn = cases.size(), kinds = BadFiles().size();
        for (size_t i = 0; i < kinds; ++i)
          if ((all && std::string(all) == "all") || i == turn % kinds ||
              (slot != "--module" && slot != "--project" && i == (turn + kinds / 2) % kinds))
            cases.push_back({command, slot, &BadFiles()[i]});
      }
    }
    return cases;
  }

  // The command line of a case run in `folder`, which holds a copy of the example project.
  static std::vector<std::string> Arguments(const TCase& c, const fs::path& folder, const std::string& bad) {
    const std::string command = c.Command["command"];
    std::vector<std::string> args;
    std::istringstream words(command);
    for (std::string w; words >> w;) args.push_back(w);
    // After a FILE that may be left out come the arguments the command needs, none optional.
    bool moduleFirst = false;
    const bool fromFile = c.Slot == "--file" || c.Slot == "--text-file";
    for (const nlohmann::json& p : c.Command["positionals"]) moduleFirst = moduleFirst || (p["name"] == "FILE" && !p["required"].get<bool>());
    for (const nlohmann::json& p : c.Command["positionals"]) {
      const std::string name = p["name"];
      if ("=" + name == c.Slot) {
        args.push_back(bad);
      } else if (name.rfind("[FILE]", 0) == 0) {
        // "[FILE] TABLE [FIELD]": the module as --module, then the words that are needed.
        std::istringstream words(std::regex_replace(name.substr(6), std::regex(R"(\[[^\]]*\])"), ""));
        for (std::string w; words >> w;) args.push_back(Filler(command, w));
      } else if (p["required"].get<bool>() && InputNames().count(name)) {
        // Another module than the one the command works on, or an empty text.
        const std::string file = Filler(command, name);
        args.push_back((folder / (file != "x" ? file : name == "SCRIPT" ? "script.txt" : name == "IN" ? "project/Main.dfm" : "other.zod")).string());
      } else if (name == "TEXT" ? !fromFile : name != "FILE" && (p["required"].get<bool>() || moduleFirst)) {
        args.push_back(Filler(command, name));
      }
    }
    for (const nlohmann::json& o : c.Command["options"]) {
      const std::string name = o["name"];
      if (name == c.Slot) {
        args.insert(args.end(), {name, bad});
      } else if (name == "--module" && c.Slot != "--project" && !(moduleFirst && c.Slot == "=FILE")) {
        args.insert(args.end(), {name, (folder / "project" / "Sample.ZOD").string()});
      } else if (name == "--project") {
        args.insert(args.end(), {name, (folder / "project").string()});
      } else if (o["required"].get<bool>()) {
        args.insert(args.end(), {name, name == "--output" ? (folder / "out.txt").string()
                                       : name == "--plan" ? (folder / "plan.json").string()
                                                          : Filler(command, name)});
      }
    }
    // What some commands need besides their required arguments to get to their files
    // (intl update reads a selection or chooses for itself).
    static const std::map<std::string, std::vector<std::string>> extra = {
        {"intl update", {"--auto"}}, {"intl object-set", {"--locked", "on"}}, {"import", {"--lang", "de"}},
        {"isolate set", {"--unit", "AppText.pas"}}, {"isolate apply", {"--yes"}}};
    if (const auto found = extra.find(command);
        found != extra.end() && c.Slot != "--selection" && std::ranges::count(found->second, c.Slot) == 0)
      args.insert(args.end(), found->second.begin(), found->second.end());
    return args;
  }

  // The regular files below the folder and their bytes.
  static std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
      if (entry.is_regular_file() && !entry.is_symlink()) files[entry.path().string()] = Slurp(entry.path().string());
    return files;
  }

  // What is wrong with the way the command took its bad input ("" when nothing).
  std::string Judge(const TCase& c, const fs::path& folder) {
    fs::copy(Root() / "examples" / "project", folder / "project");
    fs::copy_file(module_, folder / "project" / "Sample.ZOD");
    fs::copy_file(module_, folder / "other.zod");
    std::ofstream(folder / "script.txt").flush();
    fs::copy_file(Path("plan.json"), folder / "plan.json");
    const std::string bad = c.Input->Make(folder);
    const std::map<std::string, std::string> before = Files(folder);
    const test::TRunResult r = Run(Arguments(c, folder, bad), "", 120);
    const std::map<std::string, std::string> after = Files(folder);
    const size_t lines = std::count(r.err.begin(), r.err.end(), '\n');
    if (r.code < 0) return "crashed or hung";
    if (r.code == 0 && c.Input->Also == TAlso::Create && fs::exists(bad)) return "";
    if (r.code != 0 && r.code != 1 && r.code != 2) return "exit " + std::to_string(r.code);
    if (r.code != 0 && before != after) return "failed and changed files";
    if (c.Input->Also == TAlso::Serve) return "";
    // Texts may be empty.
    const bool text = c.Slot == "--text-file" || c.Slot == "--file" || c.Slot == "=SCRIPT" ||
                      Filler(c.Command["command"], c.Slot.substr(1)) == "script.txt";
    if (r.code == 0 && text && std::string(c.Input->Kind) == "empty file") return "";
    if (r.code == 0) return "succeeded";
    if (lines != 1 + (r.code == 2 && r.err.find("\nRun 'quintrel ") != std::string::npos ? 1 : 0))
      return "failed with " + std::to_string(lines) + " lines on stderr";
    // An over-long name is named by its beginning.
    const bool file = bad.rfind(folder.string(), 0) == 0;
    if (r.err.find(bad.substr(0, file ? folder.string().size() + 30 : 20)) == std::string::npos)
      return "failed without naming the input";
    return "";
  }
};

// Every command, given a bad file where it reads one, refuses it with one line naming the
// file (or serves what a damaged module still holds), never crashes, hangs or writes; a
// language the module does not have is refused the same way.
TEST_F(BadInput, EveryCommandRefusesEveryBadFileInOneLine) {
  const std::vector<TCase> cases = Cases();
  ASSERT_GT(cases.size(), 100u);
  ASSERT_EQ(In({"isolate", "plan", "-o", Path("plan.json")}).code, 0);
  std::vector<std::string> faults;
  std::mutex lock;
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w)
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < cases.size();) {
        const fs::path folder = dir_ / std::to_string(i);
        fs::create_directories(folder);
        const std::string fault = Judge(cases[i], folder);
        std::lock_guard<std::mutex> guard(lock);
        if (!fault.empty())
          faults.push_back(cases[i].Command["command"].get<std::string>() + " " + cases[i].Slot + ", " +
                           cases[i].Input->Kind + ": " + fault);
      }
    });
  for (std::thread& w : workers) w.join();
  std::sort(faults.begin(), faults.end());
  std::string all;
  for (const std::string& f : faults) all += f + "\n";
  EXPECT_EQ(all, "");
}

}  // namespace
}  // namespace quintrel::cli
