// Run-time texts against GNU gettext, in one process: the same 10,000 strings as a
// resource-string unit of a language module in 5 languages and as gettext catalogues
// (compiled by msgfmt while the benchmark starts). Each round switches the language and
// then loads 1,000,000 strings in one random order: through the translator's
// resource-string loader (the path an application takes after a language switch), and
// through dgettext with the same keys. Then the example project's main form, read from its
// form file, with the module the project's script builds: switched between German and
// Russian by the translator (every catalogued property of the live form rewritten), against
// re-reading every one of its texts through dgettext. Prints processor and wall-clock time
// per text and the ratio ours / gettext; with --repetitions=N the medians of N rounds.
//
//   bench_runtime [--repetitions=N] [--loads=N] [--switches=N]
#include <libintl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "module/objects.h"
#include "module/terms.h"
#include "bench/scratch.h"
#include "bench/timer.h"
#include "module/zod.h"
#include "platform/vcl/resstrings.h"
#include "platform/win32/resources.h"
#include "runtime/quintrel.h"
#include "text/unicode.h"
#include "tools/liveforms.h"

// Counts the catalogue changes; a new value makes gettext look its catalogues up again.
extern int _nl_msg_cat_cntr;

namespace {

using namespace quintrel;
using module::MakeLanguageId;
using module::TLanguageId;

constexpr int kStrings = 10000, kLanguages = 5;
constexpr unsigned kTopId = 65535;  // the linker numbers resource strings from the top down
const char* const kCodes[kLanguages] = {"en", "de", "fr", "es", "it"};
const char* const kDomain = "bench";

using bench::TSpan;
using bench::TTimer;

// Text i in language l: 20 to 80 letters, distinct per string (its number leads).
std::string TextOf(int i, int l) {
  std::mt19937 random(static_cast<unsigned>(i * kLanguages + l));
  std::string text = std::to_string(i) + " ";
  size_t length = 20 + random() % 61;
  while (text.size() < length) text += static_cast<char>((text.size() % 7 == 6) ? ' ' : 'a' + random() % 26);
  return text;
}

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A .po catalogue per language, compiled to dir/<code>/LC_MESSAGES/bench.mo.
void WriteCatalogues(const std::filesystem::path& dir) {
  for (int l = 1; l < kLanguages; ++l) {
    std::filesystem::path po = dir / (std::string(kCodes[l]) + ".po");
    {
      std::ofstream out(po);
      out << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
      for (int i = 0; i < kStrings; ++i)
        out << "msgid \"" << TextOf(i, 0) << "\"\nmsgstr \"" << TextOf(i, l) << "\"\n\n";
    }
    std::filesystem::path mo = dir / kCodes[l] / "LC_MESSAGES";
    std::filesystem::create_directories(mo);
    std::string command = "msgfmt -o '" + (mo / "bench.mo").string() + "' '" + po.string() + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("msgfmt failed: " + command);
  }
}

// The module beside the "executable" dir/App: one resource-string unit of kStrings strings
// in kLanguages languages, and the executable's string table in the design language.
void BuildModule(const std::filesystem::path& dir) {
  module::TZod& zod = module::GlobalZOD();
  int m = zod.NewModule((dir / "App.ZOD").string());
  if (m < 0) throw std::runtime_error("cannot create the module");
  for (int l = 0; l < kLanguages; ++l) {
    module::TZodLanguage language;
    language.Identifier = MakeLanguageId(kCodes[l][0], kCodes[l][1]);
    language.Name = Wide(kCodes[l]);
    zod.SetLanguage(m, language);
  }
  zod.SetDesignTimeLanguage(m, MakeLanguageId('e', 'n'));
  zod.SetSwitchResStr(m, module::kSwitchResourceStrings, true);
  win32::HINSTANCE exe = win32::GetModuleHandle(nullptr);
  zod.BeginModuleUpdate(m);
  for (int i = 0; i < kStrings; ++i) {
    const unsigned id = kTopId - static_cast<unsigned>(i);
    const uint32_t ident = zod.AddUnitObject(m, "#Strings.pas", id, "#S" + std::to_string(i), module::utString,
                                             module::ucResourceString);
    module::TZodObject object;
    object.Ident = ident;
    zod.GetObject(m, object);
    object.Localization = zod.GetNewTermID(m);
    zod.SetObject(m, object);
    for (int l = 0; l < kLanguages; ++l) {
      std::u16string text = Wide(TextOf(i, l));
      module::TZodTerm term;
      term.Language = MakeLanguageId(kCodes[l][0], kCodes[l][1]);
      term.Ident = object.Localization;
      term.Status = module::usSignedOff;
      term.Data = text.data();
      term.Size = static_cast<int32_t>(2 * text.size());
      zod.SetTerm(m, term);
    }
    win32::SetResourceString(exe, id, Wide(TextOf(i, 0)));
  }
  zod.EndModuleUpdate(m);
  zod.UnRegisterModule(m, false);
}

struct TRound {
  TSpan ours, gettext;
};

// The median of pick over the rounds.
template <class Pick>
double Median(const std::vector<TRound>& rounds, Pick pick) {
  std::vector<double> v;
  for (const TRound& round : rounds) v.push_back(pick(round));
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void PrintLine(const char* step, const std::vector<TRound>& rounds, double texts) {
  const double perText = 1e9 / texts;
  const double oursWall = Median(rounds, [](const TRound& x) { return x.ours.wall; }) * perText;
  const double oursCpu = Median(rounds, [](const TRound& x) { return x.ours.cpu; }) * perText;
  const double getWall = Median(rounds, [](const TRound& x) { return x.gettext.wall; }) * perText;
  const double getCpu = Median(rounds, [](const TRound& x) { return x.gettext.cpu; }) * perText;
  std::printf("%-22s %10.1f %10.1f %8.2f %10.1f %10.1f %8.2f\n", step, oursWall, getWall, oursWall / getWall, oursCpu,
              getCpu, oursCpu / getCpu);
}

// --- the example's main form ---------------------------------------------------------------

const char* const kFormLanguages[] = {"de", "ru"};

std::string PoQuoted(const std::string& s) {
  std::string quoted;
  for (char c : s) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c == '\n' || c == '\r' || c == '\t') {
      quoted += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
      continue;
    }
    quoted += c;
  }
  return quoted;
}

