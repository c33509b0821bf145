// Where a top-level window goes back to at start: its stored frame, unless
// that lies off every screen (a monitor unplugged, a smaller resolution),
// in which case it moves onto the nearest screen. No widget here; the main
// window hands in the screens' available areas.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

// The top strip of a frame that stands for its title bar: the user moves
// the window by it, so it must stay reachable.
constexpr int kTitleBarHeight = 24;

// True when enough of frame's title bar lies on one of the screens to take
// hold of it with the mouse.
bool TitleBarReachable(const QRect &frame, const QList<QRect> &screens);

// The top-left corner to put frame at: its own when its title bar is
// reachable; else the nearest screen's corner closest to it that keeps the
// whole frame (or at least its top-left part, when the frame is larger
// than the screen) on that screen. With no screen at all, frame's own.
QPoint PlaceOnScreens(const QRect &frame, const QList<QRect> &screens);
