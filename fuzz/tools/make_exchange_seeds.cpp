// Writes the seed corpus of exchange_import_fuzzer: the exchange files of the module the
// target imports into (fuzz/exchange_module.h), as a translator gets them: the text file
// as 8-bit text and as UTF-16, for German and for Russian (a charset of its own), with and
// without the translated objects, XLIFF and PO.
//
//   make_exchange_seeds OUT_DIR     (writes OUT_DIR/exchange_import/*)
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "fuzz/exchange_module.h"
#include "tools/exchange.h"
#include "tools/po.h"
#include "tools/xliff.h"

using namespace quintrel;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_exchange_seeds OUT_DIR\n";
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path out = fs::path(argv[1]) / "exchange_import";
  fs::create_directories(out);
  const fs::path scratch = out / "App.ZOD";
  module::TZod& zod = module::GlobalZOD();
  const int m = zod.NewModule(scratch.string());
  if (m < 0) {
    std::cerr << scratch.string() << ": cannot create\n";
    return 1;
  }
  fuzz::FillExchangeModule(m);
  const auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(out / name, std::ios::binary) << bytes;
  };
  for (const char* target : {"de", "ru"})
    for (const bool all : {false, true}) {
      tools::TExportOptions o;
      o.Base = fuzz::ExchangeLanguage("en");
      o.Target = fuzz::ExchangeLanguage(target);
      o.OnlyUntranslated = !all;
      o.ZodName = "App.ZOD";
      const std::string stem = std::string(target) + (all ? "-all" : "-untranslated");
      write(stem + ".txt", tools::ExportTextFile(zod, m, o));
      o.Unicode = true;
      write(stem + "-utf16.txt", tools::ExportTextFile(zod, m, o));
      o.MaxWidths[1] = 75;
      o.SourceFiles["MainForm"] = "Main.dfm";
      write(stem + ".xlf", tools::ExportXliff(zod, m, o));
      write(stem + ".po", tools::ExportPo(zod, m, "App.ZOD", o));
    }
  zod.UnRegisterModule(m, false);
  fs::remove(scratch);
  return 0;
}
