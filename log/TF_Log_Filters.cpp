// The saved filters of the log window: the list of filters and the lines of the one chosen,
// kept in the tables LogFilters and LogFiltersDetail of the log folder, and setting the
// chosen filter on the rows shown and taking it off again.
#include "log/TF_Log.h"

#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "log/LogModel.h"
#include "log/TF_Filter.h"
#include "widgets/BusyCursor.h"
#include "widgets/Services.h"
#include "widgets/TF_SingleEdit.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>

namespace {

const QString kSetFilter = "Set Filter";
const QString kUndoFilter = "Undo Filter";
constexpr int kRecordRole = Qt::UserRole; // of a filter: its combination word; of a line: its fields

TFilterLineRec lineOf(const QListWidgetItem* item)
{
    const QStringList texts = item->data(kRecordRole).toStringList();
    return {texts.value(0), texts.value(1), texts.value(2)};
}

} // namespace

bool TF_Log::filterApplied() const
{
    return btnSetFilter->text() == kUndoFilter;
}

// The one button sets the filter chosen and, once set, takes it off again.
void TF_Log::showFilterCaption(bool applied)
{
    btnSetFilter->setText(applied ? kUndoFilter : kSetFilter);
    miSetFilter->setText(applied ? "&Undo Filter" : "&Set Filter");
}

void TF_Log::loadFilters()
{
    engine::Query& q = dmDovraPro->adsqLog2;
    q.close();
    q.setFolder(folder().toStdString());
    q.setSql(logfilter::selectFiltersSql().toStdString());
    resetFilterControls();
    const QSignalBlocker quiet(lvFilters);
    const auto closeQuery = qScopeGuard([&q] { q.close(); });
    lvFilters->clear();
    for (q.open(); !q.eof(); q.next()) {
        auto item = new QListWidgetItem(QString::fromStdString(q.asString(0)), lvFilters);
        item->setData(kRecordRole, QString::fromStdString(q.asString(1)));
    }
}

void TF_Log::resetFilterControls()
{
    btnNewFilter->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{btnDeleteFilter, btnSetFilter, cbCombination, btnAddFilterLine,
                                                      btnEditFilterLine, btnDeleteFilterLine, lvFilterDetails})
        w->setEnabled(false);
}

QListWidgetItem* TF_Log::selectedFilter() const
{
    const auto items = lvFilters->selectedItems();
    return items.size() == 1 ? items.first() : nullptr;
}

QListWidgetItem* TF_Log::selectedLine() const
{
    const auto items = lvFilterDetails->selectedItems();
    return items.size() == 1 ? items.first() : nullptr;
}

void TF_Log::lvFiltersSelectItem()
{
    if (filterApplied())
        return;
    QListWidgetItem* filter = selectedFilter();
    if (!filter) {
        lvFilterDetails->clear();
        resetFilterControls();
        return;
    }
    combination_ = filter->data(kRecordRole).toString();
    cbCombination->setCurrentText(combination_ == "AND" ? "AND" : "OR");
    cbCombination->setEnabled(true);
    reloadLines();
    for (QWidget* w : std::initializer_list<QWidget*>{btnDeleteFilter, btnSetFilter, btnAddFilterLine, lvFilterDetails})
        w->setEnabled(true);
    btnEditFilterLine->setEnabled(false);
    btnDeleteFilterLine->setEnabled(false);
}

void TF_Log::reloadLines()
{
    QListWidgetItem* filter = selectedFilter();
    lvFilterDetails->clear();
    if (!filter)
        return;
    engine::Query& q = dmDovraPro->adsqLog2;
    q.close();
    q.setSql(logfilter::selectLinesSql(filter->text()).toStdString());
    const auto closeQuery = qScopeGuard([&q] { q.close(); });
    for (q.open(); !q.eof(); q.next()) {
        const TFilterLineRec line{QString::fromStdString(q.asString("FieldName")),
                                  QString::fromStdString(q.asString("Operator")),
                                  QString::fromStdString(q.asString("Value"))};
        auto item = new QListWidgetItem(logfilter::lineCaption(line), lvFilterDetails);
        item->setData(kRecordRole, QStringList{line.fieldName, line.op, line.value});
    }
    btnEditFilterLine->setEnabled(false);
    btnDeleteFilterLine->setEnabled(false);
}

void TF_Log::lvFilterDetailsSelectItem()
{
    const bool one = selectedLine() != nullptr;
    btnAddFilterLine->setEnabled(true);
    btnEditFilterLine->setEnabled(one);
    btnDeleteFilterLine->setEnabled(one);
}

