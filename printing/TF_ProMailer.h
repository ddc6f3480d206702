// "Mailer Number": the Customer ID, the next serial and the counting of the shared
// mailer-number counter. The counter stays locked (opened exclusively) while the dialog is
// open, so no workstation prints while its numbers are being changed.
#pragma once

#include "core/NumberCounter.h"

#include <QDialog>

struct Settings;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TF_ProMailer : public QDialog {
    Q_OBJECT
public:
    // Locks the counter and fills the controls from it; throws engine::EngineError when the
    // counter cannot be opened exclusively (another workstation holds it).
    explicit TF_ProMailer(Settings& settings, QWidget* parent = nullptr);
    ~TF_ProMailer() override;

    // Opens the dialog modally. Returns true on OK.
    static bool edit(Settings& settings, QWidget* parent = nullptr);

    // The web address of the business directory company that issues location numbers.
    static const QString DirectoryCompanyAddress;

    QLabel* labelDatabaseName = nullptr;
    QPushButton* btnChangeYourDB = nullptr;
    QCheckBox* cbPrintBarCodes = nullptr;
    QFrame* panelPrintBarCodes = nullptr;
    QLineEdit* editCustID = nullptr;
    QLineEdit* EditSerialNum = nullptr;
    QFrame* panelNoBarCodes = nullptr;
    QLineEdit* editMailerNumOLD = nullptr;
    QGroupBox* rgCountType = nullptr;
    QRadioButton* rbIncrement = nullptr;
    QRadioButton* rbDecrement = nullptr;
    QLineEdit* EditMailerNum = nullptr; // never shown: the current kind "T" number
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnHelp = nullptr;
    QFrame* panelBarCode = nullptr;
    QFrame* panelMailerNum = nullptr;
    QLabel* LabelDnB = nullptr;

    // Heights of the window with its help shown.
    static constexpr int HelpHeightBarCodes = 335;
    static constexpr int HelpHeightNoBarCodes = 383;

public slots:
    void cbPrintBarCodesClick();
    void btnHelpClick();
    void LabelDnBClick();
    void EditSerialNumExit();
    void btnChangeYourDBClick();
    void btnOKClick();
    bool serialClearOfLog(bool barCodes, QString& custId, QString& serial);

public:
    // Every way of closing (OK, Cancel, Esc, the close box) releases the counter.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void loadCounter();
    void showDatabaseName();
    bool helpShown() const;

    Settings& settings_;
    TNumberState numberState_;
};
