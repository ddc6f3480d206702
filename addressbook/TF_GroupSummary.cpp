#include "addressbook/TF_GroupSummary.h"
#include "addressbook/AddressBook.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

TF_GroupSummary::TF_GroupSummary(QWidget* parent) : QDialog(parent)
{
    setObjectName("F_GroupSummary");
    setWindowTitle("Group Action Summary");
    setFont(QFont("Arial", 9));
    images_[0] = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    images_[1] = style()->standardIcon(QStyle::SP_DialogApplyButton);

    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(9, 9, 9, 0);
    LabelActionSummary = new QLabel(this);
    LabelActionSummary->setObjectName("LabelActionSummary");
    LabelActionSummary->setWordWrap(true);
    LabelActionSummary->setFixedWidth(521);
    LabelActionSummary->setMinimumHeight(2 * LabelActionSummary->fontMetrics().lineSpacing());
    layout->addWidget(LabelActionSummary);

    lvSummary = new QTreeWidget(this);
    lvSummary->setObjectName("lvSummary");
    lvSummary->setRootIsDecorated(false);
    lvSummary->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvSummary->setMouseTracking(true); // hot tracking
    lvSummary->setColumnCount(4);
    lvSummary->setHeaderLabels({QString(), "#", "Address", "Result"});
    lvSummary->headerItem()->setTextAlignment(1, Qt::AlignCenter);
    lvSummary->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    lvSummary->header()->resizeSection(0, 20);
    for (int c = 1; c < 4; ++c)
        lvSummary->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    lvSummary->header()->setStretchLastSection(false);
    layout->addWidget(lvSummary, 1);

    auto buttons = new QHBoxLayout;
    buttons->addStretch();
    ButtonOK = new QPushButton("&Close", this);
    ButtonOK->setObjectName("ButtonOK");
    ButtonOK->setDefault(true);
    buttons->addWidget(ButtonOK);
    layout->addLayout(buttons);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setSizeGripEnabled(false);
    layout->addWidget(StatusBar);

    connect(ButtonOK, &QPushButton::clicked, this, &TF_GroupSummary::ButtonOKClick);
    setFixedSize(539, 320);
    if (auto screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TF_GroupSummary::AddSummaryLine(bool success, const QString& address, const QString& text)
{
    auto row = new QTreeWidgetItem(lvSummary);
    row->setIcon(0, images_[success ? 1 : 0]);
    row->setText(1, QString::number(lvSummary->topLevelItemCount()));
    row->setTextAlignment(1, Qt::AlignCenter);
    row->setText(2, address);
    row->setText(3, text);
    (success ? successes_ : errors_) += 1;
    StatusBar->showMessage(summaryStatusText(successes_, errors_));
    LabelActionSummary->setText(summaryLabelText(errors_));
}

// "&Close" is also the Cancel button: Esc ends the window the same way.
void TF_GroupSummary::ButtonOKClick()
{
    reject();
}
