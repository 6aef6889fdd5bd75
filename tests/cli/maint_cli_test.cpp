// quintrel leverage, module pack|reindex|settings|auto-include|migrate and switch-base on
// a copy of the example project and the module its script builds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/cli/example_project.h"
#include "tests/tools/lan_writer.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;
using tools::test::LanId;
using tools::test::TLanWriter;

class MaintCommand : public test::ExampleProjectFixture {
protected:
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<std::streamsize>(bytes.size()));
  }
  // Every file of the project folder with its bytes, backups left out.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(Path("project")))
      if (e.path().extension().string().rfind(".~", 0) != 0 && e.path().extension() != ".ZOD")
        files[e.path().filename().string()] = Slurp(e.path().string());
    return files;
  }
};

// Every command that writes the module, with writes failing past a file size (as on a
// device that fills up) at points from the journal's first record to the module's growth:
// it fails with one line naming the file, never by an abort. Where even the rollback could
// not write, the journal stays, and the next command to open the module rolls it back:
// then the module holds every byte it held, and with room again the command works.
TEST_F(MaintCommand, WritingCommandsOnAFullDeviceFailCleanlyAndWorkOnceThereIsRoom) {
  const std::string module = Path("project/Sample.ZOD");
  const std::string original = File("Sample.ZOD");
  const std::vector<std::vector<std::string>> commands = {
      {"term", "set", module, "de", "1", std::string(3000, 'x')},
      {"lang", "add", module, "fr", "--name", "French"},
      {"module", "clean", "--project", project_},
      {"module", "reindex", "--project", project_},
      {"intl", "update", "--auto", "--project", project_},
      {"switch-base", "--lang", "de", "--project", project_},
  };
  const off_t size = static_cast<off_t>(original.size());
  const std::vector<off_t> limits = {100, 9000, size / 2, size + 100, size + 3 * 8192};
  for (const auto& args : commands) {
    const std::string what = args[0] + " " + args[1];
    bool failed = false;
    for (off_t limit : limits) {
      std::ofstream(module, std::ios::binary | std::ios::trunc) << original;
      int pipe[2];
      ASSERT_EQ(::pipe(pipe), 0);
      pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit rl{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        ::dup2(pipe[1], 2);
        ::dup2(::open("/dev/null", O_WRONLY), 1);
        std::vector<char*> argv{const_cast<char*>(QUINTREL_CLI)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(QUINTREL_CLI, argv.data());
        ::_exit(127);
      }
      ::close(pipe[1]);
      std::string err;
      char buffer[4096];
      for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) err.append(buffer, static_cast<size_t>(n));
      ::close(pipe[0]);
      int status = 0;
      ::waitpid(child, &status, 0);
      const std::string at = what + " at " + std::to_string(limit) + ": " + err;
      ASSERT_TRUE(WIFEXITED(status)) << at << "signal " << WTERMSIG(status);
      if (WEXITSTATUS(status) == 0) continue;
      failed = true;
      EXPECT_EQ(WEXITSTATUS(status), 1) << at;
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << at;
      EXPECT_NE(err.find(Path("project/")), std::string::npos) << at;
      EXPECT_EQ(Run({"db", "check", module}).code, 0) << at;
      EXPECT_TRUE(File("Sample.ZOD") == original) << at;
      EXPECT_FALSE(fs::exists(module + "-journal")) << at;
    }
    EXPECT_TRUE(failed) << what << " never failed";
    std::ofstream(module, std::ios::binary | std::ios::trunc) << original;
    auto r = Run(args);
    EXPECT_EQ(r.code, 0) << what << ": " << r.err;
    EXPECT_EQ(Run({"db", "check", module}).code, 0) << what;
  }
}

