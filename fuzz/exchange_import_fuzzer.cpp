// libFuzzer target: the three exchange files a translator sends back (the text file, as
// 8-bit text and as UTF-16, XLIFF and PO), each imported into a fresh copy of a small module
// (fuzz/exchange_module.h). A reader refuses with one line naming the file or imports
// what matches; either way the module must pass the record database's check afterwards,
// and an import's report must account for each of its entries once.
#include <cstdint>
#include <functional>
#include <numeric>
#include <string>

#include "fuzz/exchange_module.h"
#include "fuzz/module_input.h"
#include "tools/exchange.h"
#include "tools/po.h"
#include "tools/xliff.h"

using namespace quintrel;

namespace {

fuzz::TModuleInput* input = nullptr;
std::string moduleBytes;

void Import(const std::string& fileName, const std::function<tools::TImportReport(int)>& import) {
  const int m = input->Open(reinterpret_cast<const uint8_t*>(moduleBytes.data()), moduleBytes.size());
  if (m < 0) fuzz::Finding("the pristine module did not open");
  tools::TImportReport report;
  bool imported = false;
  try {
    report = import(m);
    imported = true;
  } catch (const tools::EToolError& e) {
    if (e.Message().rfind(fileName + ":", 0) != 0) fuzz::Finding("refusal without the file's name: " + e.Message());
  }
  if (imported) {
    const int counted = std::accumulate(report.Counts.begin(), report.Counts.end(), 0);
    if (counted != static_cast<int>(report.Entries.size())) fuzz::Finding(fileName + ": counts and entries differ");
  }
  const auto findings = module::GlobalZOD().GetModuleInterface(m).Check();
  if (!findings.empty()) fuzz::Finding(fileName + ": the module fails its check after the import");
  fuzz::TModuleInput::CloseAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!input) {
    input = new fuzz::TModuleInput("App.ZOD");
    moduleBytes = fuzz::ExchangeModuleBytes();
  }
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // The options come from the input's length, so every seed is tried under each in turn
  // as the fuzzer grows and shrinks it.
  const bool comments = size & 1, emptyIsTranslation = size & 2;
  module::TZod& zod = module::GlobalZOD();
  for (const bool unicode : {false, true})
    Import("in.txt", [&](int m) {
      return tools::ImportTextFile(zod, m, "in.txt", bytes, {unicode, comments, emptyIsTranslation});
    });
  Import("in.xlf", [&](int m) { return tools::ImportXliff(zod, m, "in.xlf", bytes, {comments, emptyIsTranslation}); });
  Import("in.po", [&](int m) { return tools::ImportPo(zod, m, "in.po", bytes, {comments, emptyIsTranslation}); });
  return 0;
}
