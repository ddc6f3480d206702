// The log window: its layout, the rows shown (searched, limited to dates, ordered) with the
// details of the current one, the records' commands, the spreadsheet export, and finding,
// editing and tracking mailers. The saved filters are in TF_Log_Filters.cpp.
#include "log/TF_Log.h"
#include "core/ProofCopies.h"

#include "core/MailerNumber.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "log/LogCsv.h"
#include "log/LogMailers.h"
#include "log/LogModel.h"
#include "log/TF_EditMailer.h"
#include "log/TF_FindMailer.h"
#include "log/TF_IncomingMailers.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/PathLabel.h"
#include "widgets/Services.h"
#include "widgets/TF_NetworkSettings.h"
#include "widgets/WindowGeometry.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

using logmailers::logSearch;
using SearchMode = logmailers::SearchState::Mode;

namespace {

const QString kExportCaption = QStringLiteral("Export to spreadsheet (CSV)\u2026");

QPushButton* button(QWidget* parent, const QString& caption, const char* name)
{
    auto b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// Every handler runs through the error boundary: an engine error is shown and the rest of
// the handler skipped, whichever way it was started.
template <typename Handler> void runGuarded(TF_Log* window, Handler handler)
{
    guarded([window, handler] { (window->*handler)(); });
}

template <typename Handler> void connectButton(QPushButton* b, TF_Log* window, Handler handler)
{
    QObject::connect(b, &QPushButton::clicked, window, [window, handler] { runGuarded(window, handler); });
}

// A popup item that runs the same handler as its button and is enabled with it.
QAction* mirrorItem(QMenu* menu, const QString& caption, QPushButton* b)
{
    QAction* a = menu->addAction(caption);
    QObject::connect(a, &QAction::triggered, b, &QPushButton::click);
    QObject::connect(menu, &QMenu::aboutToShow, a, [a, b] { a->setEnabled(b->isEnabled()); });
    return a;
}

} // namespace

TF_Log::TF_Log(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setObjectName("F_Log");
    setWindowTitle("Log File");
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    model_ = new LogModel(dmDovraPro->adsqLog, this);
    connect(model_, &LogModel::scanProgressed, this, [this] {
        // The first rows found become the current row, as a search read at once does.
        if (currentRow() < 0)
            setCurrentRow(0);
        showRowState();
    });
    connect(model_, &LogModel::scanFailed, this, [this](const QString& message) {
        showSearchState();
        MessageService::error(message, this);
    });
    searchTimer_ = new QTimer(this);
    searchTimer_->setSingleShot(true);
    searchTimer_->setInterval(30);
    connect(searchTimer_, &QTimer::timeout, this, [this] { runGuarded(this, &TF_Log::editSearchChange); });
    buildWindow();
    logSearch.text.clear();
    ReloadLogWindow();
    restorePlacement(this, settings_.logWindow); // with the rows in place, at its smallest size
}

void TF_Log::done(int result)
{
    settings_.logWindow = placementOf(this);
    QDialog::done(result);
}

TF_Log::~TF_Log()
{
    model_->close();
    if (dmDovraPro) {
        dmDovraPro->adsqLog.close();
        dmDovraPro->adsqLog2.close();
    }
}

void TF_Log::browse(Settings& settings, QWidget* parent)
{
    std::unique_ptr<TF_Log> window;
    if (!guarded([&] { window = std::make_unique<TF_Log>(settings, parent); }))
        return;
    // The filter lines are read only when a filter is chosen: their damage is told now.
    if (auto damage =
            engine::tableDamage(settings.logLocation().toStdString(), "LogFiltersDetail", schema::LogFiltersDetail))
        MessageService::error(QString::fromStdString(*damage) + "\nThe lines of saved filters cannot be read.",
                              window.get());
    window->exec();
}

QString TF_Log::folder() const
{
    return settings_.logLocation();
}

void TF_Log::buildWindow()
{
    auto pathRow = new QHBoxLayout;
    labelLogDBName = new QLabel(this);
    labelLogDBName->setObjectName("labelLogDBName");
    labelLogDBName->setStyleSheet("color: blue;");
    btnChangeLogDB = button(this, "Change", "btnChangeLogDB");
    pathRow->addWidget(labelLogDBName, 1);
    pathRow->addWidget(btnChangeLogDB);

    auto actions = new QHBoxLayout;
    btnFindMailer = button(this, "Find Mailer", "btnFindMailer");
    btnEditMailer = button(this, "Edit Mailer", "btnEditMailer");
    Button1 = button(this, "Track Incoming Mailers", "Button1");
    btnDeleteRecord = button(this, "Delete Record", "btnDeleteRecord");
    btnDeleteAllRecords = button(this, "Delete All Records", "btnDeleteAllRecords");
    for (QPushButton* b : {btnFindMailer, btnEditMailer, Button1, btnDeleteRecord, btnDeleteAllRecords})
        actions->addWidget(b);
    actions->addStretch(1);

    gridLog = new QTableView(this);
    gridLog->setObjectName("gridLog");
    gridLog->setModel(model_);
    gridLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridLog->setSelectionMode(QAbstractItemView::SingleSelection);
    gridLog->verticalHeader()->hide();
    gridLog->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    gridLog->verticalHeader()->setDefaultSectionSize(gridLog->fontMetrics().height() + 6);
    gridLog->horizontalHeader()->setStretchLastSection(true);
    gridLog->setColumnWidth(0, 140);
    gridLog->setColumnWidth(1, 200);
    gridLog->setContextMenuPolicy(Qt::CustomContextMenu);
    // A heading clicked sorts by its column; clicked again, the other way round.
    gridLog->horizontalHeader()->setSectionsClickable(true);
    gridLog->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    gridLog->horizontalHeader()->setSortIndicatorShown(true);
    connect(gridLog->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) { guarded([&] { gridLogSort(column, order); }); });
    pmGrid = new QMenu(this);
    pmGrid->setObjectName("pmGrid");
    mirrorItem(pmGrid, "&Find Mailer", btnFindMailer);
    mirrorItem(pmGrid, "&Edit Mailer", btnEditMailer);
    pmGrid->addSeparator();
    mirrorItem(pmGrid, "&Delete Record", btnDeleteRecord);
    mirrorItem(pmGrid, "Delete &All Records", btnDeleteAllRecords);
    connect(gridLog, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (gridLog->isEnabled())
            pmGrid->popup(gridLog->viewport()->mapToGlobal(at));
    });
    connect(gridLog->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { showCurrentRow(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { showCurrentRow(); });

    auto filterGroup = new QGroupBox("Filter", this);
    auto filterLayout = new QVBoxLayout(filterGroup);
    btnNewFilter = button(filterGroup, "New Filter", "btnNewFilter");
    btnDeleteFilter = button(filterGroup, "Delete Filter", "btnDeleteFilter");
    btnSetFilter = button(filterGroup, QString(), "btnSetFilter");
    auto filterButtons = new QHBoxLayout;
    for (QPushButton* b : {btnNewFilter, btnDeleteFilter, btnSetFilter})
        filterButtons->addWidget(b);
    lvFilters = new QListWidget(filterGroup);
    lvFilters->setObjectName("lvFilters");
    lvFilters->setContextMenuPolicy(Qt::CustomContextMenu);
    filterLayout->addLayout(filterButtons);
    filterLayout->addWidget(lvFilters);
    pmFilters = new QMenu(this);
    pmFilters->setObjectName("pmFilters");
    mirrorItem(pmFilters, "&New Filter", btnNewFilter);
    mirrorItem(pmFilters, "&Delete Filter", btnDeleteFilter);
    miSetFilter = mirrorItem(pmFilters, QString(), btnSetFilter);
    miSetFilter->setObjectName("miSetFilter");
    showFilterCaption(false);
    connect(lvFilters, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmFilters->popup(lvFilters->viewport()->mapToGlobal(at)); });
    connect(lvFilters, &QListWidget::itemSelectionChanged, this,
            [this] { runGuarded(this, &TF_Log::lvFiltersSelectItem); });

    auto linesGroup = new QGroupBox("Details", this);
    auto linesLayout = new QGridLayout(linesGroup);
    lvFilterDetails = new QListWidget(linesGroup);
    lvFilterDetails->setObjectName("lvFilterDetails");
    lvFilterDetails->setSortingEnabled(true);
    lvFilterDetails->setContextMenuPolicy(Qt::CustomContextMenu);
    btnAddFilterLine = button(linesGroup, "Add", "btnAddFilterLine");
    btnEditFilterLine = button(linesGroup, "Edit", "btnEditFilterLine");
    btnDeleteFilterLine = button(linesGroup, "Delete", "btnDeleteFilterLine");
    cbCombination = new QComboBox(linesGroup);
    cbCombination->setObjectName("cbCombination");
    cbCombination->addItems({"AND", "OR"});
    auto lineButtons = new QHBoxLayout;
    for (QPushButton* b : {btnAddFilterLine, btnEditFilterLine, btnDeleteFilterLine})
        lineButtons->addWidget(b);
    lineButtons->addStretch(1);
    lineButtons->addWidget(new QLabel("Combination", linesGroup));
    lineButtons->addWidget(cbCombination);
    linesLayout->addWidget(lvFilterDetails, 0, 0);
    linesLayout->addLayout(lineButtons, 1, 0);
    pmFilterDetails = new QMenu(this);
    pmFilterDetails->setObjectName("pmFilterDetails");
    mirrorItem(pmFilterDetails, "&Add", btnAddFilterLine);
    mirrorItem(pmFilterDetails, "&Edit", btnEditFilterLine);
    mirrorItem(pmFilterDetails, "&Delete", btnDeleteFilterLine);
    connect(lvFilterDetails, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (lvFilterDetails->isEnabled())
            pmFilterDetails->popup(lvFilterDetails->viewport()->mapToGlobal(at));
    });
    connect(lvFilterDetails, &QListWidget::itemSelectionChanged, this, &TF_Log::lvFilterDetailsSelectItem);
    connect(cbCombination, &QComboBox::activated, this, [this] { runGuarded(this, &TF_Log::cbCombinationChange); });

    btnReport = button(this, "Report", "btnReport");
    btnOpenProof = button(this, "Open Proof", "btnOpenProof");
    connectButton(btnOpenProof, this, &TF_Log::btnOpenProofClick);
    mirrorItem(pmGrid, "Open &Proof", btnOpenProof)->setObjectName("miOpenProof");
    btnExportCSV = button(this, kExportCaption, "btnExportCSV");
    connectButton(btnExportCSV, this, &TF_Log::btnExportCSVClick);
    mirrorItem(pmGrid, kExportCaption, btnExportCSV)->setObjectName("miExportCSV");
    btnClose = button(this, "Close", "btnClose");
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    connectButton(btnChangeLogDB, this, &TF_Log::btnChangeLogDBClick);
    connectButton(btnFindMailer, this, &TF_Log::btnFindMailerClick);
    connectButton(btnEditMailer, this, &TF_Log::btnEditMailerClick);
    connectButton(Button1, this, &TF_Log::Button1Click);
    connectButton(btnDeleteRecord, this, &TF_Log::btnDeleteRecordClick);
    connectButton(btnDeleteAllRecords, this, &TF_Log::btnDeleteAllRecordsClick);
    connectButton(btnNewFilter, this, &TF_Log::btnNewFilterClick);
    connectButton(btnDeleteFilter, this, &TF_Log::btnDeleteFilterClick);
    connectButton(btnSetFilter, this, &TF_Log::btnSetFilterClick);
    connectButton(btnAddFilterLine, this, &TF_Log::btnAddFilterLineClick);
    connectButton(btnEditFilterLine, this, &TF_Log::btnEditFilterLineClick);
    connectButton(btnDeleteFilterLine, this, &TF_Log::btnDeleteFilterLineClick);
    connectButton(btnReport, this, &TF_Log::btnReportClick);

    auto left = new QVBoxLayout;
    left->addLayout(actions);
    left->addLayout(buildSearchRow());
    left->addWidget(gridLog, 1);
    auto right = new QVBoxLayout;
    right->addWidget(buildDetailsPanel());
    auto filters = new QHBoxLayout;
    filters->addWidget(filterGroup, 1);
    filters->addWidget(linesGroup, 2);
    left->addLayout(filters);
    auto bottom = new QHBoxLayout;
    bottom->addWidget(btnOpenProof);
    bottom->addStretch(1);
    bottom->addWidget(btnExportCSV);
    bottom->addWidget(btnReport);
    bottom->addWidget(btnClose);
    right->addStretch(1);
    right->addLayout(bottom);
    // A larger window gives its room to the grid.
    auto body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addLayout(right, 0);
    auto layout = new QVBoxLayout(this);
    layout->addLayout(pathRow);
    layout->addLayout(body, 1);
    resize(1100, 700);
}