// The texts of the main form's catalogued properties: the English ones (the gettext keys)
// and per language the translation, empty where there is none.
struct TFormTexts {
  std::vector<std::string> Keys;
  std::vector<std::vector<std::string>> Translations;  // per kFormLanguages
};

TFormTexts ReadFormTexts(module::TZod& zod, int m) {
  TFormTexts texts;
  texts.Translations.resize(std::size(kFormLanguages));
  const uint32_t form = module::GetFormID(zod.GetForms(m), "MainForm");
  std::vector<std::string> seen;
  for (const module::TZodObject& object : zod.GetObjects(m, static_cast<uint16_t>(form))) {
    if (object.Localization == 0 || object.Kind != module::utString) continue;
    const std::string key = text::WideToUtf8(zod.GetLongStringW(m, object.Localization, MakeLanguageId('e', 'n'), false));
    // gettext keys are distinct and never empty.
    if (key.empty() || std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    texts.Keys.push_back(key);
    for (size_t l = 0; l < std::size(kFormLanguages); ++l)
      texts.Translations[l].push_back(text::WideToUtf8(zod.GetLongStringW(
          m, object.Localization, MakeLanguageId(kFormLanguages[l][0], kFormLanguages[l][1]), false)));
  }
  return texts;
}

void WriteFormCatalogues(const std::filesystem::path& dir, const TFormTexts& texts) {
  for (size_t l = 0; l < std::size(kFormLanguages); ++l) {
    std::filesystem::path po = dir / ("form-" + std::string(kFormLanguages[l]) + ".po");
    {
      std::ofstream out(po);
      out << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
      for (size_t i = 0; i < texts.Keys.size(); ++i)
        out << "msgid \"" << PoQuoted(texts.Keys[i]) << "\"\nmsgstr \"" << PoQuoted(texts.Translations[l][i])
            << "\"\n\n";
    }
    std::filesystem::path mo = dir / kFormLanguages[l] / "LC_MESSAGES";
    std::filesystem::create_directories(mo);
    std::string command = "msgfmt -o '" + (mo / "form.mo").string() + "' '" + po.string() + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("msgfmt failed: " + command);
  }
}

// Switches the example's main form `switches` times per round, alternating German and
// Russian, against as many rounds of dgettext over its texts; prints the line.
void RunFormSwitch(const std::filesystem::path& dir, int repetitions, int switches) {
  const std::filesystem::path source(QUINTREL_SOURCE_DIR);
  const std::filesystem::path moduleFile = dir / "Sample.ZOD";
  const std::string build = "'" + (source / "scripts" / "build-example-module").string() + "' '" QUINTREL_CLI "' '" +
                            moduleFile.string() + "' >/dev/null";
  if (std::system(build.c_str()) != 0) throw std::runtime_error("cannot build the example module: " + build);

  runtime::TTranslatorUnit unit((dir / "Sample").string());
  runtime::TQuintrel* translator = runtime::GlobalQuintrel();
  if (!translator || translator->Module() < 0) throw std::runtime_error("the translator has no example module");
  const TFormTexts texts = ReadFormTexts(translator->Zod(), translator->Module());
  if (texts.Keys.empty()) throw std::runtime_error("the example module has no texts of MainForm");
  WriteFormCatalogues(dir, texts);
  bindtextdomain("form", dir.c_str());
  bind_textdomain_codeset("form", "UTF-8");

  const std::string dfm = (source / "examples" / "project" / "Main.dfm").string();
  std::vector<tools::TFormFile> files;
  files.push_back({dfm, vcl::LoadFormFile(dfm)});
  std::vector<tools::TLiveForm> forms = tools::CreateForms(files);
  if (forms.size() != 1) throw std::runtime_error("Main.dfm did not give one form");
  auto* form = dynamic_cast<vcl::TCustomForm*>(forms[0].Root.get());
  if (!form) throw std::runtime_error("Main.dfm is not a form");

  std::vector<TRound> rounds;
  for (int r = 0; r < repetitions; ++r) {
    TRound round;
    {
      TTimer timer;
      for (int s = 0; s < switches; ++s) {
        const char* code = kFormLanguages[s % 2];
        if (!translator->SwitchLanguage(MakeLanguageId(code[0], code[1]), false, true, "MainForm"))
          throw std::runtime_error("the switch found no form");
      }
      round.ours = timer.Elapsed();
    }
    size_t gettextBytes = 0;
    {
      TTimer timer;
      for (int s = 0; s < switches; ++s) {
        setenv("LANGUAGE", kFormLanguages[s % 2], 1);
        ++_nl_msg_cat_cntr;
        for (const std::string& key : texts.Keys) gettextBytes += std::strlen(dgettext("form", key.c_str()));
      }
      round.gettext = timer.Elapsed();
    }
    // Both end on the language of the last switch: the form's caption and gettext agree.
    const size_t last = static_cast<size_t>((switches - 1) % 2);
    // gettext gives the key itself for a text without translation.
    const std::string& translation = texts.Translations[last][0];
    if (gettextBytes == 0 ||
        std::string(dgettext("form", texts.Keys[0].c_str())) != (translation.empty() ? texts.Keys[0] : translation))
      throw std::runtime_error("gettext does not give the example's translations");
    if (last == 0 && form->Caption() != "Beispiel-Adressbuch")
      throw std::runtime_error("the switch did not translate the form (caption \"" + form->Caption() + "\")");
    rounds.push_back(round);
  }
  PrintLine(("form switch, " + std::to_string(texts.Keys.size()) + " texts").c_str(), rounds,
            static_cast<double>(switches) * static_cast<double>(texts.Keys.size()));
}

}  // namespace

