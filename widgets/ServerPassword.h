// The password of the database server, asked for when the server wants one that ~/.pgpass and
// the PG* environment do not give. It is kept in memory for the session only, never written.
#pragma once

#include "core/Settings.h"
#include "engine/Server.h"

#include <QList>
#include <QString>
#include <optional>

class QWidget;

class PasswordService {
public:
    // A modal password box ("Database Server Password"); nothing when cancelled.
    static std::optional<QString> ask(const QString& text, QWidget* parent = nullptr);

    // For tests: not shown; each text recorded and answered from the queue (an empty answer
    // cancels; an empty queue cancels).
    static void setScripted(bool scripted);
    static void queueAnswer(const QString& password);
    static QStringList asked();
    static void clear();
};

// Connects to the server of location, asking for its password when the server wants one no
// one has given; the answer is kept for the session. Returns what the connection found.
engine::ServerConnectionCheck connectToServer(const std::string& location, QWidget* parent = nullptr);

// At start, with the shared tables on a server: connects once, asking for the password when
// needed, so that the tables open without asking again.
void connectAtStart(const Settings& settings, QWidget* parent = nullptr);