QGroupBox* TF_Log::buildDetailsPanel()
{
    auto panel = new QGroupBox(this);
    panel->setObjectName("panelDBdetails");
    panelDBdetails = panel;
    auto layout = new QVBoxLayout(panel);
    auto value = [this, panel](const QString& column) {
        auto label = new QLabel(panel);
        label->setObjectName("dbt" + column);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        details_[column] = label;
        return label;
    };
    auto addressGroup = [&](const QString& title, const QString& prefix, const QString& cityPrefix) {
        auto group = new QGroupBox(title, panel);
        auto lines = new QVBoxLayout(group);
        for (int i = 1; i <= 4; ++i)
            lines->addWidget(value(prefix + QString::number(i)));
        auto cityRow = new QHBoxLayout;
        for (const char* part : {"City", "State", "Zip"})
            cityRow->addWidget(value(cityPrefix + part));
        cityRow->addStretch(1);
        lines->addLayout(cityRow);
        layout->addWidget(group);
    };
    addressGroup("To", "ToAddress", "To");
    addressGroup("From", "YourAddress", "Your");
    auto fees = new QGroupBox("Fees", panel);
    auto feeGrid = new QGridLayout(fees);
    const std::pair<const char*, const char*> feeRows[] = {{"Postage", "Postage"},
                                                           {"Certified Fee", "Certified"},
                                                           {"Return Reciept", "Return"},
                                                           {"Restricted Fee", "Restricted"},
                                                           {"TOTAL", "Total"}};
    int row = 0;
    for (const auto& [caption, column] : feeRows) {
        feeGrid->addWidget(new QLabel(caption, fees), row, 0);
        QLabel* label = value(column);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        feeGrid->addWidget(label, row++, 1);
    }
    layout->addWidget(fees);
    auto more = new QGridLayout;
    const std::pair<const char*, const char*> moreRows[] = {{"Department:", "Department"},
                                                            {"Processed By: ", "ProcessedBy"},
                                                            {"RE:", "RE"},
                                                            {"Comment:", "Comment"},
                                                            {"Batch:", "Batch"},
                                                            {"Result:", "Result"}};
    row = 0;
    for (const auto& [caption, column] : moreRows) {
        more->addWidget(new QLabel(caption, panel), row, 0);
        more->addWidget(value(column), row++, 1);
    }
    more->setColumnStretch(1, 1);
    layout->addLayout(more);
    dbcbWishRest = new QCheckBox(panel);
    dbcbWishRest->setObjectName("dbcbWishRest");
    dbcbWishRest->setEnabled(false);
    dbcbWishRest->hide();
    return panel;
}