TEST_F(MaintCommand, LeverageTakesTextsHonestlyAndRefusesTheProjectsOwnModule) {
  // The project's own module, by another spelling.
  auto r = In({"leverage", "run", Path("project/./Sample.ZOD"), "--into", "de"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind("quintrel: Could not leverage specified file: ", 0), 0u) << r.err;
  EXPECT_THAT(r.err, HasSubstr("is the module"));
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

  TLanWriter lan;
  lan.Languages({{LanId("de"), "Deutsch"}});
  lan.Section("TMainForm")
      .Entry(LanId("de"), "Neue Adressen", "TitleLabel", "Caption")  // signed off in the module
      .Entry(LanId("de"), "Gr\xF6\xDF""e", "SizeLabel", "Caption")       // new
      .End();
  Write("old.lan", lan.Bytes());
  r = Succeeds(Run({"leverage", "inspect", Path("old.lan"), "--json"}));
  const auto info = nlohmann::json::parse(r.out);
  EXPECT_EQ(info["entries"], 2);
  EXPECT_EQ(info["languages"][0]["name"], "Deutsch");
  r = Succeeds(In({"leverage", "run", Path("old.lan"), "--into", "de"}));
  EXPECT_THAT(r.out, HasSubstr("taken 1, created 1, skipped 1 (signed off 1, locked 0)"));
  EXPECT_THAT(r.out, HasSubstr("The leverage operation was successfull\n"));
  EXPECT_THAT(r.out, HasSubstr("changed " + Path("project/Sample.ZOD")));
  EXPECT_NE(Run({"preview", "--project", project_, "--lang", "de"}).out.find("Meine Adressen"), std::string::npos);

  // A damaged languages file is a failure, with the reason.
  std::vector<uint8_t> bytes = lan.Bytes();
  bytes.resize(bytes.size() - 3);
  Write("cut.lan", bytes);
  r = In({"leverage", "run", Path("cut.lan"), "--into", "de"});
  EXPECT_EQ(r.code, 1);
  EXPECT_THAT(r.err, HasSubstr("cut.lan: at byte"));
  EXPECT_EQ(r.out.find("successfull"), std::string::npos);
}

TEST_F(MaintCommand, PackReindexSettingsAndAutoIncludes) {
  const std::string original = File("Sample.ZOD");
  auto before = Run({"preview", "--project", project_, "--lang", "ru", "--resstrings"});
  EXPECT_THAT(Ok(In({"module", "pack"})), HasSubstr("backup of the module as it was: " + Path("project/Sample.~lm")));
  EXPECT_EQ(File("Sample.~lm"), original);
  EXPECT_EQ(Run({"preview", "--project", project_, "--lang", "ru", "--resstrings"}).out, before.out);
  EXPECT_NE(In({"module", "pack"}).out.find("the previous backup " + Path("project/Sample.~lm") + " was replaced"),
            std::string::npos);
  // A file that is no module is refused before it could take the place of the backup.
  const std::string backup = File("Sample.~lm");
  std::ofstream(Path("project/Empty.ZOD")).flush();
  fs::copy_file(Path("project/Sample.~lm"), Path("project/Empty.~lm"));
  auto r = In({"module", "pack", "--module", Path("project/Empty.ZOD")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(File("Empty.~lm"), backup);
  Ok(In({"module", "reindex"}));
  Ok({"db", "check", Path("project/Sample.ZOD")});

  Ok(In({"module", "settings", "--show-lang-list", "off", "--switch-rc", "off"}));
  const auto settings = nlohmann::json::parse(In({"module", "settings", "--json"}).out);
  EXPECT_EQ(settings["show-lang-list"], false);
  EXPECT_EQ(settings["switch-resstr-rc"], false);
  EXPECT_EQ(settings["use-original-if-untranslated"], true);

  std::ofstream(Path("includes.txt")) << "Caption\r\n\r\n  Hint \nItems.Strings\n";
  Ok(In({"module", "auto-include", "set", Path("includes.txt")}));
  EXPECT_EQ(In({"module", "auto-include", "list"}).out, "Caption\nHint\nItems.Strings\n");
  std::ofstream(Path("bad.txt")) << "Caption\nTwo words\n";
  EXPECT_THAT(Refused(In({"module", "auto-include", "set", Path("bad.txt")})), HasSubstr("bad.txt: line 2"));
}

// Migrating reads the English texts of the forms into German as its design language;
// the German texts are signed off, so every one that differs is kept.
TEST_F(MaintCommand, MigrateAsksAndKeepsSignedOffTexts) {
  const std::string module = File("Sample.ZOD");
  EXPECT_THAT(
      Refused(In({"module", "migrate", "--lang", "de"})),
      HasSubstr("quintrel: About to overwrite existing language translations, do you really want to proceed ?"));
  EXPECT_EQ(File("Sample.ZOD"), module);
  auto r = Succeeds(In({"module", "migrate", "--lang", "de", "--yes"}));
  EXPECT_THAT(r.out, HasSubstr("read 3 forms and 2 resource-string units into de"));
  EXPECT_EQ(r.out.find("; 0 signed-off texts kept"), std::string::npos) << r.out;
  EXPECT_EQ(nlohmann::json::parse(Run({"module", "info", Path("project/Sample.ZOD"), "--json"}).out)["settings"]
                                 ["design-language"],
            "de");
  EXPECT_NE(Run({"preview", "--project", project_, "--lang", "de"}).out.find("Meine Adressen"), std::string::npos);
}

TEST_F(MaintCommand, SwitchToGermanAndBackGivesEveryFileByteForByte) {
  const auto original = Files();
  auto r = Succeeds(In({"switch-base", "--lang", "de"}));
  EXPECT_NE(File("Main.dfm").find("Meine Adressen"), std::string::npos);
  EXPECT_NE(File("AppText.pas").find("SReady = 'Bereit';"), std::string::npos);
  EXPECT_NE(File("Errors.rc").find("SE_CannotRead, \"Das Adressbuch konnte nicht gelesen werden.\""),
            std::string::npos);
  EXPECT_EQ(File("Errors.pas"), original.at("Errors.pas"));  // the numbers stay
  EXPECT_EQ(File("Main.~df"), original.at("Main.dfm"));
  EXPECT_THAT(r.out, HasSubstr("changed " + Path("project/Main.dfm")));
  Ok(In({"switch-base", "--lang", "en"}));
  EXPECT_EQ(Files(), original);
  EXPECT_NE(In({"switch-base", "--lang", "en"}).out.find("Update: "), std::string::npos);
}

TEST_F(MaintCommand, SwitchFallsBackToThePreviousDesignTextsAndStopsAtAReadOnlyFile) {
  Ok({"lang", "add", Path("project/Sample.ZOD"), "fr", "--name", "French"});
  TLanWriter lan;
  lan.Section("TMainForm").Entry(LanId("fr"), "Mes adresses", "TitleLabel", "Caption").End();
  Write("fr.lan", lan.Bytes());
  Ok(In({"leverage", "run", Path("fr.lan"), "--into", "fr"}));

  const auto original = Files();
  fs::permissions(Path("project/Errors.rc"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const std::string module = File("Sample.ZOD");
  EXPECT_THAT(Refused(In({"switch-base", "--lang", "fr"})),
              HasSubstr("One or more files are \"Read Only\" (" + Path("project/Errors.rc") + "), cannot continue."));
  EXPECT_EQ(Files(), original);
  EXPECT_EQ(File("Sample.ZOD"), module);

  fs::permissions(Path("project/Errors.rc"), fs::perms::owner_write, fs::perm_options::add);
  Ok(In({"switch-base", "--lang", "fr"}));
  const std::string main = File("Main.dfm");
  EXPECT_THAT(main, HasSubstr("Mes adresses"));
  EXPECT_NE(main.find("Sample Address Book"), std::string::npos);  // untranslated: the English text
  EXPECT_EQ(File("AppText.pas"), original.at("AppText.pas"));
}

}  // namespace
}  // namespace quintrel::cli
