#include "log/TrackingPage.h"

#include <QUrlQuery>

QUrl TrackingPageUrl(const QString& mailerNumber)
{
    QString digits;
    for (const QChar c : mailerNumber)
        if (c.isDigit())
            digits += c;
    if (digits.isEmpty())
        return QUrl(QStringLiteral("https://tools.usps.com/go/TrackConfirmAction_input"));
    QUrl url(QStringLiteral("https://tools.usps.com/go/TrackConfirmAction"));
    QUrlQuery query;
    query.addQueryItem("tLabels", digits);
    url.setQuery(query);
    return url;
}
