// The main window's image list: 24 icons of 24 x 24 pixels, addressed by
// their index (menu, tool bar and drive lamps use the same pictures).
#pragma once

#include <QIcon>
#include <QPixmap>

namespace imagelist {
constexpr int Count = 24;
constexpr int IconSize = 24;

// An empty icon for an unused or invalid index.
QIcon icon(int index);
// The picture at 24 x 24 logical pixels for the given device pixel ratio.
QPixmap pixmap(int index, qreal devicePixelRatio = 1.0);
}  // namespace imagelist
