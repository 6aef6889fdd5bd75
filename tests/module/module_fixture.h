// A scratch folder with its own per-user registry for module tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "module/zod.h"
#include "text/unicode.h"

namespace quintrel::module::test {

class ModuleFixture : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("quintrel-module-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
            std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    if (const char* saved = std::getenv("QUINTREL_CONFIG")) savedConfig_ = saved;
    setenv("QUINTREL_CONFIG", Path("registry.ini").c_str(), 1);
  }
  void TearDown() override {
    if (savedConfig_.empty()) {
      unsetenv("QUINTREL_CONFIG");
    } else {
      setenv("QUINTREL_CONFIG", savedConfig_.c_str(), 1);
    }
    std::filesystem::remove_all(dir_);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // A new module file, created through a private instance and closed again.
  std::string MakeModule(const std::string& name) {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    TZod zod(TZod::TStart::Empty);
    EXPECT_EQ(zod.NewModule(Path(name)), 0) << name;
    return Path(name);
  }

  std::filesystem::path dir_;
  std::string savedConfig_;
};

// Modules opened in the one global module list that the name lists and the tools work on;
// every module a test opens is closed again after it.
class GlobalModulesFixture : public ModuleFixture {
protected:
  void TearDown() override {
    auto& zod = GlobalZOD();
    while (zod.GetModuleCount() > 0) zod.UnRegisterModule(zod.GetModuleCount() - 1, false);
    ModuleFixture::TearDown();
  }

  // A new module file, open in the global list; its index.
  int NewModule(const std::string& name) {
    int index = GlobalZOD().NewModule(Path(name));
    EXPECT_GE(index, 0) << name;
    return index;
  }
  // Closes the module and opens its file again, so that what follows reads the file.
  int Reopen(int index, const std::string& name) {
    auto& zod = GlobalZOD();
    EXPECT_TRUE(zod.UnRegisterModule(index, false));
    int again = zod.RegisterModule(Path(name), false);
    EXPECT_GE(again, 0) << name;
    return again;
  }
};

inline TLanguageId Id(const char* two) { return MakeLanguageId(two[0], two[1]); }

// The message of the exception of type E that f throws; "(no error)" when it throws none.
template <class E = rtl::Exception>
std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "(no error)";
}

// A language of the module; whether it was stored.
inline bool AddLanguage(TZod& zod, int m, const char* id, std::u16string_view name = u"L", uint8_t charset = 0) {
  TZodLanguage language;
  language.Identifier = Id(id);
  language.Name = std::u16string(name);
  language.Charset = charset;
  return zod.SetLanguage(m, language);
}

// Writes the term with these bytes, status and style.
inline bool PutTermBytes(TZod& zod, int m, TLanguageId language, uint32_t ident, std::vector<uint8_t> bytes,
                         uint8_t status = usSignedOff, uint8_t style = 0) {
  TZodTerm term{language, ident, status, style, bytes.data(), static_cast<int32_t>(bytes.size())};
  return zod.SetTerm(m, term);
}
// The text as UTF-16 units; an empty text goes with size 0, which keeps a stored text.
inline bool PutTerm(TZod& zod, int m, TLanguageId language, uint32_t ident, std::u16string_view text,
                    uint8_t status = usSignedOff, uint8_t style = 0) {
  return PutTermBytes(zod, m, language, ident, text::Utf16LeBytes(text), status, style);
}

struct TReadTerm {
  uint8_t Status = 0, Style = 0;
  std::vector<uint8_t> Data;
  std::u16string Text;  // Data as UTF-16 units
};
// The term read as a program reads it, its size first and then its bytes; nullopt when
// GetTerm finds none.
inline std::optional<TReadTerm> ReadTerm(TZod& zod, int m, TLanguageId language, uint32_t ident) {
  TZodTerm term{language, ident};
  if (!zod.GetTerm(m, term)) return std::nullopt;
  TReadTerm out;
  out.Data.resize(static_cast<size_t>(term.Size));
  term.Data = out.Data.data();
  EXPECT_TRUE(zod.GetTerm(m, term));
  out.Status = term.Status;
  out.Style = term.Style;
  out.Data.resize(std::min(out.Data.size(), static_cast<size_t>(term.Size)));
  out.Text.resize(out.Data.size() / 2);
  for (size_t i = 0; i < out.Text.size(); ++i)
    out.Text[i] = static_cast<char16_t>(out.Data[2 * i] | (out.Data[2 * i + 1] << 8));
  return out;
}
inline std::optional<std::u16string> ReadText(TZod& zod, int m, TLanguageId language, uint32_t ident) {
  auto term = ReadTerm(zod, m, language, ident);
  return term ? std::optional(term->Text) : std::nullopt;
}

// The object as stored.
inline TZodObject StoredObject(TZod& zod, int m, uint32_t ident) {
  TZodObject object;
  object.Ident = ident;
  EXPECT_TRUE(zod.GetObject(m, object)) << ident;
  return object;
}

// An object catalogued with a new term for its text; the object as stored.
inline TZodObject AddObjectWithTerm(TZod& zod, int m, const std::string& form, const std::string& comp,
                                    const std::string& prop, uint8_t kind = utString, uint8_t zodClass = ucButton) {
  TZodObject object = StoredObject(zod, m, zod.AddObject(m, form, comp, prop, kind, zodClass));
  object.Localization = zod.GetNewTermID(m);
  EXPECT_TRUE(zod.SetObject(m, object));
  return object;
}

// Starts body in a child process, another program sharing the module files; it exits 0
// when body returns true. The child's id, -1 when fork failed.
inline pid_t StartChild(const std::function<bool()>& body) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  bool ok = false;
  try {
    ok = body();
  } catch (...) {
  }
  _exit(ok ? 0 : 1);
}
// Whether the child ended with body returning true.
inline bool ChildSucceeded(pid_t pid) {
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
inline bool InChild(const std::function<bool()>& body) { return ChildSucceeded(StartChild(body)); }

}  // namespace quintrel::module::test
