// Cost of one full terminal repaint: all 1920 cells copied from the glyph
// cache into an off-screen surface, as every 50 ms repaint tick does. The
// "allocs" counter is the number of heap allocations per repaint (0 expected
// once the cache holds the screen's cells).
#include "System_Terminal.h"
#include "Terminal_View.h"
#include "Virtual_Clock.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <new>
#include <string>

namespace {
long allocations = 0;
}

void* operator new(std::size_t n) {
  ++allocations;
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// A busy screen: every cell printable, colours and styles changing along
// each row, so runs of equal cells are short.
void fillScreen(TSystemTerminal& t) {
  const char* sgr[] = {"0", "1", "4", "5", "31", "42", "34", "43", "0", "36", "41", "37", "44"};
  int k = 0;
  for (int i = 0; i < TSystemTerminal::Cells - 1; ++i) {
    if (i % 7 == 0) {
      const std::string seq = std::string("\x1b[") + sgr[k++ % 13] + "m";
      for (char c : seq) t.writeChar(uint8_t(c));
    }
    t.writeChar(uint8_t(0x21 + (i * 7) % 94));
  }
}

void repaint(benchmark::State& state, qreal dpr, bool blank) {
  TVirtualClock clock;
  TSystemTerminal terminal(clock);
  if (!blank) fillScreen(terminal);
  TTerminalView view;
  view.setRenderScale(dpr);
  QImage surface = TTerminalView::makeSurface(dpr);
  view.renderScreen(terminal, surface);  // warm the cache
  const long before = allocations;
  for (auto _ : state) {
    view.renderScreen(terminal, surface);
    benchmark::DoNotOptimize(surface.constBits());
    benchmark::ClobberMemory();
  }
  state.counters["allocs"] = benchmark::Counter(double(allocations - before), benchmark::Counter::kAvgIterations);
  state.counters["tiles"] = view.cachedTiles();
}

void BM_RepaintBusyScreen(benchmark::State& s) { repaint(s, 1.0, false); }
void BM_RepaintBusyScreen2x(benchmark::State& s) { repaint(s, 2.0, false); }
void BM_RepaintBlankScreen(benchmark::State& s) { repaint(s, 1.0, true); }

// The cold case: a new cache renders every distinct cell with QPainter
// (what the first repaint after start or a change of screen density costs).
void BM_RepaintColdCache(benchmark::State& state) {
  TVirtualClock clock;
  TSystemTerminal terminal(clock);
  fillScreen(terminal);
  TTerminalView view;
  QImage surface = TTerminalView::makeSurface(1.0);
  qreal flip = 1.0;
  for (auto _ : state) {
    flip = flip == 1.0 ? 1.0000001 : 1.0;  // a different scale drops the cache
    view.setRenderScale(flip);
    view.renderScreen(terminal, surface);
  }
}

BENCHMARK(BM_RepaintBusyScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintBusyScreen2x)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintBlankScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintColdCache)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
