#include "log/TF_IncomingMailers.h"

#include "core/AddressLines.h"
#include "core/MailerNumber.h"
#include "core/datamodule/TdmDovraPro.h"
#include "log/LogMailers.h"
#include "widgets/BusyCursor.h"
#include "widgets/DialogParts.h"
#include "widgets/Services.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kReceivedSigned = "Received - Signed";

// A scanner types a whole number in a small fraction of this; a 20-digit entry is taken only
// once no further digit has followed for this long, so a 22-digit number is never taken at
// its twentieth digit.
constexpr int kScanPauseMs = 600;

engine::Query& statementHandle()
{
    return dmDovraPro->adsqLog2;
}

} // namespace

TF_IncomingMailers::TF_IncomingMailers(const QString& logFolder, QWidget* parent) : QDialog(parent), folder_(logFolder)
{
    setObjectName("F_IncomingMailers");
    setWindowTitle("Incoming Mailers");
    statementHandle().close();
    statementHandle().setFolder(logFolder.toStdString());

    lblInfo = new QLabel("Use this window to select your Incoming Mailers as \"Received - Signed\" or \"Received - Not "
                         "Signed\".  Enter or Scan in the 20 digit Mailer Number to add to list.",
                         this);
    lblInfo->setWordWrap(true);
    auto group = new QGroupBox("Enter Data By", this);
    group->setObjectName("rgEnterData");
    auto radios = new QHBoxLayout(group);
    rbMailerNumber = new QRadioButton("Mailer Number", group);
    rbMailerNumber->setObjectName("rbMailerNumber");
    rbMailerNumber->setChecked(true);
    rbAddresseeName = new QRadioButton("Addressee Name", group);
    rbAddresseeName->setObjectName("rbAddresseeName");
    radios->addWidget(rbMailerNumber);
    radios->addWidget(rbAddresseeName);

    // Typed or scanned: 20 digits (earlier editions) or 22; blanks between groups allowed.
    maskeditMailerNum = new QLineEdit(this);
    maskeditMailerNum->setObjectName("maskeditMailerNum");
    maskeditMailerNum->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9 ]{0,27}"), this));
    editData = new QLineEdit(this);
    editData->setObjectName("editData");
    editData->setMaxLength(50);
    editData->hide();
    btnTrack = new QPushButton("Track", this);
    btnTrack->setObjectName("btnTrack");
    btnTrack->setAutoDefault(false);
    auto entryRow = new QHBoxLayout;
    entryRow->addWidget(maskeditMailerNum, 1);
    entryRow->addWidget(editData, 1);
    entryRow->addWidget(btnTrack);

    sgMailers = new QTableWidget(1, 3, this);
    sgMailers->setObjectName("sgMailers");
    sgMailers->setHorizontalHeaderLabels({"Mailer #", "To Name", "Result"});
    sgMailers->verticalHeader()->hide();
    sgMailers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgMailers->setSelectionMode(QAbstractItemView::SingleSelection);
    cbResult = new QComboBox(sgMailers->viewport());
    cbResult->setObjectName("cbResult");
    cbResult->addItems({"None", "Received - Not Signed", kReceivedSigned});
    cbResult->hide();
    cbResult->installEventFilter(this);
    // Wide enough for a 22-digit number in its six groups.
    const int numberWidth =
        std::max(138, sgMailers->fontMetrics().horizontalAdvance("9214 7123 4567 8900 0000 00") + 16);
    sgMailers->setColumnWidth(0, numberWidth);
    sgMailers->setColumnWidth(1, 198);
    sgMailers->setColumnWidth(2, 145);
    sgMailers->verticalHeader()->setDefaultSectionSize(cbResult->sizeHint().height());
    sgMailers->setEnabled(false);
    sgMailers->setMinimumWidth(numberWidth + 198 + 145 + 2 * sgMailers->frameWidth() + 20);

    auto layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addWidget(group);
    layout->addLayout(entryRow);
    layout->addWidget(sgMailers, 1);
    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    btnOK->setAutoDefault(false);
    btnOK->setDefault(false);
    resize(numberWidth + 420, 380);

    connect(rbMailerNumber, &QRadioButton::clicked, this, &TF_IncomingMailers::rgEnterDataClick);
    connect(rbAddresseeName, &QRadioButton::clicked, this, &TF_IncomingMailers::rgEnterDataClick);
    connect(btnTrack, &QPushButton::clicked, this, &TF_IncomingMailers::btnTrackClick);
    scanPause_ = new QTimer(this);
    scanPause_->setObjectName("scanPause");
    scanPause_->setSingleShot(true);
    scanPause_->setInterval(kScanPauseMs);
    connect(scanPause_, &QTimer::timeout, this, [this] {
        if (rbMailerNumber->isChecked() && typedDigits().size() == 20)
            trackByNumber();
    });
    connect(maskeditMailerNum, &QLineEdit::textChanged, this, &TF_IncomingMailers::maskeditMailerNumChange);
    connect(maskeditMailerNum, &QLineEdit::returnPressed, this, &TF_IncomingMailers::btnTrackClick);
    connect(editData, &QLineEdit::returnPressed, this, &TF_IncomingMailers::btnTrackClick);
    connect(sgMailers, &QTableWidget::cellClicked, this, &TF_IncomingMailers::sgMailersSelectCell);
    connect(sgMailers, &QTableWidget::currentCellChanged, this,
            [this](int row, int column) { sgMailersSelectCell(row, column); });
    connect(cbResult, &QComboBox::activated, this, &TF_IncomingMailers::cbResultChoose);
    connect(btnOK, &QPushButton::clicked, this, &TF_IncomingMailers::btnOKClick);
    maskeditMailerNum->setFocus();
}

