// Text extents: the glyph metrics of font files against the average-width model they
// replaced, on captions of the length forms carry. Reports widths measured per second.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/win32/gdi.h"

namespace {

using namespace quintrel::win32;

LOGFONTW Arial(LONG height) {
  LOGFONTW font;
  font.lfHeight = height;
  font.lfWeight = FW_NORMAL;
  SetFaceName(font, u"Arial");
  return font;
}

const std::vector<std::u16string>& Captions() {
  static const std::vector<std::u16string> captions = {
      u"&OK", u"Cancel", u"&Open file...", u"Save &as", u"Show hidden files and folders", u"Datei \u00f6ffnen",
      u"\u0421\u043e\u0445\u0440\u0430\u043d\u0438\u0442\u044c", u"Sample textSample textSample"};
  return captions;
}

template <SIZE (*Measure)(const LOGFONTW&, std::u16string_view)>
void Widths(benchmark::State& state, std::vector<std::u16string> texts) {
  const LOGFONTW font = Arial(-11);
  int64_t count = 0;
  for (auto _ : state)
    for (const std::u16string& text : texts) {
      benchmark::DoNotOptimize(Measure(font, text));
      ++count;
    }
  state.counters["widths/s"] = benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsRate);
}

void BM_FontFileCaptions(benchmark::State& state) { Widths<MeasureText>(state, Captions()); }
void BM_AverageModelCaptions(benchmark::State& state) { Widths<AverageMeasureText>(state, Captions()); }
void BM_FontFileShaped(benchmark::State& state) {
  Widths<MeasureText>(state, {u"\u0645\u0644\u0641 \u062c\u062f\u064a\u062f", u"\u05e7\u05d5\u05d1\u05e5 \u05d7\u05d3\u05e9",
                              u"\u0e44\u0e1f\u0e25\u0e4c\u0e43\u0e2b\u0e21\u0e48"});
}
BENCHMARK(BM_FontFileCaptions);
BENCHMARK(BM_AverageModelCaptions);
BENCHMARK(BM_FontFileShaped);

}  // namespace

BENCHMARK_MAIN();