// ---- the rows ------------------------------------------------------------------------------

void TF_Log::showLogPath()
{
    const QString table = QString::fromStdString(engine::tableFile(folder().toStdString(), "Log37"));
    labelLogDBName->setText(ShortenPathFromLeft(table, labelLogDBName->fontMetrics(), 580, 566));
    labelLogDBName->setToolTip(table);
}

void TF_Log::showRowState()
{
    const bool rows = model_->rowCount() > 0;
    gridLog->setEnabled(rows);
    panelDBdetails->setVisible(rows);
    for (QPushButton* b : {btnFindMailer, btnEditMailer, btnDeleteRecord, btnDeleteAllRecords})
        b->setEnabled(rows);
    showSearchState();
}

void TF_Log::showSearchState()
{
    const int rows = model_->rowCount();
    if (searchTimer_->isActive())
        labelSearchState->setText("Searching\u2026"); // the rows shown are still those of the text before
    else if (model_->scanning())
        labelSearchState->setText(QString("Searching\u2026 %1 found").arg(rows));
    else if (model_->canFetchMore(QModelIndex()))
        labelSearchState->clear(); // counted only when asked for: the count reads every row
    else
        labelSearchState->setText(rows == 1 ? QStringLiteral("1 mailer") : QStringLiteral("%1 mailers").arg(rows));
}

