// tessaline-run: runs the board without a window.
//
// The machine is built exactly as the program builds it at start-up, from
// "Quorvex.xml" in the working directory (defaults when it is absent; the
// runner never writes it), then the options are applied. The processor runs
// in slices of 35000 steps like the Run command; between slices the timers
// (floppy controller, terminal) are served on a virtual clock advancing 2 ms
// per slice, so the same inputs always give the same output byte for byte.
// Every byte the program sends to the terminal is copied to standard output.
//
// Exit codes: 0 stopped as asked, 3 --steps ran out while --until-halt was
// still waiting, 2 bad arguments or a file that cannot be used.
#include "Machine.h"
#include "Run_Control.h"
#include "Runner_Options.h"
#include "System_Fdc.h"
#include "System_InOut.h"
#include "System_Memory.h"
#include "System_Settings.h"
#include "System_Terminal.h"
#include "Virtual_Clock.h"
#include "Z180_CPU.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#ifndef TESSALINE_VERSION
#define TESSALINE_VERSION "unknown"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBadInput = 2;
constexpr int kExitStepsRanOut = 3;

struct TOptions {
  std::string rom, romSize, ramSize, load, fdd0, fdd1;
  std::vector<std::string> inputs;
  std::string inputFile;
  uint64_t stepLimit = 0;
  std::optional<uint64_t> steps;  // set when --steps was given
  bool untilHalt = false;
  bool realtime = false;
  bool screen = false;
  bool regs = false;
  std::vector<std::string> peeks;
  bool stats = false;
};

int fail(const std::string& message) {
  std::fprintf(stderr, "tessaline-run: %s\n", message.c_str());
  return kExitBadInput;
}

bool isRomSizeText(const std::string& t) { return t == "4KB" || t == "8KB" || t == "16KB" || t == "32KB"; }
bool isRamSizeText(const std::string& t) {
  return t == "64KB" || t == "128KB" || t == "256KB" || t == "512KB" || t == "1024KB";
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, std::string& error) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": " + (errno != 0 ? std::strerror(errno) : "cannot open file");
    return std::nullopt;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": cannot read file";
    return std::nullopt;
  }
  return bytes;
}

std::string hex4(uint16_t v) {
  char t[8];
  std::snprintf(t, sizeof t, "%04X", v);
  return t;
}
std::string hex2(uint8_t v) {
  char t[4];
  std::snprintf(t, sizeof t, "%02X", v);
  return t;
}

std::string registerLine(const TZ180Cpu& cpu) {
  std::string s;
  s += "AF=" + hex4(cpu.AF.w) + " BC=" + hex4(cpu.BC.w) + " DE=" + hex4(cpu.DE.w) + " HL=" + hex4(cpu.HL.w);
  s += " AF'=" + hex4(cpu.AF_.w) + " BC'=" + hex4(cpu.BC_.w) + " DE'=" + hex4(cpu.DE_.w) + " HL'=" + hex4(cpu.HL_.w);
  s += " IX=" + hex4(cpu.IX) + " IY=" + hex4(cpu.IY) + " SP=" + hex4(cpu.SP) + " PC=" + hex4(cpu.PC);
  s += " I=" + hex2(cpu.I) + " R=" + hex2(cpu.R);
  s += std::string(" IFF1=") + (cpu.IFF1 ? "1" : "0") + " IFF2=" + (cpu.IFF2 ? "1" : "0");
  return s;
}

std::string screenText(const TSystemTerminal& terminal) {
  std::string out;
  const auto& chars = terminal.getScreenChars();
  for (int row = 1; row <= TSystemTerminal::Rows; ++row) {
    std::string line(chars.begin() + TSystemTerminal::cellIndex(row, 1),
                     chars.begin() + TSystemTerminal::cellIndex(row, 1) + TSystemTerminal::Cols);
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + '\n';
  }
  return out;
}

// The processor stays put for good: halted or asleep with interrupts off.
bool stoppedForGood(const TZ180Cpu& cpu) { return (cpu.halted || cpu.sleeping) && !cpu.IFF1; }

