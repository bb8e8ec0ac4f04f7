// What the floppy drive dialog loads and applies, without the widgets.
#pragma once

#include <array>
#include <string>
#include <vector>

class TSystemSettings;
class TSystemFdc;

// One drive as the dialog shows it: the four geometry texts and the image.
struct TFddSettingsValues {
  // "Sides", "Tracks", "Sectors", "SectorBytes", in this order.
  std::array<std::string, 4> geometry;
  std::string imageFile;
  bool operator==(const TFddSettingsValues&) const = default;
};

class TFddSettingsForm {
 public:
  static constexpr const char* kKeys[4] = {"Sides", "Tracks", "Sectors", "SectorBytes"};
  static constexpr const char* kDefaults[4] = {"2", "80", "9", "512"};
  // The entries of each geometry list.
  static const std::vector<std::string>& entries(int field);
  // tracks x sectors x bytes x sides / 1024 as "720KB".
  static std::string sizeText(const std::array<std::string, 4>& geometry);

  // Reads "Fdd0" and "Fdd1", remembers the stored texts and returns what the
  // lists show (the matching entry ignoring case, else the default).
  std::array<TFddSettingsValues, 2> load(const TSystemSettings& settings);
  // For drive 0, then drive 1: each geometry text and the image path that
  // differs exactly from the remembered one is written and handed to the
  // controller.
  void apply(const std::array<TFddSettingsValues, 2>& shown, TSystemSettings& settings, TSystemFdc& fdc);

  const std::array<TFddSettingsValues, 2>& remembered() const { return remembered_; }

 private:
  std::array<TFddSettingsValues, 2> remembered_;
};
