#include "Form_Geometry.h"

#include <QWidget>

namespace {
TFormBounds toBounds(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }
}  // namespace

// Qt keeps a minimized or maximized window's normal rectangle itself:
// geometry() of a minimized window is still the rectangle it returns to.
TFormBounds TWidgetGeometry::bounds() const { return toBounds(widget_.geometry()); }

TFormBounds TWidgetGeometry::normalBounds() const {
  const QRect normal = widget_.normalGeometry();
  return toBounds(normal.isValid() ? normal : widget_.geometry());
}

int TWidgetGeometry::windowState() const {
  if (widget_.isMinimized()) return stateMinimized;
  if (widget_.isMaximized()) return stateMaximized;
  return stateNormal;
}

void TWidgetGeometry::applyGeometry(int state, const TFormBounds& b) {
  widget_.setWindowState(widget_.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
  if (b.width > 0 && b.height > 0) {
    widget_.setGeometry(b.left, b.top, b.width, b.height);
  } else {
    widget_.move(b.left, b.top);
  }
  if (state == stateMaximized) widget_.setWindowState(widget_.windowState() | Qt::WindowMaximized);
}
