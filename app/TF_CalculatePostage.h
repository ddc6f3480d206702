// Calculate Postage: proposes the postage for a weight in ounces from the default values.
#pragma once

#include <QDialog>
#include <QWidget>

struct Settings;
class QLineEdit;
class QPushButton;
class QToolButton;

// Up and down arrows joined to a number field: they step the field's number, and the
// field's number, when it is one in range, is their position.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit* associate, int minimum, int maximum, QWidget* parent = nullptr);
    int position() const { return position_; }
    void step(int by);

private:
    void associateChanged(const QString& text);

    QLineEdit* associate_;
    int minimum_, maximum_, position_;
};

class TF_CalculatePostage : public QDialog {
    Q_OBJECT
public:
    explicit TF_CalculatePostage(const Settings& settings, QWidget* parent = nullptr);

    // After OK: the postage as number text, or empty when there is none to propose.
    QString result() const { return result_; }

    QLineEdit* editOunces = nullptr;
    TUpDown* UpDownOunces = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void btnOKClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const Settings& settings_;
    QString result_;
};
