#include "core/ServerSettings.h"

#include <QRegularExpression>

engine::ServerParams serverParams(const Settings& settings)
{
    engine::ServerParams params;
    params.host = settings.serverHost.trimmed().toStdString();
    params.port = settings.serverPort;
    params.database = settings.serverDatabase.trimmed().toStdString();
    params.user = settings.serverUser.trimmed().toStdString();
    params.sslmode = settings.serverSslMode == QLatin1String("require") ? "require" : "prefer";
    return params;
}

void setServerParams(Settings& settings, const engine::ServerParams& params)
{
    settings.serverHost = QString::fromStdString(params.host).trimmed();
    settings.serverPort = params.port;
    settings.serverDatabase = QString::fromStdString(params.database).trimmed();
    settings.serverUser = QString::fromStdString(params.user).trimmed();
    settings.serverSslMode = params.sslmode == "require" ? QStringLiteral("require") : QStringLiteral("prefer");
}

void settleServerSettings(Settings& settings)
{
    settings.sharedTables = settings.sharedTables.trimmed().compare(QLatin1String("Server"), Qt::CaseInsensitive) == 0
                                ? QStringLiteral("Server")
                                : QStringLiteral("Folder");
    settings.serverSslMode =
        settings.serverSslMode.trimmed().compare(QLatin1String("require"), Qt::CaseInsensitive) == 0
            ? QStringLiteral("require")
            : QStringLiteral("prefer");
    if (settings.serverPort < 1 || settings.serverPort > 65535)
        settings.serverPort = 5432;
    settings.serverHost = settings.serverHost.trimmed();
    settings.serverDatabase = settings.serverDatabase.trimmed();
    settings.serverUser = settings.serverUser.trimmed();
}

QString serverParamsProblem(const engine::ServerParams& params)
{
    const QString host = QString::fromStdString(params.host).trimmed();
    if (host.isEmpty())
        return QStringLiteral("Please enter the name or address of the database server.");
    if (host.contains(QRegularExpression(QStringLiteral("[\\s,]"))))
        return QStringLiteral("The server's name \"%1\" cannot hold blanks or commas.").arg(host);
    if (params.port < 1 || params.port > 65535)
        return QStringLiteral("The port of the database server is a number from 1 to 65535.");
    if (QString::fromStdString(params.database).trimmed().isEmpty())
        return QStringLiteral("Please enter the name of the database on the server.");
    if (params.sslmode != "prefer" && params.sslmode != "require")
        return QStringLiteral("The encryption setting \"%1\" is not known.")
            .arg(QString::fromStdString(params.sslmode));
    return {};
}

QString connectionMessage(const std::string& location, const engine::ServerConnectionCheck& check)
{
    if (!check.error.empty())
        return QString::fromStdString(check.error);
    return QStringLiteral("Connected to the database server %1 (PostgreSQL %2).")
        .arg(QString::fromStdString(engine::describeServer(location)), QString::fromStdString(check.version));
}

engine::ServerConnectionCheck
connectAskingPassword(const std::string& location,
                      const std::function<std::optional<QString>(const QString& reason)>& askPassword)
{
    engine::ServerConnectionCheck check = engine::checkServerConnection(location);
    for (int attempt = 0; attempt < 3 && check.needsPassword; ++attempt) {
        const std::optional<QString> password = askPassword(QString::fromStdString(check.error));
        if (!password || password->isEmpty())
            break;
        engine::setServerPassword(location, password->toStdString());
        check = engine::checkServerConnection(location);
        if (check.needsPassword)
            engine::setServerPassword(location, {}); // a refused one is not kept
    }
    return check;
}

QString folderOnlyRefusal(const Settings& settings, const QString& what)
{
    if (!settings.onServer())
        return QString();
    const QString server =
        QString::fromStdString(engine::describeServer(engine::serverLocation(serverParams(settings))));
    return QStringLiteral("The counter, the senders and the log are kept on the database server %1. %2 works on "
                          "tables kept in folders only, and would miss them.\n\nBack up the server with pg_dump, as "
                          "the README's office guide shows; to import an older log, set Network Settings to "
                          "Folder on a copy of the office's folder, import there, then use Move to Server.")
        .arg(server, what);
}