// Channel 0 still has a character to shift out to the terminal.
bool consoleBusy(const TZ180Cpu& cpu) {
  return (cpu.CNTLA[0] & 0x20) && (!cpu.asciTsrEmpty[0] || !(cpu.STAT[0] & 0x02));
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  CLI::App app{"Runs the Tessaline Z180 board without a window. The machine is built from \"Quorvex.xml\" in "
               "the working directory (never written), then the options apply. Bytes the program sends to "
               "the console appear on standard output. Exit codes: 0 stopped as asked, 3 --steps ran out while "
               "--until-halt was waiting, 2 bad arguments or unusable files.",
               "tessaline-run"};
  app.option_defaults()->always_capture_default(false);
  app.add_option("--rom", o.rom, "Boot ROM image (raw bytes); loads it and switches the boot ROM on")
      ->type_name("FILE");
  app.add_option("--rom-size", o.romSize, "ROM size: 4KB, 8KB, 16KB or 32KB")->type_name("TEXT");
  app.add_option("--ram-size", o.ramSize, "RAM size: 64KB, 128KB, 256KB, 512KB or 1024KB")->type_name("TEXT");
  app.add_option("--load", o.load, "Raw binary loaded into RAM at physical 0; switches the boot ROM off")
      ->type_name("FILE");
  app.add_option("--fdd0", o.fdd0, "Disk image for drive 0")->type_name("IMG");
  app.add_option("--fdd1", o.fdd1, "Disk image for drive 1")->type_name("IMG");
  app.add_option("--input", o.inputs, "Bytes typed at the start, with C escapes (\\r \\n \\e \\xNN ...)")
      ->type_name("TEXT");
  app.add_option("--input-file", o.inputFile, "File whose bytes are typed at the start")->type_name("FILE");
  CLI::Option* stepsOption = app.add_option("--steps", o.stepLimit, "Stop after N steps")->type_name("N");
  app.add_flag("--until-halt", o.untilHalt,
               "Stop once the processor is halted or asleep with interrupts disabled (after the console has "
               "shifted out its last character)");
  app.add_flag("--realtime", o.realtime, "Serve the timers on the wall clock instead of 2 ms per slice");
  app.add_flag("--screen", o.screen, "Print the 24 screen rows at the end");
  app.add_flag("--regs", o.regs, "Print the core registers at the end");
  app.add_option("--peek", o.peeks, "Hex dump of physical memory at the end (hex address, length)")
      ->type_name("ADDR:LEN");
  app.add_flag("--stats", o.stats, "Print steps, clock cycles, time and speed to standard error");
  app.set_version_flag("--version", std::string("tessaline-run ") + TESSALINE_VERSION);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return fail(e.what());
  }
  if (stepsOption->count() > 0) o.steps = o.stepLimit;

  if (!o.romSize.empty() && !isRomSizeText(o.romSize)) return fail("--rom-size: not a ROM size: " + o.romSize);
  if (!o.ramSize.empty() && !isRamSizeText(o.ramSize)) return fail("--ram-size: not a RAM size: " + o.ramSize);
  std::vector<runner::TPeek> peeks;
  for (const std::string& p : o.peeks) {
    std::optional<runner::TPeek> peek = runner::parsePeek(p);
    if (!peek) return fail("--peek: expected ADDR:LEN inside the 1 MB physical space: " + p);
    peeks.push_back(*peek);
  }
  std::vector<uint8_t> typed;
  for (const std::string& text : o.inputs) {
    std::optional<std::vector<uint8_t>> bytes = runner::decodeEscapes(text);
    if (!bytes) return fail("--input: malformed escape in: " + text);
    typed.insert(typed.end(), bytes->begin(), bytes->end());
  }
  if (!o.inputFile.empty()) {
    std::string error;
    std::optional<std::vector<uint8_t>> bytes = readWholeFile(o.inputFile, error);
    if (!bytes) return fail(error);
    typed.insert(typed.end(), bytes->begin(), bytes->end());
  }

  // The machine, as at start-up.
  TSystemSettings settings;
  settings.setReadOnly(true);
  if (settings.loadError()) std::fprintf(stderr, "tessaline-run: %s (using defaults)\n", settings.loadError()->c_str());
  TVirtualClock clock;
  TMachine machine(clock);
  const std::vector<TFileError> configErrors = machine.configure(settings);
  if (!configErrors.empty()) return fail(configErrors.front().what());

  // The options, on top.
  try {
    if (!o.romSize.empty()) machine.memory().setRomSize(o.romSize);
    if (!o.ramSize.empty()) machine.memory().setRamSize(o.ramSize);
    if (!o.rom.empty()) machine.bootRomAtReset = machine.memory().setRomImageFile(o.rom);
    if (!o.load.empty()) machine.loadFileToRam(o.load);
  } catch (const TFileError& e) {
    return fail(e.what());
  }
  const std::string* images[2] = {&o.fdd0, &o.fdd1};
  for (int drive = 0; drive < 2; ++drive) {
    if (images[drive]->empty()) continue;
    if (!machine.fdc().setImageFile(drive, *images[drive]))
      return fail(*images[drive] + ": cannot open the disk image for reading and writing");
  }
  for (uint8_t b : typed) machine.terminal().keyQueue.push_back(b);

  std::string output;
  machine.inOut().setSendTap([&output](uint8_t b) { output.push_back(char(b)); });
  auto flushOutput = [&output] {
    if (output.empty()) return;
    std::fwrite(output.data(), 1, output.size(), stdout);
    std::fflush(stdout);
    output.clear();
  };

  TZ180Cpu& cpu = machine.cpu();
  const auto wallStart = std::chrono::steady_clock::now();
  auto lastServe = wallStart;
  const uint64_t clocksBefore = cpu.elapsedClocks;
  uint64_t executed = 0;
  uint64_t sinceServe = 0;  // steps since the timers were last served
  int exitCode = kExitOk;

  auto serveTimers = [&] {
    if (o.realtime) {
      const auto now = std::chrono::steady_clock::now();
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastServe).count();
      if (ms > 0) {
        clock.advance(uint64_t(ms));
        lastServe += std::chrono::milliseconds(ms);
      }
    } else {
      clock.advance(TRunControl::RunInterval);
    }
  };
  // Runs n steps (n <= one slice), serving the timers at every slice boundary.
  auto runSteps = [&](uint64_t n) -> bool {
    cpu.step(uint32_t(n));
    executed += n;
    sinceServe += n;
    if (sinceServe >= TRunControl::SliceSteps) {
      sinceServe -= TRunControl::SliceSteps;
      flushOutput();
      serveTimers();
    }
    if (std::optional<TFileError> e = machine.takePendingError()) {
      flushOutput();
      fail(e->what());
      return false;
    }
    return true;
  };

  // With --until-halt, run in small chunks so the stop comes promptly.
  const uint64_t chunk = o.untilHalt ? 1000 : TRunControl::SliceSteps;
  bool halted = false;
  for (;;) {
    if (o.untilHalt && stoppedForGood(cpu)) {
      halted = true;
      break;
    }
    if (o.steps && executed >= *o.steps) break;
    uint64_t n = std::min<uint64_t>(chunk, TRunControl::SliceSteps - sinceServe);
    if (o.steps) n = std::min<uint64_t>(n, *o.steps - executed);
    if (!runSteps(n)) return kExitBadInput;
  }
  if (halted) {
    // Let the console shift out what the program handed it before halting.
    for (int i = 0; i < 10000 && consoleBusy(cpu); ++i) {
      uint64_t n = 100;
      if (o.steps) n = std::min<uint64_t>(n, *o.steps - executed);
      if (n == 0) break;
      if (!runSteps(n)) return kExitBadInput;
    }
  } else if (o.untilHalt) {
    exitCode = kExitStepsRanOut;
  }
  flushOutput();

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  const uint64_t clocks = cpu.elapsedClocks - clocksBefore;

  if (o.screen) std::fputs(screenText(machine.terminal()).c_str(), stdout);
  if (o.regs) std::printf("%s\n", registerLine(cpu).c_str());
  for (const runner::TPeek& p : peeks) {
    std::vector<uint8_t> bytes(p.length);
    for (uint32_t i = 0; i < p.length; ++i) bytes[i] = machine.memory().readByte(p.address + i);
    std::fputs(runner::hexDump(p.address, bytes).c_str(), stdout);
  }
  std::fflush(stdout);
  if (o.stats) {
    std::fprintf(stderr, "steps=%llu clocks=%llu seconds=%.3f steps/s=%.0f MHz=%.1f\n", (unsigned long long)executed,
                 (unsigned long long)clocks, seconds, seconds > 0 ? double(executed) / seconds : 0.0,
                 seconds > 0 ? double(clocks) / seconds / 1e6 : 0.0);
  }
  return exitCode;
}
