#include "log/TF_CreateReport.h"

#include "engine/MultiTableWrite.h"
#include "log/LogReport.h"
#include "widgets/DialogParts.h"
#include "widgets/Services.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const char* const kSpaceHint = "150 characters can be printed across the width of the page before clipping occurs.";

} // namespace

TF_CreateReport::TF_CreateReport(const QString& logFolder, QWidget* parent) : QDialog(parent), logFolder_(logFolder)
{
    setObjectName("F_CreateReport");
    setWindowTitle("Create Report");

    lbAvailable = new QListWidget(this);
    lbAvailable->setObjectName("lbAvailable");
    for (const ReportColumnEntry& e : reportColumnTable())
        lbAvailable->addItem(QLatin1String(e.entryText));
    lbFields = new QListWidget(this);
    lbFields->setObjectName("lbFields");

    btnAddField = namedButton(this, "&Add Field", "btnAddField");
    btnRemoveField = namedButton(this, "Re&move Field", "btnRemoveField");
    btnFieldUp = namedButton(this, "Field &Up", "btnFieldUp");
    btnFieldDown = namedButton(this, "Field &Down", "btnFieldDown");
    connect(btnAddField, &QPushButton::clicked, this, &TF_CreateReport::btnAddFieldClick);
    connect(btnRemoveField, &QPushButton::clicked, this, &TF_CreateReport::btnRemoveFieldClick);
    connect(btnFieldUp, &QPushButton::clicked, this, &TF_CreateReport::btnFieldUpClick);
    connect(btnFieldDown, &QPushButton::clicked, this, &TF_CreateReport::btnFieldDownClick);

    auto usedCaption = new QLabel("Used space:", this);
    auto availableCaption = new QLabel("Available Space:", this);
    lblUsed = new QLabel(this);
    lblUsed->setObjectName("lblUsed");
    lblAvailable = new QLabel(this);
    lblAvailable->setObjectName("lblAvailable");
    QPalette darkRed = lblAvailable->palette();
    darkRed.setColor(QPalette::WindowText, QColor(128, 0, 0));
    lblAvailable->setPalette(darkRed);
    for (QLabel* l : {usedCaption, availableCaption, lblUsed, lblAvailable})
        l->setToolTip(kSpaceHint);

    editReportName = new QLineEdit(this);
    editReportName->setObjectName("editReportName");
    editReportName->setMaxLength(20);

    rgOrientation = new QGroupBox("Orientation", this);
    rgOrientation->setObjectName("rgOrientation");
    rbPortrait = new QRadioButton("Portrait", rgOrientation);
    rbPortrait->setObjectName("rbPortrait");
    rbPortrait->setChecked(true);
    rbLandscape = new QRadioButton("Landscape", rgOrientation);
    rbLandscape->setObjectName("rbLandscape");
    auto orientationRow = new QHBoxLayout(rgOrientation);
    orientationRow->addWidget(rbPortrait);
    orientationRow->addWidget(rbLandscape);
    connect(rbPortrait, &QRadioButton::clicked, this, &TF_CreateReport::rgOrientationClick);
    connect(rbLandscape, &QRadioButton::clicked, this, &TF_CreateReport::rgOrientationClick);

    auto lists = new QGridLayout;
    lists->addWidget(new QLabel("Available Fields:", this), 0, 0);
    lists->addWidget(new QLabel("Report Fields:", this), 0, 2);
    lists->addWidget(lbAvailable, 1, 0);
    auto middle = new QVBoxLayout;
    middle->addStretch(1);
    for (QPushButton* b : {btnAddField, btnRemoveField, btnFieldUp, btnFieldDown})
        middle->addWidget(b);
    middle->addStretch(1);
    lists->addLayout(middle, 1, 1);
    lists->addWidget(lbFields, 1, 2);

    auto space = new QGridLayout;
    space->addWidget(usedCaption, 0, 0);
    space->addWidget(lblUsed, 0, 1);
    space->addWidget(availableCaption, 1, 0);
    space->addWidget(lblAvailable, 1, 1);
    space->setColumnStretch(2, 1);

    auto name = new QHBoxLayout;
    name->addWidget(new QLabel("Report Name", this));
    name->addWidget(editReportName, 1);

    auto layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(space);
    layout->addLayout(name);
    layout->addWidget(rgOrientation);
    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    connect(btnOK, &QPushButton::clicked, this, &TF_CreateReport::btnOKClick);

    resize(560, 460);
    showSpace();
}

