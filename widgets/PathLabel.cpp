#include "widgets/PathLabel.h"

#include <QFontMetrics>

QString ShortenPathFromLeft(const QString& path, const QFontMetrics& metrics, int limit, int target)
{
    if (metrics.horizontalAdvance(path) <= limit)
        return path;
    QString text = path;
    while (metrics.horizontalAdvance(text) > target && text.contains('/'))
        text.remove(0, text.indexOf('/') + 1);
    return ".../" + text;
}
