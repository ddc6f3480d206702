#include "widgets/ServerPassword.h"
#include "core/ServerSettings.h"
#include "widgets/BusyCursor.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>

namespace {

struct Script {
    bool scripted = false;
    QStringList answers;
    QStringList asked;
};

Script& script()
{
    static Script s;
    return s;
}

} // namespace

std::optional<QString> PasswordService::ask(const QString& text, QWidget* parent)
{
    if (script().scripted) {
        script().asked << text;
        if (script().answers.isEmpty())
            return std::nullopt;
        const QString answer = script().answers.takeFirst();
        return answer.isEmpty() ? std::nullopt : std::optional<QString>(answer);
    }
    // No hourglass over a box that waits for typing.
    const bool busy = QGuiApplication::overrideCursor() != nullptr;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    bool ok = false;
    const QString password =
        QInputDialog::getText(parent, QStringLiteral("Database Server Password"), text, QLineEdit::Password, {}, &ok);
    if (busy)
        QGuiApplication::restoreOverrideCursor();
    if (!ok || password.isEmpty())
        return std::nullopt;
    return password;
}

void PasswordService::setScripted(bool scripted)
{
    script().scripted = scripted;
}

void PasswordService::queueAnswer(const QString& password)
{
    script().answers << password;
}

QStringList PasswordService::asked()
{
    return script().asked;
}

void PasswordService::clear()
{
    script().answers.clear();
    script().asked.clear();
}

engine::ServerConnectionCheck connectToServer(const std::string& location, QWidget* parent)
{
    BusyCursor busy;
    const QString server = QString::fromStdString(engine::describeServer(location));
    return connectAskingPassword(location, [&](const QString& reason) {
        return PasswordService::ask(QStringLiteral("The database server %1 asks for a password (%2).\n\n"
                                                   "Password of the user on that server:")
                                        .arg(server, reason),
                                    parent);
    });
}

void connectAtStart(const Settings& settings, QWidget* parent)
{
    if (settings.onServer())
        connectToServer(settings.mailerNumLocation().toStdString(), parent);
}