void TF_CreateReport::showSpace()
{
    lblUsed->setText(ReportWidthBudget::label(budget_.used()));
    lblAvailable->setText(ReportWidthBudget::label(budget_.available()));
}

void TF_CreateReport::btnAddFieldClick()
{
    QListWidgetItem* item = lbAvailable->currentItem();
    if (!item || !item->isSelected()) {
        MessageService::error("You must select a field.", this);
        return;
    }
    if (!budget_.add(FieldWidth(item->text()))) {
        MessageService::error("You don't have any available space in the Report to add this field.", this);
        return;
    }
    showSpace();
    lbFields->addItem(item->text());
}

void TF_CreateReport::btnRemoveFieldClick()
{
    QListWidgetItem* item = lbFields->currentItem();
    if (!item || !item->isSelected()) {
        MessageService::error("You must select a field.", this);
        return;
    }
    budget_.remove(FieldWidth(item->text()));
    showSpace();
    delete item;
}

void TF_CreateReport::moveField(int by)
{
    const int row = lbFields->currentRow();
    QListWidgetItem* item = lbFields->currentItem();
    if (!item || !item->isSelected() || row + by < 0 || row + by >= lbFields->count())
        return;
    lbFields->takeItem(row);
    lbFields->insertItem(row + by, item);
    lbFields->setCurrentItem(item);
}

void TF_CreateReport::btnFieldUpClick()
{
    moveField(-1);
}

void TF_CreateReport::btnFieldDownClick()
{
    moveField(+1);
}

void TF_CreateReport::rgOrientationClick()
{
    const bool landscape = rbLandscape->isChecked();
    if (landscape == budget_.landscape())
        return;
    if (!budget_.setLandscape(landscape)) {
        rbLandscape->setChecked(true);
        MessageService::error("Cant change Orientation to \"Portrait\", used space is greater than 7.", this);
        return;
    }
    showSpace();
}

void TF_CreateReport::btnOKClick()
{
    const QString name = editReportName->text();
    if (name.trimmed().isEmpty()) {
        MessageService::error("Please enter a report name.", this);
        editReportName->setFocus();
        return;
    }
    if (lbFields->count() == 0) {
        MessageService::error("You must have at least one field selected for the report.", this);
        return;
    }
    // The definition is stored whole or not at all: a refused row takes back the ones before.
    try {
        const std::string folder = logFolder_.toStdString();
        engine::MultiTableWrite write({{folder, "Reports"}, {folder, "Report_Detail"}});
        write.run(("insert into Reports (REPORTNAME, ORIENTATION) values(" + quotedSql(name) + ", " +
                   quotedSql(rbPortrait->isChecked() ? "0" : "1") + ")")
                      .toStdString());
        for (int i = 0; i < lbFields->count(); ++i) {
            const ReportColumnEntry* entry = reportColumnOfEntry(lbFields->item(i)->text());
            write.run(("insert into Report_Detail (REPORTNAME, FIELD_NAME, FIELDORDER) values(" + quotedSql(name) +
                       ", " + quotedSql(entry ? QLatin1String(entry->logColumn) : QString()) + ", " +
                       QString::number(i + 1) + ")")
                          .toStdString());
        }
        write.commit();
    } catch (const engine::EngineError&) {
        MessageService::error(QString("A Report name of \"%1\" already exists.").arg(name), this);
        return;
    }
    accept();
}
