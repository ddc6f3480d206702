#include "widgets/WindowGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QList<QRect> availableScreenAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    return areas;
}

WindowPlacement placementOf(const QWidget* window)
{
    return {window->normalGeometry(), window->isMaximized()};
}

bool restorePlacement(QWidget* window, const WindowPlacement& placement)
{
    if (placement.rect.isEmpty())
        return false;
    window->ensurePolished(); // the smallest size as the window will show
    const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
    const std::optional<QRect> rect = restoredRect(placement.rect, minimum, availableScreenAreas());
    if (rect) {
        window->setGeometry(*rect);
    } else {
        QSize size = placement.rect.size();
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            size = size.boundedTo(primary->availableGeometry().size());
        window->resize(size.expandedTo(minimum));
    }
    if (placement.maximized)
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    return rect.has_value();
}