bool TF_Log::searchPending() const
{
    return searchTimer_->isActive() || model_->scanning();
}

bool TF_Log::waitForSearch()
{
    if (searchTimer_->isActive()) {
        searchTimer_->stop();
        editSearchChange();
    }
    if (!model_->scanning())
        return true;
    BusyCursor busy;
    QProgressDialog progress("Searching the log\u2026", "Cancel", 0, 0, this);
    progress.setObjectName("progressSearch");
    progress.setWindowTitle("Log File");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    while (model_->scanning()) {
        model_->scanStep();
        // Until the progress shows, nothing typed or clicked can change the rows meanwhile.
        QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents);
        if (progress.wasCanceled())
            return false;
    }
    return true;
}

void TF_Log::setCurrentRow(int row)
{
    if (row < 0 || row >= model_->rowCount())
        return;
    const QModelIndex index = model_->index(row, 0);
    gridLog->setCurrentIndex(index);
    gridLog->scrollTo(index);
}

int TF_Log::currentRow() const
{
    const QModelIndex index = gridLog->currentIndex();
    return index.isValid() ? index.row() : -1;
}

QString TF_Log::currentMailerNum() const
{
    return currentRow() < 0 ? QString() : model_->field(currentRow(), "MailerNum");
}

qint64 TF_Log::currentLid() const
{
    return currentRow() < 0 ? 0 : model_->lid(currentRow());
}

