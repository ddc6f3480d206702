// "Log File": the log table browsed, pruned and narrowed by saved filters, with the ways
// into finding, editing and tracking logged mailers. The window, its rows and their commands
// are in TF_Log.cpp; the saved filters (the filter list, its lines, Set and Undo Filter) in
// TF_Log_Filters.cpp.
#pragma once

#include "core/Settings.h"
#include "log/LogFilter.h"

#include <QDate>
#include <QDialog>
#include <functional>
#include <map>
#include <optional>

class LogModel;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLayout;
class QLabel;
class QListWidget;
class QLineEdit;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QTableView;
class QTimer;

// The record of a filter in the filter list: its combination word.
struct TFilterRec {
    QString combination;
};
using logfilter::TFilterLineRec;

class TF_Log : public QDialog {
    Q_OBJECT
public:
    explicit TF_Log(Settings& settings, QWidget* parent = nullptr);
    ~TF_Log() override;

    // Opens the window modally.
    static void browse(Settings& settings, QWidget* parent = nullptr);

    // The rows shown: the model behind the grid, its where-clause (empty for the whole log)
    // and its statement, for the reports.
    LogModel* model() const { return model_; }
    QString currentWhere() const;
    QString currentOrderBy() const;
    QString currentSql() const;
    bool filterApplied() const;
    // The current row, or -1; its Mailer Number and LID.
    int currentRow() const;
    QString currentMailerNum() const;
    qint64 currentLid() const;
    // Whether the rows shown may still change from what was typed in the search box: the text
    // is waiting to be searched, or its rows are still being read.
    bool searchPending() const;
    // The reports window, once there is one, opens over the rows shown through this.
    static inline std::function<void(TF_Log&)> openReports;
    // Closing remembers where the window stood.
    void done(int result) override;

    QLabel* labelLogDBName = nullptr;
    QPushButton* btnChangeLogDB = nullptr;
    QPushButton* btnFindMailer = nullptr;
    QPushButton* btnEditMailer = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* btnDeleteRecord = nullptr;
    QPushButton* btnDeleteAllRecords = nullptr;
    // Above the grid: the search text and the days shown (empty for either end: open).
    QLineEdit* editSearch = nullptr;
    QLineEdit* editDateFrom = nullptr;
    QLineEdit* editDateTo = nullptr;
    // How many rows are shown, and whether a search is still reading them.
    QLabel* labelSearchState = nullptr;
    QTableView* gridLog = nullptr;
    QMenu* pmGrid = nullptr;
    QWidget* panelDBdetails = nullptr;
    QCheckBox* dbcbWishRest = nullptr;
    QPushButton* btnNewFilter = nullptr;
    QPushButton* btnDeleteFilter = nullptr;
    QPushButton* btnSetFilter = nullptr;
    QListWidget* lvFilters = nullptr;
    QMenu* pmFilters = nullptr;
    QAction* miSetFilter = nullptr;
    QListWidget* lvFilterDetails = nullptr;
    QPushButton* btnAddFilterLine = nullptr;
    QPushButton* btnEditFilterLine = nullptr;
    QPushButton* btnDeleteFilterLine = nullptr;
    QMenu* pmFilterDetails = nullptr;
    QComboBox* cbCombination = nullptr;
    QPushButton* btnReport = nullptr;
    QPushButton* btnExportCSV = nullptr; // the rows shown, as a spreadsheet file
    QPushButton* btnOpenProof = nullptr; // the proof copy of the current row's mailer
    QPushButton* btnClose = nullptr;

public slots:
    void ReloadLogWindow();
    void lvFiltersSelectItem();
    void lvFilterDetailsSelectItem();
    void btnNewFilterClick();
    void btnDeleteFilterClick();
    void btnAddFilterLineClick();
    void btnEditFilterLineClick();
    void btnDeleteFilterLineClick();
    void cbCombinationChange();
    void btnSetFilterClick();
    void btnDeleteRecordClick();
    void btnDeleteAllRecordsClick();
    void btnFindMailerClick();
    void btnEditMailerClick();
    void Button1Click();
    void btnReportClick();
    void btnExportCSVClick();
    void editSearchChange();
    void editDatesChange();
    // Orders the rows by a grid column, as a click on its heading does.
    void gridLogSort(int column, Qt::SortOrder order);
    void btnChangeLogDBClick();
    // Opens the current mailer's proof copy with the desktop's PDF viewer; a copy on the
    // database server through a temporary file.
    void btnOpenProofClick();
    // Runs the search of the Find Mailer dialog again from the current row.
    void FindNextMailer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWindow();
    QGroupBox* buildDetailsPanel();
    void showLogPath();
    void showRowState(); // grid, details and record buttons after the rows changed
    // The saved filters of the log folder into the filter list, none chosen.
    void loadFilters();
    void resetFilterControls(); // ReloadLogWindow step 4
    // The caption of Set Filter and its popup item: the other way round while a filter is set.
    void showFilterCaption(bool applied);
    void showCurrentRow();
    void showProofButton();
    // The current row's Mailer Number as its proof copy is kept (22 digits); empty for rows
    // imported from earlier logs and batch rows not printed yet.
    QString currentProofNumber() const;
    void undoFilter();
    void setCurrentRow(int row);
    QListWidgetItem* selectedFilter() const;
    QListWidgetItem* selectedLine() const;
    void reloadLines();
    QString folder() const;
    void runStatement(const QString& sql);
    QLayout* buildSearchRow();
    // The date a date field holds: null when it is blank; nothing when it reads as no date.
    static std::optional<QDate> dateOf(const QLineEdit* edit);
    void showDateState(QLineEdit* edit);
    void showSearchState();
    // Before an action on every row shown: the search typed run and read to its end, with a
    // busy cursor and Cancel; false when the user stopped it.
    bool waitForSearch();

    Settings& settings_;
    LogModel* model_ = nullptr;
    QTimer* searchTimer_ = nullptr;      // keys typed in quick succession run one search
    std::map<QString, QLabel*> details_; // log column -> its label in the details panel
    QString combination_;                // the selected filter's word as stored
};
