// A count typed beside up and down arrows ("UpDown1"), as the label dialogs ask for it. Only
// digits and editing keys reach the field; Enter goes on to the dialog's OK button. The
// arrows step within the limits. A blank field, or nought, is refused and set to "1"; a
// count above the maximum is refused with the dialog's own message and cleared.
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QPushButton;
class QWidget;

class CountField : public QObject {
    Q_OBJECT
public:
    // Makes the arrows beside field (the returned widget, "UpDown1") and filters its keys.
    // tooLarge: the refusal of a count above maximum; empty when the field cannot hold one.
    CountField(QLineEdit* field, QPushButton* ok, int maximum, const QString& tooLarge = QString());

    QWidget* upDown() const { return upDown_; }
    // Checks the field as leaving it does; false when refused (message shown, focus kept,
    // OK disabled).
    bool accept();
    void step(int by);
    int value() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* field_;
    QPushButton* ok_;
    QWidget* upDown_;
    int maximum_;
    QString tooLarge_;
};

extern const QString InvalidLabelCountMessage;