QString TF_Log::currentWhere() const
{
    return model_->viewCondition();
}

QString TF_Log::currentOrderBy() const
{
    return model_->orderBy();
}

QString TF_Log::currentSql() const
{
    return model_->selectSql();
}

void TF_Log::showCurrentRow()
{
    const int row = currentRow();
    for (auto& [column, label] : details_)
        label->setText(row < 0 ? QString() : model_->field(row, column));
    dbcbWishRest->setChecked(row >= 0 && model_->field(row, "WishRest") == "True");
    if (btnOpenProof)
        showProofButton();
}

QString TF_Log::currentProofNumber() const
{
    QString number = currentRow() < 0 ? QString() : currentMailerNum();
    number.remove(' ');
    return number.size() == 22 ? number : QString();
}

// Whether the current row has a proof copy: a look into the folder, or a question to the
// server (a server away offers none rather than an error at every move of the cursor).
void TF_Log::showProofButton()
{
    const QString number = currentProofNumber();
    bool kept = false;
    if (!number.isEmpty()) {
        try {
            kept = ProofCopies::hasProof(settings_.proofLocation(), number);
        } catch (const std::exception&) {
            kept = false;
        }
    }
    btnOpenProof->setEnabled(kept);
}

void TF_Log::btnOpenProofClick()
{
    const QString number = currentProofNumber();
    if (number.isEmpty())
        return;
    QString file;
    const bool read = guarded([&] {
        BusyCursor busy;
        file = ProofCopies::proofToOpen(settings_.proofLocation(), number);
    });
    if (!read)
        return;
    if (file.isEmpty()) {
        // Removed since the row was shown.
        MessageService::error(
            QStringLiteral("No proof copy of the Mailer Number %1 is kept.").arg(GroupMailerNumber(number)), this);
        btnOpenProof->setEnabled(false);
        return;
    }
    // The desktop's viewer shows it; a desktop without one is told, not left silent.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        MessageService::error(QStringLiteral("The proof copy \"%1\" could not be opened: this desktop has no "
                                             "program set to show PDF files.")
                                  .arg(QDir::toNativeSeparators(file)),
                              this);
}

