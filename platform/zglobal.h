#pragma once

#include <QRect>

class QWidget;

// Screen geometry of the handset: a 240 by 320 screen with a title bar at the
// top and the soft-key bar at the bottom.
namespace ZGlobal {

constexpr int ScreenWidth = 240;
constexpr int ScreenHeight = 320;
constexpr int TitleHeight = 24;
constexpr int SoftKeyHeight = 30;

// The area between title bar and soft keys, in screen coordinates.
QRect getContentR(bool withTitle);
// The soft-key bar, in screen coordinates.
QRect getCstR();
// A screen rectangle mapped into the coordinates of widget's parent, ready
// for setGeometry(). A widget that is not yet placed keeps the rectangle.
QRect mapFromGlobalR(const QWidget *widget, const QRect &rect);

} // namespace ZGlobal
