// The postal service's tracking page, opened in the browser by Track Item.
#pragma once

#include <QString>
#include <QUrl>

// The tracking page; with a Mailer Number (grouped or not), the page for that mailer.
QUrl TrackingPageUrl(const QString& mailerNumber = QString());
