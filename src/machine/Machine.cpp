#include "Machine.h"

#include "System_Fdc.h"
#include "System_InOut.h"
#include "System_Memory.h"
#include "System_Settings.h"
#include "System_Terminal.h"
#include "Z180_CPU.h"

#include <filesystem>
#include <system_error>

namespace {

// The missing-file rule: a configured path that names no existing file is
// cleared in the settings, and the empty path is used instead.
std::string existingOrCleared(TSystemSettings& settings, const char* section, const char* key) {
  std::string path = settings.readString(section, key, "");
  if (path.empty()) return path;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    settings.writeString(section, key, "");
    path.clear();
  }
  return path;
}

}  // namespace

TMachine::TMachine(TTimerFactory& timers) {
  memory_ = std::make_unique<TSystemMemory>();
  context_.memory = memory_.get();
  fdc_ = std::make_unique<TSystemFdc>(timers);
  context_.fdc = fdc_.get();
  inOut_ = std::make_unique<TSystemInOut>(context_);
  context_.inOut = inOut_.get();
  cpu_ = std::make_unique<TZ180Cpu>(*memory_, *inOut_);
  context_.cpu = cpu_.get();
  terminal_ = std::make_unique<TSystemTerminal>(timers);
  context_.terminal = terminal_.get();
}

TMachine::~TMachine() {
  context_.cpu = nullptr;
  cpu_.reset();
  context_.inOut = nullptr;
  inOut_.reset();
  context_.fdc = nullptr;
  fdc_.reset();
  context_.memory = nullptr;
  memory_.reset();
  context_.terminal = nullptr;
  terminal_.reset();
}

std::vector<TFileError> TMachine::configure(TSystemSettings& settings, TDriveLamp* lamp0, TDriveLamp* lamp1) {
  std::vector<TFileError> errors;

  // Memory.
  memory_->setRomSize(settings.readString("Memory", "RomSize", "8KB"));
  memory_->setRamSize(settings.readString("Memory", "RamSize", "64KB"));
  memory_->setReloadOnEnable(settings.readBoolean("Memory", "ReloadOnEnable", false));
  memory_->setFullAddressDecode(settings.readBoolean("Memory", "FullAdressDecode", true));
  const std::string rom = existingOrCleared(settings, "Memory", "RomImageFile");
  try {
    memory_->setRomImageFile(rom);
  } catch (const TFileError& e) {
    errors.push_back(e);
  }
  bootRomAtReset = memory_->getLastLoadOk();

  // Terminal.
  terminal_->setUseCrLf(settings.readBoolean("Terminal", "UseCRLF", false));
  terminal_->setLocalEcho(settings.readBoolean("Terminal", "LocalEcho", false));
  terminal_->setLogging(settings.readBoolean("Terminal", "Loggin", false));

  // Floppy drives.
  TDriveLamp* lamps[2] = {lamp0, lamp1};
  for (int drive = 0; drive < 2; ++drive) {
    const std::string section = drive == 0 ? "Fdd0" : "Fdd1";
    fdc_->setLamp(drive, lamps[drive]);
    fdc_->setSides(drive, settings.readInteger(section, "Sides", 2));
    fdc_->setTracks(drive, settings.readInteger(section, "Tracks", 80));
    fdc_->setSectors(drive, settings.readInteger(section, "Sectors", 9));
    fdc_->setSectorBytes(drive, settings.readInteger(section, "SectorBytes", 512));
    const std::string image = existingOrCleared(settings, section.c_str(), "ImageFile");
    if (!fdc_->setImageFile(drive, image) && !image.empty())
      errors.emplace_back(image, "Cannot open the disk image for reading and writing");
  }
  return errors;
}

void TMachine::reset() {
  cpu_->reset();
  terminal_->resetTerminal();
  memory_->enableBootRom(bootRomAtReset);
}

bool TMachine::loadFileToRam(const std::string& path) {
  const bool ok = memory_->loadFileToRam(path);
  bootRomAtReset = false;
  return ok;
}

std::optional<TFileError> TMachine::takePendingError() {
  if (auto e = terminal_->takePendingError()) return e;
  return fdc_->takePendingError();
}
