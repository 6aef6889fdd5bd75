// A module of a million terms: 200,000 objects on 4,000 forms in 5 languages, built in one
// update, then the statistics of a language, the export of the text file and a pack, each
// at 10,000, 100,000 and 1,000,000 terms. Prints the time per term of each step, how it
// grows from one size to the next (1.0 is linear), the resident memory after each and its
// peak during the step.
//
//   bench_million [--sizes=10000,100000,1000000]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/scratch.h"
#include "bench/timer.h"
#include "module/objects.h"
#include "module/terms.h"
#include "module/zod.h"
#include "tools/exchange.h"
#include "tools/maintenance.h"

namespace {

using namespace quintrel;
using bench::TSpan;
using bench::TTimer;
using module::MakeLanguageId;

constexpr int kLanguages = 5, kObjectsPerForm = 50;
const module::TLanguageId kLangs[kLanguages] = {MakeLanguageId('e', 'n'), MakeLanguageId('d', 'e'),
                                                MakeLanguageId('f', 'r'), MakeLanguageId('e', 's'),
                                                MakeLanguageId('i', 't')};

// Resident memory now, in MiB.
double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The most resident memory since the last ResetPeak, in MiB (0 where the system does not
// say).
double PeakMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

// Starts a new peak at the memory resident now.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::u16string TextOf(int object, int lang) {
  std::string s = "Caption " + std::to_string(object) + " of language " + std::to_string(lang);
  return std::u16string(s.begin(), s.end());
}

struct TStep {
  const char* name;
  TSpan span;
  double mib, peak;
};

// Times a step and keeps its peak memory.
template <class Work>
void Measure(std::vector<TStep>& steps, const char* name, Work&& work) {
  ResetPeak();
  TTimer timer;
  work();
  const TSpan span = timer.Elapsed();
  steps.push_back({name, span, ResidentMiB(), PeakMiB()});
}

std::vector<TStep> RunSize(const std::filesystem::path& dir, int terms) {
  const int objects = terms / kLanguages;
  const std::string file = (dir / ("M" + std::to_string(terms) + ".zod")).string();
  std::vector<TStep> steps;
  module::TZod zod(module::TZod::TStart::Empty);
  int m = zod.NewModule(file);
  if (m < 0) throw std::runtime_error("cannot create " + file);
  for (int l = 0; l < kLanguages; ++l) {
    module::TZodLanguage language;
    language.Identifier = kLangs[l];
    language.Name = u"x";
    zod.SetLanguage(m, language);
  }
  zod.SetDesignTimeLanguage(m, kLangs[0]);
  Measure(steps, "build", [&] {
    zod.BeginModuleUpdate(m);
    for (int i = 0; i < objects; ++i) {
      const int form = i / kObjectsPerForm;
      const uint32_t ident = zod.AddObject(m, "Form" + std::to_string(form),
                                           "Control" + std::to_string(i % kObjectsPerForm), "Caption",
                                           module::utString, module::ucButton);
      module::TZodObject object;
      object.Ident = ident;
      zod.GetObject(m, object);
      object.Localization = zod.GetNewTermID(m);
      zod.SetObject(m, object);
      for (int l = 0; l < kLanguages; ++l) {
        std::u16string text = TextOf(i, l);
        module::TZodTerm term;
        term.Language = kLangs[l];
        term.Ident = object.Localization;
        term.Status = static_cast<uint8_t>(i % 3 == 0 ? module::usUnTranslated : module::usSignedOff);
        term.Data = text.data();
        term.Size = static_cast<int32_t>(2 * text.size());
        zod.SetTerm(m, term);
      }
    }
    zod.EndModuleUpdate(m);
  });
  Measure(steps, "statistics", [&] {
    tools::TStatistics s = tools::GetAmounts(zod, m, kLangs[1]);
    if (s.Total != objects) throw std::runtime_error("statistics counted " + std::to_string(s.Total) + " objects");
  });
  Measure(steps, "export text", [&] {
    // Written to a file as it is made, as the command line writes it.
    tools::TExportOptions options;
    options.Base = kLangs[0];
    options.Target = kLangs[1];
    options.OnlyUntranslated = false;
    options.Unicode = true;
    const std::filesystem::path exported = dir / "export.txt";
    std::ofstream out(exported, std::ios::binary);
    tools::ExportTextFile(zod, m, options, [&](std::string_view bytes) { out.write(bytes.data(), bytes.size()); });
    out.close();
    // Every object gives its "#I " line; 12 bytes of UTF-16 begin it.
    if (!out || std::filesystem::file_size(exported) < static_cast<uintmax_t>(objects) * 12)
      throw std::runtime_error("the export missed objects");
    std::filesystem::remove(exported);
  });
  zod.UnRegisterModule(m, false);
  Measure(steps, "pack", [&] {
    tools::TPackResult packed = tools::PackModule(file);
    if (packed.Terms < terms)
      throw std::runtime_error("the pack kept " + std::to_string(packed.Terms) + " of " + std::to_string(terms) +
                               " terms (" + std::to_string(packed.Objects) + " objects on " +
                               std::to_string(packed.Forms) + " forms)");
  });
  std::filesystem::remove(file);
  return steps;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes = {10000, 100000, 1000000};
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--sizes=", 8) == 0) {
      sizes.clear();
      std::stringstream list(argv[i] + 8);
      for (std::string item; std::getline(list, item, ',');)
        sizes.push_back(std::max(kLanguages, std::atoi(item.c_str())));
    } else {
      std::fprintf(stderr, "usage: bench_million [--sizes=N,N,...]\n");
      return 2;
    }
  }
  bench::TScratchFolder scratch("million");
  const std::filesystem::path& dir = scratch.Path();
  int status = 0;
  try {
    std::printf("%-12s %10s %12s %12s %10s %10s %10s\n", "step", "terms", "cpu s", "cpu us/term", "growth",
                "RSS MiB", "peak MiB");
    std::vector<TStep> previous;
    int previousSize = 0;
    for (int size : sizes) {
      std::vector<TStep> steps = RunSize(dir, size);
      for (size_t k = 0; k < steps.size(); ++k) {
        const double perTerm = 1e6 * steps[k].span.cpu / size;
        double growth = 0;
        if (!previous.empty()) growth = perTerm / (1e6 * previous[k].span.cpu / previousSize);
        std::printf("%-12s %10d %12.3f %12.3f %10.2f %10.1f %10.1f\n", steps[k].name, size, steps[k].span.cpu,
                    perTerm, growth, steps[k].mib, steps[k].peak);
      }
      previous = steps;
      previousSize = size;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_million: %s\n", e.what());
    status = 1;
  }
  return status;
}
