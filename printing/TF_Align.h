// "Printer Alignment": the two offsets that shift everything the form and label layouts
// print, in units of three printer dots.
#pragma once

#include <QDialog>

struct Settings;
class QPushButton;
class QSpinBox;

class TF_Align : public QDialog {
    Q_OBJECT
public:
    explicit TF_Align(const Settings& settings, QWidget* parent = nullptr);

    // Shows the dialog; OK stores both offsets in settings (from the next print on).
    static bool edit(Settings& settings, QWidget* parent = nullptr);

    QSpinBox* spinLeftRight = nullptr;
    QSpinBox* SpinUpDown = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
};
