// A modal message with caller-given buttons, for the questions that are not Yes/No/Cancel
// ("&Never Print again", "&Do not show this screen again").
#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QLabel;
class QPushButton;

// Shows the dialog and returns the 1-based position of the pressed button in captions;
// closing the window without a button (Escape) returns 2.
int ButtonDialog(const QString& title, const QString& message, const QStringList& captions, QWidget* parent = nullptr);

// For tests: the dialog is not shown; each one is recorded and answered from the queue,
// or with 2 (closed without a button) when the queue is empty. Scripted message boxes
// (MessageService) script this dialog too, so a test never meets a real one by surprise.
class ButtonDialogService {
public:
    struct Shown {
        QString title, message;
        QStringList captions;
    };
    static void setScripted(bool scripted);
    static bool scripted();
    static void queueAnswer(int answer);
    static QList<Shown> shown();
};

class TButtonDialog : public QDialog {
    Q_OBJECT
public:
    TButtonDialog(const QString& title, const QString& message, const QStringList& captions, QWidget* parent = nullptr);

    // Runs modally; the pressed button's position, or 2 when closed otherwise.
    int run();

    QLabel* lblMessage = nullptr;
    QList<QPushButton*> buttons; // in caption order; the first is the rightmost
};
