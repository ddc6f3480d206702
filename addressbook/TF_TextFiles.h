// The import preview: the lines of an address text file in a grid with check marks, and
// "Add to Database", which adds the checked ones to the marked table. For a file whose first
// line names its columns, the preview shows which column fills each field and lets the user
// choose another.
#pragma once

#include "addressbook/AddressFileColumns.h"
#include "core/AddressLines.h"

#include <QDialog>
#include <array>
#include <memory>
#include <string>
#include <vector>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;
class AddressFileIndex;
class TextImportModel;

namespace engine {
class Query;
}

class TF_TextFiles : public QDialog {
    Q_OBJECT
public:
    // query: the handle on the folder of the table ("Address" or "YourAddress").
    TF_TextFiles(engine::Query& query, const std::string& table, QWidget* parent = nullptr);

    // The file's lines, read from it as they are shown and added.
    void setImportFile(std::shared_ptr<const AddressFileIndex> file);
    void AddImportRow(const TAddressLines& address);
    // Row 0 is the header (every row at once), data rows count from 1 as in the grid.
    void ToggleImportCheck(int row);
    void SyncHeaderCheck();
    bool headerChecked() const { return headerChecked_; }
    bool rowChecked(int row) const;
    int rowCount() const; // data rows
    const std::string& table() const { return table_; }
    // Whether the first line is read as column names.
    bool headerLineUsed() const;

    QLabel* lblSelect = nullptr;
    // Shown for a file whose first line names its columns: that line taken as names or as
    // an address, and a choice of columns for each of the seven fields.
    QGroupBox* gbColumns = nullptr;
    QCheckBox* cbHeaderLine = nullptr;
    std::array<QComboBox*, 7> cbColumn{};
    QTableView* sgAddress = nullptr;
    QPushButton* btnAddtoDB = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* lblTable = nullptr;

public slots:
    void btnAddtoDBClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void buildColumnChoices(QBoxLayout* layout);
    std::array<std::vector<std::vector<int>>, 7> columnChoices_; // what each field's list offers
    engine::Query& query_;
    std::string table_;
    TextImportModel* model_ = nullptr;
    bool headerChecked_ = false;
    bool shown_ = false;
};