TF_IncomingMailers::~TF_IncomingMailers()
{
    lids_.clear();
    if (dmDovraPro)
        statementHandle().close();
}

bool TF_IncomingMailers::track(const QString& logFolder, QWidget* parent)
{
    TF_IncomingMailers window(logFolder, parent);
    return window.exec() == QDialog::Accepted;
}

void TF_IncomingMailers::rgEnterDataClick()
{
    const bool byNumber = rbMailerNumber->isChecked();
    maskeditMailerNum->setVisible(byNumber);
    editData->setVisible(!byNumber);
    (byNumber ? maskeditMailerNum : editData)->setFocus();
}

QString TF_IncomingMailers::typedDigits() const
{
    QString digits = maskeditMailerNum->text().trimmed();
    digits.remove(' ');
    return digits;
}

void TF_IncomingMailers::maskeditMailerNumChange()
{
    // A scanner types the digits without a key press after them. A 22-digit number passes
    // through 20 digits on its way, so 20 digits are taken only after a pause.
    const qsizetype count = typedDigits().size();
    if (count == 20) {
        scanPause_->start();
        return;
    }
    scanPause_->stop();
    if (count == 22)
        trackByNumber();
}

void TF_IncomingMailers::btnTrackClick()
{
    if (rbAddresseeName->isChecked())
        trackByName();
    else
        trackByNumber();
}

bool TF_IncomingMailers::trackByNumber()
{
    scanPause_->stop();
    const QString typed = typedDigits();
    if (typed.size() != 20 && typed.size() != 22) {
        MessageService::error("Mailer Number must be 20 digits.", this);
        maskeditMailerNum->setFocus();
        return false;
    }
    const auto digits = logmailers::mailerNumberDigits(typed);
    if (!digits) {
        MessageService::error("Invalid entry for Mailer Number.", this);
        return false;
    }
    const QString grouped = GroupMailerNumber(*digits);
    qint64 lid = 0;
    QString name;
    {
        // Ended before any message box: a box left open must not hold the log.
        engine::Query& q = statementHandle();
        q.setSql(logmailers::trackByNumberSql(*digits).toStdString());
        const auto closeQuery = qScopeGuard([&q] { q.close(); });
        q.open();
        if (!q.eof()) {
            lid = q.asInteger("LID");
            name = QString::fromStdString(q.asString("ToAddress1"));
        }
    }
    if (lid == 0) {
        MessageService::error("Mailer Number not found.", this);
        return false;
    }
    AddMailerToList(lid, grouped, name);
    QApplication::beep();
    maskeditMailerNum->clear();
    return true;
}

void TF_IncomingMailers::trackByName()
{
    const QString text = editData->text();
    if (text.trimmed().isEmpty()) {
        MessageService::error("Please enter a value.", this);
        editData->setFocus();
        return;
    }
    QList<TMailerRec> found;
    {
        BusyCursor busy;
        engine::Query& q = statementHandle();
        q.setSql(logmailers::trackByNameSql(text).toStdString());
        const auto closeQuery = qScopeGuard([&q] { q.close(); });
        for (q.open(); !q.eof(); q.next()) {
            TMailerRec rec;
            rec.lid = QString::fromStdString(q.asString("LID"));
            rec.mailerNum = QString::fromStdString(q.asString("MailerNum"));
            for (int i = 0; i < 4; ++i)
                rec.toAddress[i] = QString::fromStdString(q.asString("ToAddress" + std::to_string(i + 1)));
            rec.toCity = QString::fromStdString(q.asString("ToCity"));
            rec.toState = QString::fromStdString(q.asString("ToState"));
            rec.toZip = QString::fromStdString(q.asString("ToZip"));
            found << rec;
        }
    }
    if (found.isEmpty()) {
        MessageService::error("Addressee name not found.", this);
        return;
    }
    if (found.size() == 1) {
        AddMailerToList(found[0].lid.toLongLong(), found[0].mailerNum, found[0].toAddress[0]);
        return;
    }
    QList<TMailerRec> offered;
    for (const auto& rec : found)
        if (!lids_.contains(rec.lid.toLongLong()))
            offered << rec;
    TF_MultiMailers choice(this, offered, text, this);
    choice.exec();
}

