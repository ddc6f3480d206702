// The places where a person answers: message boxes and file dialogs. Each goes through one
// service so that tests can answer from a script and see what was asked.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

enum class MessageKind { Error, Information, Confirmation, Warning };

class MessageService {
public:
    // A modal box of the given kind; returns the button pressed.
    // defaultButton is the one Enter presses; none given, the box's own choice (Yes before No).
    static QMessageBox::StandardButton show(MessageKind kind, const QString& text, QMessageBox::StandardButtons buttons,
                                            QWidget* parent = nullptr,
                                            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static void error(const QString& text, QWidget* parent = nullptr);
    static void information(const QString& text, QWidget* parent = nullptr);
    static bool confirmYesNo(const QString& text, QWidget* parent = nullptr);
    static QMessageBox::StandardButton confirmYesNoCancel(const QString& text, QWidget* parent = nullptr,
                                                          QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // For tests: boxes are not shown; each is recorded and answered from the queue, or,
    // when the queue is empty, with OK where offered, else No, else Cancel.
    struct Shown {
        MessageKind kind;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };
    static void setScripted(bool scripted);
    static bool scripted();
    static void queueAnswer(QMessageBox::StandardButton answer);
    static QList<Shown> shown();
    static void clearShown();
};

class FileDialogService {
public:
    // Empty when cancelled.
    static QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                                const QString& presetName = QString());
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                                const QString& presetName = QString());
    // A file to be made, in any folder, under a name that may or may not exist already: a save
    // dialog that does not ask whether to replace an existing file.
    static QString newFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                               const QString& presetName = QString());
    static QString existingDirectory(QWidget* parent, const QString& caption, const QString& dir);

    // For tests: answered from the queue (an empty string cancels); each request recorded.
    struct Request {
        QString caption, dir, filter, presetName;
        bool asksToReplace = false; // a save dialog that asks before an existing file is chosen
    };
    static void setScripted(bool scripted);
    static void queueAnswer(const QString& path);
    static QList<Request> requests();
    static void clearRequests();
};
