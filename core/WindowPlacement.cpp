#include "core/WindowPlacement.h"

#include <algorithm>

std::optional<QRect> screenHolding(const QRect& rect, const QList<QRect>& availableScreens)
{
    if (rect.isEmpty())
        return std::nullopt;
    const QRect topEdge(rect.left(), rect.top(), rect.width(), std::min(kGripHeight, rect.height()));
    const int gripWidth = std::min(kGripWidth, rect.width());
    std::optional<QRect> best;
    qint64 bestArea = -1;
    for (const QRect& screen : availableScreens) {
        const QRect grip = topEdge.intersected(screen);
        if (grip.width() < gripWidth || grip.height() < topEdge.height())
            continue;
        const QRect shown = rect.intersected(screen);
        const qint64 area = qint64(shown.width()) * shown.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

std::optional<QRect> restoredRect(const QRect& remembered, const QSize& minimum, const QList<QRect>& availableScreens)
{
    const std::optional<QRect> screen = screenHolding(remembered, availableScreens);
    if (!screen)
        return std::nullopt;
    const QSize size = remembered.size().boundedTo(screen->size()).expandedTo(minimum);
    // A window larger than its screen (a minimum beyond it) keeps its top left corner on it.
    const int left = std::max(screen->left(), std::min(remembered.left(), screen->right() + 1 - size.width()));
    const int top = std::max(screen->top(), std::min(remembered.top(), screen->bottom() + 1 - size.height()));
    return QRect(QPoint(left, top), size);
}
