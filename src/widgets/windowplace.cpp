#include "src/widgets/windowplace.h"

#include <algorithm>
#include <limits>

namespace {

// Enough of the title bar to take hold of: a window narrower than this
// must show its whole title bar.
constexpr int kGrabWidth = 64;

// Squared distance from a point to a rectangle (0 inside it).
long long DistanceSquared(const QPoint &point, const QRect &rect)
{
    const long long dx = std::max({rect.left() - point.x(), 0, point.x() - rect.right()});
    const long long dy = std::max({rect.top() - point.y(), 0, point.y() - rect.bottom()});
    return dx * dx + dy * dy;
}

// The position along one axis that brings [start, start + length) into
// [low, high], the low end winning when it does not fit.
int Clamp(int start, int length, int low, int high)
{
    return std::max(low, std::min(start, high - length + 1));
}

}  // namespace

bool TitleBarReachable(const QRect &frame, const QList<QRect> &screens)
{
    const QRect titleBar(frame.topLeft(), QSize(frame.width(), std::min(kTitleBarHeight, frame.height())));
    const int needed = std::min(kGrabWidth, titleBar.width());
    for (const QRect &screen : screens) {
        const QRect shown = titleBar.intersected(screen);
        if (shown.height() == titleBar.height() && shown.width() >= needed)
            return true;
    }
    return false;
}

QPoint PlaceOnScreens(const QRect &frame, const QList<QRect> &screens)
{
    if (screens.isEmpty() || TitleBarReachable(frame, screens))
        return frame.topLeft();
    const QRect *nearest = nullptr;
    long long best = std::numeric_limits<long long>::max();
    for (const QRect &screen : screens) {
        const long long distance = DistanceSquared(frame.center(), screen);
        if (distance < best) {
            best = distance;
            nearest = &screen;
        }
    }
    return QPoint(Clamp(frame.left(), frame.width(), nearest->left(), nearest->right()),
                  Clamp(frame.top(), frame.height(), nearest->top(), nearest->bottom()));
}