void TF_Log::ReloadLogWindow()
{
    showLogPath();
    model_->setFolder(folder());
    {
        BusyCursor busy;
        model_->setWhere(QString());
    }
    setCurrentRow(0);
    showRowState();

    loadFilters();
    gridLog->setColumnWidth(2, 150);
    gridLog->setColumnWidth(3, 150);
}

// One-off statements on the log and filter tables go through the data module's second query.
void TF_Log::runStatement(const QString& sql)
{
    engine::Query& q = dmDovraPro->adsqLog2;
    q.close();
    q.setFolder(folder().toStdString());
    q.setSql(sql.toStdString());
    try {
        q.execSql();
    } catch (const engine::EngineError&) {
        // A statement of a transaction failed: nothing of it stays, and the connection is
        // free for the next one.
        q.setSql("rollback");
        try {
            q.execSql();
        } catch (const engine::EngineError&) {
        }
        throw;
    }
}

// ---- records -------------------------------------------------------------------------------

void TF_Log::btnDeleteRecordClick()
{
    if (currentRow() < 0)
        return;
    if (MessageService::confirmYesNoCancel("Are you sure you want to remove this record from the Log file?", this) !=
        QMessageBox::Yes)
        return;
    const int row = currentRow();
    runStatement("delete from Log37 where LID = " + QString::number(currentLid()));
    model_->refresh();
    setCurrentRow(std::min(row, model_->rowCount() - 1));
    if (model_->rowCount() == 0)
        showRowState();
    MessageService::information("Record deleted.", this);
}

void TF_Log::btnDeleteAllRecordsClick()
{
    if (!waitForSearch())
        return;
    const bool filtered = filterApplied();
    const QString question = filtered
                                 ? "Are you sure you want to remove all records from current filter from the Log file?"
                                 : "Are you sure you want to remove all records from the Log file?";
    // What cannot be undone is not done by Enter alone, and the question says how much it is.
    const int rows = model_->totalRows();
    const QString count = rows == 1 ? QStringLiteral("1 record will be deleted.")
                                    : QStringLiteral("%1 records will be deleted.").arg(rows);
    if (MessageService::confirmYesNoCancel(question + "\n\n" + count, this, QMessageBox::No) != QMessageBox::Yes)
        return;
    {
        BusyCursor busy;
        // The view's own where-clause: no value a filter holds can reach past it.
        engine::Query& q = dmDovraPro->adsqLog;
        q.close();
        q.setSql(model_->deleteSql().toStdString());
        q.execSql();
    }
    if (filtered)
        undoFilter();
    else
        ReloadLogWindow();
    MessageService::information("Records deleted.", this);
}

void TF_Log::btnReportClick()
{
    if (!waitForSearch())
        return;
    if (model_->rowCount() == 0) {
        MessageService::error("No records available for report.", this);
        return;
    }
    if (openReports)
        openReports(*this);
}

void TF_Log::btnChangeLogDBClick()
{
    const QString before = folder();
    TF_NetworkSettings::edit(settings_, this);
    if (folder() != before) {
        // The filter belongs to the rows of the old log; the new one starts unfiltered.
        showFilterCaption(false);
        ReloadLogWindow();
    }
}

