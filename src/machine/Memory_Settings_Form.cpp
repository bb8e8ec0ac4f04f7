#include "Memory_Settings_Form.h"

#include "Settings_Choice.h"
#include "System_Memory.h"
#include "System_Settings.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {
constexpr const char* kSection = "Memory";

// Fails as loading the image would, before anything is changed: the file
// must open and its first bytes must read.
void checkReadable(const std::string& path) {
  if (path.empty()) return;  // an empty path zero-fills the ROM
  struct TCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  errno = 0;
  std::unique_ptr<std::FILE, TCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw TFileError::fromErrno(path, "Cannot open file");
  char byte = 0;
  (void)std::fread(&byte, 1, 1, file.get());
  if (std::ferror(file.get())) throw TFileError::fromErrno(path, "Cannot read file");
}
}  // namespace

const std::vector<std::string>& TMemorySettingsForm::romSizes() {
  static const std::vector<std::string> sizes{"4KB", "8KB", "16KB", "32KB"};
  return sizes;
}

const std::vector<std::string>& TMemorySettingsForm::ramSizes() {
  static const std::vector<std::string> sizes{"64KB", "128KB", "256KB", "512KB", "1024KB"};
  return sizes;
}

TMemorySettingsValues TMemorySettingsForm::load(const TSystemSettings& settings) {
  TMemorySettingsValues shown;
  remembered_.romSize = stripText(settings.readString(kSection, "RomSize", "8KB"));
  shown.romSize = selectChoice(romSizes(), remembered_.romSize, "8KB");
  remembered_.romImageFile = settings.readString(kSection, "RomImageFile", "");
  shown.romImageFile = remembered_.romImageFile;
  remembered_.ramSize = stripText(settings.readString(kSection, "RamSize", "64KB"));
  shown.ramSize = selectChoice(ramSizes(), remembered_.ramSize, "64KB");
  remembered_.reloadOnEnable = shown.reloadOnEnable = settings.readBoolean(kSection, "ReloadOnEnable", false);
  remembered_.fullAddressDecode = shown.fullAddressDecode = settings.readBoolean(kSection, "FullAdressDecode", true);
  reloadRequested_ = false;
  return shown;
}

void TMemorySettingsForm::apply(const TMemorySettingsValues& shown, TSystemSettings& settings, TSystemMemory& memory,
                                const TMemoryEditorHooks& editor) {
  auto call = [](const std::function<void()>& f) {
    if (f) f();
  };
  if (shown.romSize != remembered_.romSize) {
    settings.writeString(kSection, "RomSize", shown.romSize);
    memory.setRomSize(shown.romSize);
    remembered_.romSize = shown.romSize;
    call(editor.refreshMemoryLayout);
  }
  if (shown.romImageFile != remembered_.romImageFile) {
    checkReadable(shown.romImageFile);
    memory.setRomImageFile(shown.romImageFile);
    settings.writeString(kSection, "RomImageFile", shown.romImageFile);
    remembered_.romImageFile = shown.romImageFile;
    call(editor.refreshMemory);
  }
  if (shown.ramSize != remembered_.ramSize) {
    settings.writeString(kSection, "RamSize", shown.ramSize);
    memory.setRamSize(shown.ramSize);
    remembered_.ramSize = shown.ramSize;
    call(editor.refreshMemoryLayout);
  }
  if (shown.reloadOnEnable != remembered_.reloadOnEnable) {
    settings.writeBoolean(kSection, "ReloadOnEnable", shown.reloadOnEnable);
    memory.setReloadOnEnable(shown.reloadOnEnable);
    remembered_.reloadOnEnable = shown.reloadOnEnable;
  }
  if (shown.fullAddressDecode != remembered_.fullAddressDecode) {
    settings.writeBoolean(kSection, "FullAdressDecode", shown.fullAddressDecode);
    memory.setFullAddressDecode(shown.fullAddressDecode);
    remembered_.fullAddressDecode = shown.fullAddressDecode;
  }
  if (reloadRequested_) {
    reloadRequested_ = false;  // one press, one attempt
    memory.loadRomImage();
    call(editor.refreshMemory);
  }
}
