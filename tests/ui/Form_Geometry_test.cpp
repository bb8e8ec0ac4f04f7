// The Qt side of window geometry: bounds and state as the settings store sees
// them, and a round trip through the store.
#include "Form_Geometry.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <filesystem>

TEST(FormGeometry, RoundTripThroughTheStore) {
  const auto file = std::filesystem::temp_directory_path() / "tess_form_geometry_test.xml";
  std::filesystem::remove(file);
  {
    TSystemSettings settings(file);
    QWidget w;
    w.setGeometry(120, 80, 300, 200);
    TWidgetGeometry g(w, "TestWindow");
    EXPECT_EQ(g.windowState(), TFormGeometry::stateNormal);
    settings.saveFormState(g);

    QWidget other;
    TWidgetGeometry h(other, "TestWindow");
    settings.restoreFormState(h);
    EXPECT_EQ(h.bounds(), (TFormBounds{120, 80, 300, 200}));
  }
  std::filesystem::remove(file);
}