// ---- search, dates, order, spreadsheet -------------------------------------------------------

QLayout* TF_Log::buildSearchRow()
{
    auto row = new QHBoxLayout;
    editSearch = new QLineEdit(this);
    editSearch->setObjectName("editSearch");
    editSearch->setPlaceholderText("Number, recipient, RE, comment, department or processed by");
    editSearch->setClearButtonEnabled(true);
    editSearch->installEventFilter(this);
    auto dateField = [this](const char* name) {
        auto edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setPlaceholderText("YYYY-MM-DD");
        edit->setMaxLength(10);
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("0000-00-00") + 16);
        connect(edit, &QLineEdit::textChanged, this, [this] { runGuarded(this, &TF_Log::editDatesChange); });
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { showDateState(edit); });
        return edit;
    };
    editDateFrom = dateField("editDateFrom");
    editDateTo = dateField("editDateTo");
    // A key typed while a search waits or reads its rows starts it again for the text as it is then.
    labelSearchState = new QLabel(this);
    labelSearchState->setObjectName("labelSearchState");
    // Wide enough for its longest text, so the search box keeps its width as the count changes.
    labelSearchState->setMinimumWidth(
        labelSearchState->fontMetrics().horizontalAdvance("Searching\u2026 0000000 found"));
    connect(editSearch, &QLineEdit::textChanged, this, [this] {
        searchTimer_->start();
        showSearchState();
    });
    auto label = [this](const QString& text, QWidget* buddy) {
        auto l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    row->addWidget(label("Search:", editSearch));
    row->addWidget(editSearch, 1);
    row->addWidget(label("From:", editDateFrom));
    row->addWidget(editDateFrom);
    row->addWidget(label("To:", editDateTo));
    row->addWidget(editDateTo);
    row->addWidget(labelSearchState);
    return row;
}

void TF_Log::editSearchChange()
{
    searchTimer_->stop();
    {
        BusyCursor busy;
        model_->setSearch(editSearch->text());
    }
    setCurrentRow(0);
    showRowState();
}

std::optional<QDate> TF_Log::dateOf(const QLineEdit* edit)
{
    const QString text = edit->text().trimmed();
    if (text.isEmpty())
        return QDate();
    QDate date = QDate::fromString(text, Qt::ISODate);
    if (!date.isValid()) {
        // The workstation's own short form, with the year in full.
        QString format = QLocale().dateFormat(QLocale::ShortFormat);
        if (!format.contains("yyyy"))
            format.replace("yy", "yyyy");
        date = QLocale().toDate(text, format);
    }
    if (!date.isValid())
        return std::nullopt;
    return date;
}

void TF_Log::editDatesChange()
{
    const auto from = dateOf(editDateFrom), to = dateOf(editDateTo);
    for (QLineEdit* edit : {editDateFrom, editDateTo})
        edit->setStyleSheet(dateOf(edit) ? QString() : QStringLiteral("color: red;"));
    // A date half typed leaves the rows as they are until it reads as a date.
    if (!from || !to || (*from == model_->dateFrom() && *to == model_->dateTo()))
        return;
    {
        BusyCursor busy;
        model_->setDateRange(*from, *to);
    }
    setCurrentRow(0);
    showRowState();
}

void TF_Log::showDateState(QLineEdit* edit)
{
    if (dateOf(edit) || !edit->isVisible())
        return;
    const QString text = edit->text();
    MessageService::error("\"" + text + "\" is not a date. Type a date as YYYY-MM-DD, for example " +
                              QDate::currentDate().toString(Qt::ISODate) +
                              ", or leave the field empty.\nThe rows shown are those of the dates last read.",
                          this);
}

void TF_Log::gridLogSort(int column, Qt::SortOrder order)
{
    if (column == model_->sortColumn() && order == model_->sortOrder())
        return;
    {
        BusyCursor busy;
        model_->sort(column, order);
    }
    setCurrentRow(0);
    showRowState();
}

