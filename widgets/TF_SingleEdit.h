// The one-line input dialog shared by the sender list, the address book and the log window
// (names of databases, groups and filters, search texts).
#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;

class TF_SingleEdit : public QDialog {
    Q_OBJECT
public:
    TF_SingleEdit(const QString& caption, const QString& prompt, const QString& text, QWidget* parent = nullptr);

    // Opens the dialog modally with the caller's caption, prompt and text. On OK the text
    // as typed (not trimmed) is put into text and true returned; Cancel leaves text alone.
    // maxLength, when above 0, limits the typed text to that many characters.
    static bool ask(const QString& caption, const QString& prompt, QString& text, QWidget* parent = nullptr,
                    int maxLength = 0);

    // "Find" / "Text to find" with the remembered search text; on OK the typed text becomes
    // the remembered one and true is returned.
    static bool askSearchText(QWidget* parent);

    QString text() const;

    QGroupBox* TheGroupBox = nullptr;
    QLineEdit* TheEdit = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    // Refuses a blank text and keeps the dialog open.
    void btnOKClick();
};
