// "Extra Label": whether the form's extra label (its upper right corner, meant for a postage
// label) carries an address, and which one.
#pragma once

#include <QDialog>

struct Settings;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

class TF_ExtraLabel : public QDialog {
    Q_OBJECT
public:
    explicit TF_ExtraLabel(const Settings& settings, QWidget* parent = nullptr);

    // Shows the dialog; OK stores the choice in settings.
    static bool edit(Settings& settings, QWidget* parent = nullptr);

    QGroupBox* rgExtraLabel = nullptr;
    QRadioButton* rbYes = nullptr;
    QRadioButton* rbNo = nullptr;
    QComboBox* cbExtraLabel = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void rgExtraLabelClick();
};

// The address stored for a typed text: "Your Name and Address" as it stands, anything else
// "Addressed To".
QString ExtraLabelAddressOf(const QString& typed);
