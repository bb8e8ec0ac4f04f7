// The memory editor at 1 MB: one refresh (scroll to the program counter) plus
// the synchronous repaint of the visible rows, as after every slow-run step,
// and a scroll through the dump.
// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "Machine.h"
#include "System_Memory.h"
#include "System_Settings.h"
#include "Virtual_Clock.h"
#include "Z180_CPU.h"

#include "Memory_Editor.h"
#include "Memory_Grid.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>

#include <filesystem>

namespace {
struct TBenchMachine {
  TBenchMachine() : file(std::filesystem::temp_directory_path() / "tess_memory_editor_bench.xml") {
    std::filesystem::remove(file);
    settings = std::make_unique<TSystemSettings>(file);
    settings->setReadOnly(true);
    settings->writeString("Memory", "RamSize", "1024KB");
    machine.configure(*settings);
    machine.memory().enableBootRom(true);
    for (uint32_t a = 0; a < 0x100000; ++a) machine.memory().writeByte(a, uint8_t(a * 7));
  }
  std::filesystem::path file;
  std::unique_ptr<TSystemSettings> settings;
  TVirtualClock clock;
  TMachine machine{clock};
};

void BM_RefreshAndRepaint1MB(benchmark::State& state) {
  TBenchMachine m;
  TMemoryEditor editor(m.machine, *m.settings);
  editor.show();
  // Painting into an image forces the paint event on any platform.
  QImage image(editor.grid()->viewport()->size(), QImage::Format_RGB32);
  TZ180Cpu& cpu = m.machine.cpu();
  cpu.CBAR = 0x10;
  uint32_t bank = 0;
  for (auto _ : state) {
    cpu.PC = uint16_t(0x1000 + (bank & 0x0FF0));
    cpu.CBR = uint8_t(bank >> 8);
    bank = (bank + 0x0130) & 0xFFFF;
    editor.refreshMemory();
    editor.grid()->viewport()->render(&image);
  }
  editor.close();
}
BENCHMARK(BM_RefreshAndRepaint1MB)->Unit(benchmark::kMicrosecond);

void BM_ScrollPage1MB(benchmark::State& state) {
  TBenchMachine m;
  TMemoryEditor editor(m.machine, *m.settings);
  editor.show();
  // Painting into an image forces the paint event on any platform.
  QImage image(editor.grid()->viewport()->size(), QImage::Format_RGB32);
  QScrollBar* bar = editor.grid()->verticalScrollBar();
  int value = 0;
  for (auto _ : state) {
    value = (value + 16) % (bar->maximum() + 1);
    bar->setValue(value);
    editor.grid()->viewport()->render(&image);
  }
  editor.close();
}
BENCHMARK(BM_ScrollPage1MB)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
