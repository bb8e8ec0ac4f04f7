#include "Fdd_Settings_Form.h"

#include "Settings_Choice.h"
#include "System_Fdc.h"
#include "System_Settings.h"

namespace {
const char* section(int drive) { return drive == 0 ? "Fdd0" : "Fdd1"; }

int toInt(const std::string& text) {
  try {
    return std::stoi(text);
  } catch (...) {
    return 0;  // the controller falls back to its default
  }
}
}  // namespace

const std::vector<std::string>& TFddSettingsForm::entries(int field) {
  static const std::vector<std::string> lists[4] = {
      {"1", "2"}, {"40", "80"}, {"8", "9", "15", "18"}, {"128", "256", "512"}};
  return lists[field & 3];
}

std::string TFddSettingsForm::sizeText(const std::array<std::string, 4>& g) {
  const long long bytes = 1LL * toInt(g[0]) * toInt(g[1]) * toInt(g[2]) * toInt(g[3]);
  return std::to_string(bytes / 1024) + "KB";
}

std::array<TFddSettingsValues, 2> TFddSettingsForm::load(const TSystemSettings& settings) {
  std::array<TFddSettingsValues, 2> shown;
  for (int d = 0; d < 2; ++d) {
    for (int i = 0; i < 4; ++i) {
      remembered_[size_t(d)].geometry[size_t(i)] = settings.readString(section(d), kKeys[i], kDefaults[i]);
      shown[size_t(d)].geometry[size_t(i)] =
          selectChoice(entries(i), remembered_[size_t(d)].geometry[size_t(i)], kDefaults[i]);
    }
    remembered_[size_t(d)].imageFile = shown[size_t(d)].imageFile = settings.readString(section(d), "ImageFile", "");
  }
  return shown;
}

void TFddSettingsForm::apply(const std::array<TFddSettingsValues, 2>& shown, TSystemSettings& settings,
                             TSystemFdc& fdc) {
  for (int d = 0; d < 2; ++d) {
    TFddSettingsValues& r = remembered_[size_t(d)];
    const TFddSettingsValues& s = shown[size_t(d)];
    for (int i = 0; i < 4; ++i) {
      if (s.geometry[size_t(i)] == r.geometry[size_t(i)]) continue;
      settings.writeString(section(d), kKeys[i], s.geometry[size_t(i)]);
      const int value = toInt(s.geometry[size_t(i)]);
      switch (i) {
        case 0: fdc.setSides(d, value); break;
        case 1: fdc.setTracks(d, value); break;
        case 2: fdc.setSectors(d, value); break;
        default: fdc.setSectorBytes(d, value); break;
      }
      r.geometry[size_t(i)] = s.geometry[size_t(i)];
    }
    if (s.imageFile != r.imageFile) {
      settings.writeString(section(d), "ImageFile", s.imageFile);
      fdc.setImageFile(d, s.imageFile);
      r.imageFile = s.imageFile;
    }
  }
}