void TF_Log::btnNewFilterClick()
{
    QString name;
    if (!TF_SingleEdit::ask("New Filter", "Enter in name for new Filter", name, this))
        return;
    TFilterLineRec line;
    if (!TF_Filter::edit(line, this))
        return;
    try {
        // Both rows or neither: a name already taken leaves no line behind.
        runStatement(
            logfilter::inOneTransaction({"LogFilters", "LogFiltersDetail"},
                                        {logfilter::insertFilterSql(name), logfilter::insertLineSql(name, line)}));
    } catch (const engine::EngineError&) {
        MessageService::error("A Filter name of \"" + name + "\" already exists.", this);
        return;
    }
    ReloadLogWindow();
    for (int i = 0; i < lvFilters->count(); ++i) {
        if (lvFilters->item(i)->text().startsWith(name)) {
            lvFilters->setCurrentRow(i);
            break;
        }
    }
}

void TF_Log::btnDeleteFilterClick()
{
    QListWidgetItem* filter = selectedFilter();
    if (!filter)
        return;
    const QString name = filter->text();
    if (MessageService::confirmYesNoCancel("Are you sure you want to delete Filter \"" + name + "\"?", this) !=
        QMessageBox::Yes)
        return;
    runStatement(logfilter::inOneTransaction(
        {"LogFilters", "LogFiltersDetail"}, {logfilter::deleteFilterSql(name), logfilter::deleteFilterLinesSql(name)}));
    lvFilters->blockSignals(true);
    delete filter;
    lvFilters->clearSelection();
    lvFilters->blockSignals(false);
    lvFilterDetails->clear();
    resetFilterControls();
}

void TF_Log::btnAddFilterLineClick()
{
    QListWidgetItem* filter = selectedFilter();
    if (!filter)
        return;
    TFilterLineRec line;
    if (!TF_Filter::edit(line, this))
        return;
    runStatement(logfilter::insertLineSql(filter->text(), line));
    lvFiltersSelectItem();
}

void TF_Log::btnEditFilterLineClick()
{
    QListWidgetItem* filter = selectedFilter();
    QListWidgetItem* item = selectedLine();
    if (!filter || !item)
        return;
    const TFilterLineRec old = lineOf(item);
    TFilterLineRec line = old;
    if (!TF_Filter::edit(line, this))
        return;
    line.fieldName = old.fieldName; // the field of a line never changes
    runStatement(logfilter::updateLineSql(filter->text(), old, line));
    reloadLines();
}

void TF_Log::btnDeleteFilterLineClick()
{
    QListWidgetItem* filter = selectedFilter();
    QListWidgetItem* item = selectedLine();
    if (!filter || !item)
        return;
    if (MessageService::confirmYesNoCancel("Are you sure you want to delete Filter line \"" + item->text() + "\"?",
                                           this) != QMessageBox::Yes)
        return;
    runStatement(logfilter::deleteLineSql(filter->text(), lineOf(item)));
    reloadLines();
}

void TF_Log::cbCombinationChange()
{
    QListWidgetItem* filter = selectedFilter();
    const QString word = cbCombination->currentText();
    if (!filter || word == combination_)
        return;
    runStatement(logfilter::updateCombinationSql(filter->text(), word));
    combination_ = word;
    filter->setData(kRecordRole, word);
}

void TF_Log::btnSetFilterClick()
{
    if (filterApplied()) {
        undoFilter();
        return;
    }
    QList<TFilterLineRec> lines;
    for (int i = 0; i < lvFilterDetails->count(); ++i)
        lines << lineOf(lvFilterDetails->item(i));
    // Built whole before anything changes, so a value that does not read leaves the window as it was.
    const QString where = logfilter::whereClause(lines, cbCombination->currentText());
    if (where.isEmpty()) {
        MessageService::error("No filter lines are defined for this filter.", this);
        return;
    }
    {
        BusyCursor busy;
        model_->setWhere(where);
    }
    setCurrentRow(0);
    for (QWidget* w : std::initializer_list<QWidget*>{btnNewFilter, btnDeleteFilter, cbCombination, btnAddFilterLine,
                                                      btnEditFilterLine, btnDeleteFilterLine, lvFilterDetails})
        w->setEnabled(false);
    showFilterCaption(true);
}

void TF_Log::undoFilter()
{
    {
        BusyCursor busy;
        model_->setWhere(QString());
    }
    setCurrentRow(0);
    showRowState();
    for (QWidget* w : std::initializer_list<QWidget*>{btnNewFilter, btnDeleteFilter, cbCombination, btnAddFilterLine,
                                                      lvFilterDetails})
        w->setEnabled(true);
    btnEditFilterLine->setEnabled(false);
    btnDeleteFilterLine->setEnabled(false);
    showFilterCaption(false);
    lvFiltersSelectItem();
}
