// "Incoming Mailers": returned receipts recorded for many logged mailers at once, found by
// a typed or scanned Mailer Number or by the addressee's name; and "F_MultiMailers", the
// choice among several mailers a name search found.
#pragma once

#include <QDialog>
#include <QList>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;

class TF_IncomingMailers : public QDialog {
    Q_OBJECT
public:
    // logFolder: the folder of Log37.
    explicit TF_IncomingMailers(const QString& logFolder, QWidget* parent = nullptr);
    ~TF_IncomingMailers() override;

    // Opens the window modally; true when OK wrote the results.
    static bool track(const QString& logFolder, QWidget* parent = nullptr);

    // Adds a mailer to the list with "Received - Signed"; refuses one already listed.
    void AddMailerToList(qint64 lid, const QString& mailerNum, const QString& name);
    QList<qint64> listedLids() const { return lids_; }

    QLabel* lblInfo = nullptr;
    QRadioButton* rbMailerNumber = nullptr;
    QRadioButton* rbAddresseeName = nullptr;
    QLineEdit* maskeditMailerNum = nullptr;
    QLineEdit* editData = nullptr;
    QPushButton* btnTrack = nullptr;
    QTableWidget* sgMailers = nullptr;
    QComboBox* cbResult = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void rgEnterDataClick();
    void btnTrackClick();
    void maskeditMailerNumChange();
    void sgMailersSelectCell(int row, int column);
    void cbResultChoose(int index);
    void btnOKClick();

private:
    // The entry's text without its blanks.
    QString typedDigits() const;
    bool trackByNumber();
    void trackByName();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QString folder_;
    QList<qint64> lids_;
    int chooserRow_ = -1;
    QTimer* scanPause_ = nullptr;
};

// A row found by addressee name: LID, MailerNum and the recipient's seven columns.
struct TMailerRec {
    QString lid, mailerNum, toAddress[4], toCity, toState, toZip;
};

class TF_MultiMailers : public QDialog {
    Q_OBJECT
public:
    TF_MultiMailers(TF_IncomingMailers* incoming, const QList<TMailerRec>& mailers, const QString& name,
                    QWidget* parent = nullptr);

    QLabel* lblMain = nullptr;
    QListWidget* lvMailers = nullptr;
    QPushButton* btnAddToList = nullptr;

public slots:
    void btnAddToListClick();

private:
    TF_IncomingMailers* incoming_;
    QList<TMailerRec> mailers_;
};