void TF_IncomingMailers::AddMailerToList(qint64 lid, const QString& mailerNum, const QString& name)
{
    if (lids_.contains(lid)) {
        MessageService::error("Mailer for Mailer # \"" + mailerNum + "\" is already in the list.", this);
        return;
    }
    lids_ << lid;
    if (sgMailers->isEnabled())
        sgMailers->setRowCount(sgMailers->rowCount() + 1);
    else
        sgMailers->setEnabled(true);
    const int row = sgMailers->rowCount() - 1;
    const QString texts[] = {mailerNum, name, kReceivedSigned};
    for (int column = 0; column < 3; ++column)
        sgMailers->setItem(row, column, new QTableWidgetItem(texts[column]));
}

void TF_IncomingMailers::sgMailersSelectCell(int row, int column)
{
    if (column != 2 || row < 0 || row >= lids_.size() || !sgMailers->item(row, 2))
        return;
    chooserRow_ = row;
    cbResult->setGeometry(sgMailers->visualItemRect(sgMailers->item(row, 2)));
    cbResult->setCurrentIndex(cbResult->findText(sgMailers->item(row, 2)->text()));
    cbResult->show();
    cbResult->setFocus();
}

void TF_IncomingMailers::cbResultChoose(int index)
{
    if (chooserRow_ >= 0 && chooserRow_ < sgMailers->rowCount() && sgMailers->item(chooserRow_, 2))
        sgMailers->item(chooserRow_, 2)->setText(cbResult->itemText(index));
    cbResult->hide();
    chooserRow_ = -1;
    sgMailers->setFocus();
}

bool TF_IncomingMailers::eventFilter(QObject* watched, QEvent* event)
{
    // Tab while the chooser has the focus stays in the chooser.
    if (watched == cbResult && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TF_IncomingMailers::btnOKClick()
{
    engine::Query& q = statementHandle();
    for (int row = 0; row < lids_.size(); ++row) {
        q.setSql(logmailers::setResultSql(sgMailers->item(row, 2)->text(), lids_[row]).toStdString());
        q.execSql();
    }
    accept();
}

TF_MultiMailers::TF_MultiMailers(TF_IncomingMailers* incoming, const QList<TMailerRec>& mailers, const QString& name,
                                 QWidget* parent)
    : QDialog(parent), incoming_(incoming), mailers_(mailers)
{
    setObjectName("F_MultiMailers");
    setWindowTitle("F_MultiMailers");
    lblMain =
        new QLabel("We found " + QString::number(mailers.size()) + " log records containing " + "Addressee name \"" +
                       name + "\".  Please select the " + "Mailers you'd like to add to the list.",
                   this);
    lblMain->setObjectName("lblMain");
    lblMain->setWordWrap(true);
    lvMailers = new QListWidget(this);
    lvMailers->setObjectName("lvMailers");
    lvMailers->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const auto& rec : mailers) {
        auto item = new QListWidgetItem(rec.mailerNum + "  " + rec.toAddress[0], lvMailers);
        std::array<QString, 5> lines{rec.toAddress[0], rec.toAddress[1], rec.toAddress[2], rec.toAddress[3], ""};
        PlaceCityLine(lines, rec.toCity, rec.toState, rec.toZip);
        QStringList tip{rec.mailerNum, ""};
        for (const QString& line : lines)
            if (!line.trimmed().isEmpty())
                tip << line;
        item->setToolTip(tip.join('\n'));
    }
    btnAddToList = new QPushButton("Add To List", this);
    btnAddToList->setObjectName("btnAddToList");
    auto layout = new QVBoxLayout(this);
    layout->addWidget(lblMain);
    layout->addWidget(lvMailers, 1);
    auto row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(btnAddToList);
    layout->addLayout(row);
    resize(420, 300);
    connect(btnAddToList, &QPushButton::clicked, this, &TF_MultiMailers::btnAddToListClick);
}

void TF_MultiMailers::btnAddToListClick()
{
    for (int i = 0; i < lvMailers->count(); ++i)
        if (lvMailers->item(i)->isSelected())
            incoming_->AddMailerToList(mailers_[i].lid.toLongLong(), mailers_[i].mailerNum, mailers_[i].toAddress[0]);
    accept();
}
