// Run-time texts against GNU gettext, in one process: the same 10,000 strings as a
// resource-string unit of a language module in 5 languages and as gettext catalogues
// (compiled by msgfmt while the benchmark starts). Each round switches the language and
// then loads 1,000,000 strings in one random order: through the translator's
// resource-string loader (the path an application takes after a language switch), and
// through dgettext with the same keys. Prints processor and wall-clock time per text and
// the ratio ours / gettext; with --repetitions=N the medians of N rounds.
//
//   bench_runtime [--repetitions=N] [--loads=N]
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

}  // namespace

int main(int argc, char** argv) {
  int repetitions = 3, loads = 1000000;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--repetitions=", 14) == 0) repetitions = std::max(1, std::atoi(argv[i] + 14));
    else if (std::strncmp(argv[i], "--loads=", 8) == 0) loads = std::max(1, std::atoi(argv[i] + 8));
    else {
      std::fprintf(stderr, "usage: bench_runtime [--repetitions=N] [--loads=N]\n");
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

    runtime::TTranslatorUnit unit((dir / "App").string());
    runtime::TQuintrel* translator = runtime::GlobalQuintrel();
    if (!translator || translator->Module() < 0) throw std::runtime_error("the translator has no module");
    win32::HINSTANCE exe = win32::GetModuleHandle(nullptr);

    std::vector<TRound> rounds;
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
        extern int _nl_msg_cat_cntr;
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
    auto median = [&](auto pick) {
      std::vector<double> v;
      for (const TRound& round : rounds) v.push_back(pick(round));
      std::sort(v.begin(), v.end());
      return v[v.size() / 2];
    };
    const double perText = 1e9 / loads;
    double oursWall = median([](const TRound& x) { return x.ours.wall; }) * perText;
    double oursCpu = median([](const TRound& x) { return x.ours.cpu; }) * perText;
    double getWall = median([](const TRound& x) { return x.gettext.wall; }) * perText;
    double getCpu = median([](const TRound& x) { return x.gettext.cpu; }) * perText;
    std::printf("%d loads of %d strings after a language switch, median of %d rounds (ns per text)\n", loads,
                kStrings, repetitions);
    std::printf("%-22s %10s %10s %8s %10s %10s %8s\n", "step", "ours", "gettext", "ratio", "ours cpu", "gettext cpu",
                "ratio");
    std::printf("%-22s %10.1f %10.1f %8.2f %10.1f %10.1f %8.2f\n", "resource-string load", oursWall, getWall,
                oursWall / getWall, oursCpu, getCpu, oursCpu / getCpu);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_runtime: %s\n", e.what());
    status = 1;
  }
  return status;
}