void TF_Log::btnExportCSVClick()
{
    if (!waitForSearch())
        return;
    if (model_->rowCount() == 0) {
        MessageService::error("No records available for export.", this);
        return;
    }
    QString file = FileDialogService::saveFileName(this, "Export to spreadsheet (CSV)", QDir::homePath(),
                                                   "Spreadsheet (CSV) files (*.csv)", "Log.csv");
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += ".csv";
    const LogRowSelection rows{folder(), currentWhere(), currentOrderBy()};
    qint64 written = 0;
    {
        BusyCursor busy;
        const int total = model_->totalRows();
        QProgressDialog progress("Exporting the log to " + QDir::toNativeSeparators(file) + "\u2026", "Cancel", 0,
                                 total, this);
        progress.setObjectName("progressExportCSV");
        progress.setWindowTitle("Export to spreadsheet (CSV)");
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(400);
        written = logcsv::exportRows(rows, file, [&progress](qint64 done) {
            progress.setValue(int(done));
            return !progress.wasCanceled();
        });
    }
    if (written < 0) {
        MessageService::information("The export was cancelled; no file was written.", this);
        return;
    }
    MessageService::information(QString("%1 %2 exported to \"%3\".")
                                    .arg(written)
                                    .arg(written == 1 ? "mailer" : "mailers")
                                    .arg(QDir::toNativeSeparators(file)),
                                this);
}

// ---- finding, editing, tracking -----------------------------------------------------------

void TF_Log::btnFindMailerClick()
{
    if (TF_FindMailer::ask(this))
        FindNextMailer();
}

void TF_Log::FindNextMailer()
{
    if (!waitForSearch())
        return;
    if (model_->rowCount() == 0) {
        MessageService::error("Mailer not found.", this);
        return;
    }
    const int start = std::max(currentRow(), 0);
    const bool byNumber = logSearch.mode == SearchMode::ByNumber;
    std::optional<int> found;
    {
        BusyCursor busy;
        found = byNumber ? model_->findRow(start, logmailers::numberCondition(logSearch.text), true)
                         : model_->findRow(start, logmailers::nameCondition(logSearch.text), false);
    }
    if (!found) {
        MessageService::error("Mailer not found.", this);
        return;
    }
    setCurrentRow(*found);
    if (byNumber)
        btnEditMailerClick();
    else
        gridLog->setFocus();
}

void TF_Log::btnEditMailerClick()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const logmailers::MailerEdit shown{
        model_->field(row, "Postage"),    model_->field(row, "Certified"),          model_->field(row, "Return"),
        model_->field(row, "Restricted"), model_->field(row, "WishRest") == "True", model_->field(row, "Comment"),
        model_->field(row, "Result")};
    logmailers::MailerEdit edited = shown;
    if (!TF_EditMailer::edit(edited, settings_.restricted, this) || edited == shown)
        return;
    runStatement(logmailers::editMailerSql(edited, model_->lid(row)));
    model_->refresh();
    setCurrentRow(row);
}

void TF_Log::Button1Click()
{
    if (!TF_IncomingMailers::track(folder(), this))
        return;
    const int row = currentRow();
    model_->refresh();
    setCurrentRow(std::max(row, 0));
    showRowState();
}

// The keys that no field of the window takes for itself: Escape closes the window, Ctrl+F
// is Find Mailer and F3 repeats the last search by name.
void TF_Log::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    if (event->matches(QKeySequence::Find)) {
        if (btnFindMailer->isEnabled())
            btnFindMailer->click();
        return;
    }
    if (event->key() == Qt::Key_F3 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (logSearch.mode == SearchMode::ByName && !logSearch.text.trimmed().isEmpty())
            runGuarded(this, &TF_Log::FindNextMailer);
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TF_Log::eventFilter(QObject* watched, QEvent* event)
{
    // Escape in the search box clears it; in an empty box it closes the window as ever.
    if (watched == editSearch && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !editSearch->text().isEmpty()) {
        editSearch->clear();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