int main(int argc, char** argv) {
  int repetitions = 3, loads = 1000000, switches = 501;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--repetitions=", 14) == 0) repetitions = std::max(1, std::atoi(argv[i] + 14));
    else if (std::strncmp(argv[i], "--loads=", 8) == 0) loads = std::max(1, std::atoi(argv[i] + 8));
    else if (std::strncmp(argv[i], "--switches=", 11) == 0) switches = std::max(1, std::atoi(argv[i] + 11)) | 1;
    else {
      std::fprintf(stderr, "usage: bench_runtime [--repetitions=N] [--loads=N] [--switches=N]\n");
      return 2;
    }
  }
  bench::TScratchFolder scratch("runtime");
  const std::filesystem::path& dir = scratch.Path();
  int status = 0;
  try {
    WriteCatalogues(dir);
    BuildModule(dir);
    // gettext honours LANGUAGE in any locale but "C"; C.UTF-8 is always there.
    std::setlocale(LC_ALL, "C.UTF-8");
    bindtextdomain(kDomain, dir.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");

    std::mt19937 random(7);
    std::vector<int> order(static_cast<size_t>(loads));
    for (int& k : order) k = static_cast<int>(random() % kStrings);
    std::vector<std::string> keys;  // the gettext keys: the design texts
    for (int i = 0; i < kStrings; ++i) keys.push_back(TextOf(i, 0));

    std::vector<TRound> rounds;
    {
      runtime::TTranslatorUnit unit((dir / "App").string());
      runtime::TQuintrel* translator = runtime::GlobalQuintrel();
      if (!translator || translator->Module() < 0) throw std::runtime_error("the translator has no module");
      win32::HINSTANCE exe = win32::GetModuleHandle(nullptr);
      for (int r = 0; r < repetitions; ++r) {
        const int l = 1 + r % (kLanguages - 1);
        TRound round;
        size_t oursBytes = 0, gettextBytes = 0;
        {
          TTimer timer;
          translator->SetCurrentLanguage(MakeLanguageId(kCodes[l][0], kCodes[l][1]), 0);
          for (int k : order) {
            const vcl::TResStringRec rec{&exe, kTopId - static_cast<unsigned>(k)};
            oursBytes += vcl::LoadResString(&rec).size();
          }
          round.ours = timer.Elapsed();
        }
        {
          TTimer timer;
          setenv("LANGUAGE", kCodes[l], 1);
          // The documented way to tell the library that its catalogues are to be looked up again.
          ++_nl_msg_cat_cntr;
          for (int k : order) gettextBytes += std::strlen(dgettext(kDomain, keys[static_cast<size_t>(k)].c_str()));
          round.gettext = timer.Elapsed();
        }
        size_t expected = 0;
        for (int k : order) expected += TextOf(k, l).size();
        if (oursBytes != expected || gettextBytes != expected)
          throw std::runtime_error("texts differ from the translations (ours " + std::to_string(oursBytes) +
                                   ", gettext " + std::to_string(gettextBytes) + ", expected " +
                                   std::to_string(expected) + " bytes)");
        rounds.push_back(round);
      }
    }
    std::printf("%d loads of %d strings after a language switch; %d switches of the example's main form;\n"
                "median of %d rounds (ns per text)\n",
                loads, kStrings, switches, repetitions);
    std::printf("%-22s %10s %10s %8s %10s %10s %8s\n", "step", "ours", "gettext", "ratio", "ours cpu", "gettext cpu",
                "ratio");
    PrintLine("resource-string load", rounds, loads);
    std::fflush(stdout);
    RunFormSwitch(dir, repetitions, switches);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_runtime: %s\n", e.what());
    status = 1;
  }
  return status;
}
