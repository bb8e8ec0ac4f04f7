// The emulated machine as a whole: exactly one of each of its five objects,
// created in the board's order (memory, floppy controller, I/O decoder,
// processor, terminal), configured from the settings as at start-up, and
// destroyed in the order processor, I/O decoder, floppy controller, memory,
// terminal. The main window and the headless runner both build the machine
// through this class.
//
// Typical use:
//   TVirtualClock clock;                 // or the GUI's QTimer factory
//   TMachine machine(clock);
//   for (auto& e : machine.configure(settings, &lamp0, &lamp1)) report(e);
//   machine.cpu().step(35000);
#pragma once

#include "File_Error.h"
#include "Machine_Context.h"
#include "Timer.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TSystemSettings;
class TDriveLamp;
class TSystemMemory;
class TSystemFdc;
class TSystemInOut;
class TZ180Cpu;
class TSystemTerminal;

class TMachine {
public:
  explicit TMachine(TTimerFactory& timers);
  ~TMachine();
  TMachine(const TMachine&) = delete;
  TMachine& operator=(const TMachine&) = delete;

  // Applies the stored settings in the start-up order: memory (sizes, flags,
  // ROM image), terminal options, drive 0, drive 1. A configured ROM or
  // floppy image that no longer exists is not an error: its setting is
  // cleared and the machine starts without it. Errors (a ROM image that
  // exists but cannot be read, an image that cannot be opened for writing)
  // are collected and returned; the remaining steps are carried out anyway.
  std::vector<TFileError> configure(TSystemSettings& settings, TDriveLamp* lamp0 = nullptr,
                                    TDriveLamp* lamp1 = nullptr);

  // The board's Reset: processor, terminal, then the boot ROM switched on or
  // off by bootRomAtReset. Throws TFileError when switching the ROM on
  // reloads an image that cannot be read (the reset itself has happened).
  void reset();

  // Loads a raw binary into RAM at physical 0; the boot ROM goes off and
  // stays off at Reset. Throws TFileError for an unreadable file.
  bool loadFileToRam(const std::string& path);

  // The first error the terminal or the floppy controller recorded while the
  // processor ran (log file, image file), if any.
  std::optional<TFileError> takePendingError();

  TSystemMemory& memory() { return *memory_; }
  TSystemFdc& fdc() { return *fdc_; }
  TSystemInOut& inOut() { return *inOut_; }
  TZ180Cpu& cpu() { return *cpu_; }
  TSystemTerminal& terminal() { return *terminal_; }
  const TMachineContext& context() const { return context_; }

  // Whether Reset switches the boot ROM on: true exactly when the last ROM
  // image load succeeded; false after a binary was loaded into RAM.
  bool bootRomAtReset = false;

private:
  TMachineContext context_;
  std::unique_ptr<TSystemMemory> memory_;
  std::unique_ptr<TSystemFdc> fdc_;
  std::unique_ptr<TSystemInOut> inOut_;
  std::unique_ptr<TZ180Cpu> cpu_;
  std::unique_ptr<TSystemTerminal> terminal_;
};
