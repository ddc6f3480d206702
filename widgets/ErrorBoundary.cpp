#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QString>
#include <new>

void showException(const std::exception& e)
{
    if (dynamic_cast<const std::bad_alloc*>(&e))
        MessageService::error(QStringLiteral("Out of memory"));
    else
        MessageService::error(QString::fromUtf8(e.what()));
}

bool guarded(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        showException(e);
    }
    return false;
}

DovraApplication::DovraApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool DovraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showException(e);
    }
    return false;
}
