// What the memory settings dialog loads and applies, without the widgets.
//
//   TMemorySettingsForm form;
//   TMemorySettingsValues shown = form.load(settings);   // on show: put into the controls
//   ...                                                  // the user edits the controls
//   form.apply(controls, settings, memory, editorHooks); // on close; may throw TFileError
#pragma once

#include "File_Error.h"

#include <functional>
#include <string>
#include <vector>

class TSystemSettings;
class TSystemMemory;

struct TMemorySettingsValues {
  std::string romSize;
  std::string ramSize;
  std::string romImageFile;
  bool reloadOnEnable = false;
  bool fullAddressDecode = true;
  bool operator==(const TMemorySettingsValues&) const = default;
};

// The open memory editor's refreshes; empty functions when it is closed.
struct TMemoryEditorHooks {
  std::function<void()> refreshMemory;
  std::function<void()> refreshMemoryLayout;
};

class TMemorySettingsForm {
 public:
  static const std::vector<std::string>& romSizes();  // "4KB" ... "32KB"
  static const std::vector<std::string>& ramSizes();  // "64KB" ... "1024KB"

  // Reads the store and remembers what it holds (sizes stripped); returns
  // what the controls show: the matching entries ignoring case, else
  // "8KB" and "64KB".
  TMemorySettingsValues load(const TSystemSettings& settings);
  // The "Reload" button: the image is loaded again when the dialog closes.
  void requestReload() { reloadRequested_ = true; }
  bool reloadRequested() const { return reloadRequested_; }

  // Applies, in this order and each only when it differs exactly from what
  // was remembered: ROM size, ROM image, RAM size, the reload flag, the
  // decoding flag, then the requested reload. Every applied step is
  // remembered, so a second close after a failure applies only the rest.
  // A ROM image that cannot be read throws TFileError before the store or
  // the memory is touched by that step, and the steps after it are not applied.
  void apply(const TMemorySettingsValues& shown, TSystemSettings& settings, TSystemMemory& memory,
             const TMemoryEditorHooks& editor = {});

  const TMemorySettingsValues& remembered() const { return remembered_; }

 private:
  TMemorySettingsValues remembered_;
  bool reloadRequested_ = false;
};
