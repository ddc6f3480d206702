#include "addressbook/TF_TextFiles.h"

#include "addressbook/AddressFileColumns.h"
#include "addressbook/TextFiles.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTableView>
#include <QVBoxLayout>
#include <unordered_map>

// The grid's rows: the lines of the file, read from it as the grid shows them, then rows
// added one by one; each with its check mark in column 0. A file whose first line names its
// columns shows the lines after it, their cells put into the fields by the mapping.
class TextImportModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    std::shared_ptr<const AddressFileIndex> file;
    std::vector<TAddressLines> added;
    std::vector<char> checked;
    std::optional<HeaderLine> header; // the file's first line, when it names the columns
    bool headerUsed = false;
    ColumnMapping mapping;

    int fileRows() const { return file ? static_cast<int>(file->lineCount()) - (headerUsed ? 1 : 0) : 0; }

    void setFile(std::shared_ptr<const AddressFileIndex> index)
    {
        beginResetModel();
        file = std::move(index);
        added.clear();
        cache_.clear();
        header.reset();
        headerUsed = false;
        if (file && file->lineCount() > 0)
            header = detectHeaderLine(file->lineText(0));
        if (header) {
            headerUsed = true;
            mapping = matchColumns(header->columns);
        }
        checked.assign(fileRows(), 0);
        endResetModel();
    }
    // Reads the first line as data or as column names; every row is checked afterwards.
    void useHeader(bool used)
    {
        beginResetModel();
        headerUsed = used && header;
        cache_.clear();
        checked.assign(fileRows() + added.size(), 1);
        endResetModel();
    }
    void setMapping(const ColumnMapping& columns)
    {
        mapping = columns;
        cache_.clear();
        if (rowCount() > 0)
            emit dataChanged(index(0, 1), index(rowCount() - 1, 7), {Qt::DisplayRole});
    }
    void append(const TAddressLines& address)
    {
        const int row = static_cast<int>(checked.size());
        beginInsertRows({}, row, row);
        added.push_back(address);
        checked.push_back(0);
        endInsertRows();
    }
    TAddressLines addressAt(int row) const
    {
        if (row >= fileRows())
            return added.at(row - fileRows());
        if (headerUsed)
            return mapAddressCells(splitDelimitedLine(file->lineText(row + 1), header->delimiter), mapping);
        return file->address(row);
    }
    void changed(int first, int last) { emit dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole}); }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(checked.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 8; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (index.column() == 0)
            return role == Qt::CheckStateRole ? QVariant(checked[index.row()] ? Qt::Checked : Qt::Unchecked)
                                              : QVariant();
        if (role == Qt::DisplayRole)
            return addressField(shown(index.row()), index.column() - 1);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char* const captions[8] = {"",          "Address 1", "Address 2", "Address 3",
                                                "Address 4", "City",      "State",     "Zip"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return QString::fromLatin1(captions[section]);
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    // The rows the grid shows are read once for their seven cells; a few screens' worth
    // are kept.
    const TAddressLines& shown(int row) const
    {
        auto it = cache_.find(row);
        if (it != cache_.end())
            return it->second;
        if (cache_.size() > 2048)
            cache_.clear();
        TAddressLines address;
        try {
            address = addressAt(row);
        } catch (const std::exception&) {
            // A file that can no longer be read shows empty rows; Add to Database says why.
        }
        return cache_.emplace(row, std::move(address)).first->second;
    }
    mutable std::unordered_map<int, TAddressLines> cache_;
};

namespace {

// The header row: bold captions, and in column 0 the mark that stands for every row.
class ImportHeader : public QHeaderView {
public:
    ImportHeader(TF_TextFiles* dialog) : QHeaderView(Qt::Horizontal, dialog), dialog_(dialog)
    {
        QFont bold = font();
        bold.setBold(true);
        setFont(bold);
        setSectionsClickable(true);
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        if (logicalIndex != 0)
            return;
        QStyleOptionButton box;
        const QSize size(style()->pixelMetric(QStyle::PM_IndicatorWidth),
                         style()->pixelMetric(QStyle::PM_IndicatorHeight));
        box.rect = QRect(rect.center() - QPoint(size.width() / 2, size.height() / 2), size);
        box.state = QStyle::State_Enabled | (dialog_->headerChecked() ? QStyle::State_On : QStyle::State_Off);
        style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter);
    }

private:
    TF_TextFiles* dialog_;
};

} // namespace

TF_TextFiles::TF_TextFiles(engine::Query& query, const std::string& table, QWidget* parent)
    : QDialog(parent), query_(query), table_(table)
{
    setObjectName("F_TextFiles");
    setWindowTitle("Text File");
    auto layout = new QVBoxLayout(this);
    lblSelect = new QLabel("Select the Addresses you want to add to the database.", this);
    lblSelect->setObjectName("lblSelect");
    lblSelect->setStyleSheet("color: blue; font-weight: bold;");
    layout->addWidget(lblSelect);

    model_ = new TextImportModel(this);
    sgAddress = new QTableView(this);
    sgAddress->setObjectName("sgAddress");
    auto header = new ImportHeader(this);
    sgAddress->setHorizontalHeader(header);
    sgAddress->setModel(model_);
    sgAddress->verticalHeader()->hide();
    sgAddress->verticalHeader()->setDefaultSectionSize(sgAddress->fontMetrics().height() + 8);
    sgAddress->setSelectionMode(QAbstractItemView::SingleSelection);
    sgAddress->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int boxWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth);
    const int widths[8] = {boxWidth + 8, 120, 120, 120, 120, 120, 40, 80};
    for (int c = 0; c < 8; ++c)
        sgAddress->setColumnWidth(c, widths[c]);
    sgAddress->installEventFilter(this);
    buildColumnChoices(layout); // above the grid, which shows their outcome
    layout->addWidget(sgAddress, 1);

    auto row = new QHBoxLayout;
    lblTable = new QLabel(
        table == "Address" ? "Adds to: the open address database" : "Adds to: Your Name & Address list", this);
    lblTable->setObjectName("lblTable");
    row->addWidget(lblTable, 1);
    btnAddtoDB = new QPushButton("Add to Database", this);
    btnAddtoDB->setObjectName("btnAddtoDB");
    row->addWidget(btnAddtoDB);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    row->addWidget(btnCancel);
    layout->addLayout(row);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(btnAddtoDB, &QPushButton::clicked, this, [this] { guarded([this] { btnAddtoDBClick(); }); });
    connect(sgAddress, &QAbstractItemView::pressed, this, [this](const QModelIndex& index) {
        if (index.column() == 0)
            ToggleImportCheck(index.row() + 1);
    });
    connect(header, &QHeaderView::sectionPressed, this, [this](int section) {
        if (section == 0)
            ToggleImportCheck(0);
    });
    resize(boxWidth + 8 + 5 * 120 + 40 + 80 + 40, 420);
}

namespace {
const char* const kColumnChoiceNames[7] = {"cbColumnAddress1", "cbColumnAddress2", "cbColumnAddress3",
                                           "cbColumnAddress4", "cbColumnCity",     "cbColumnState",
                                           "cbColumnZip"};
const char* const kFieldCaptions[7] = {"Address 1", "Address 2", "Address 3", "Address 4", "City", "State", "Zip"};
} // namespace

void TF_TextFiles::buildColumnChoices(QBoxLayout* layout)
{
    gbColumns = new QGroupBox("Columns of the file", this);
    gbColumns->setObjectName("gbColumns");
    auto grid = new QGridLayout(gbColumns);
    cbHeaderLine = new QCheckBox("The first line names the columns (it is not added)", gbColumns);
    cbHeaderLine->setObjectName("cbHeaderLine");
    grid->addWidget(cbHeaderLine, 0, 0, 1, 7);
    for (int field = 0; field < 7; ++field) {
        auto caption = new QLabel(kFieldCaptions[field], gbColumns);
        grid->addWidget(caption, 1, field);
        cbColumn[field] = new QComboBox(gbColumns);
        cbColumn[field]->setObjectName(kColumnChoiceNames[field]);
        cbColumn[field]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        cbColumn[field]->setMinimumContentsLength(8);
        caption->setBuddy(cbColumn[field]);
        grid->addWidget(cbColumn[field], 2, field);
        connect(cbColumn[field], &QComboBox::currentIndexChanged, this, [this, field](int choice) {
            if (choice < 0)
                return;
            ColumnMapping mapping = model_->mapping;
            mapping.sources[field] = columnChoices_[field].at(choice);
            model_->setMapping(mapping);
        });
    }
    connect(cbHeaderLine, &QCheckBox::toggled, this, [this](bool on) {
        model_->useHeader(on);
        for (QComboBox* box : cbColumn)
            box->setEnabled(on);
        headerChecked_ = true;
        sgAddress->horizontalHeader()->viewport()->update();
    });
    gbColumns->hide();
    layout->addWidget(gbColumns);
}

void TF_TextFiles::setImportFile(std::shared_ptr<const AddressFileIndex> file)
{
    model_->setFile(std::move(file));
    gbColumns->setVisible(model_->header.has_value());
    if (!model_->header)
        return;
    const QStringList& columns = model_->header->columns;
    for (int field = 0; field < 7; ++field) {
        const std::vector<int>& matched = model_->mapping.sources[field];
        columnChoices_[field] = columnChoices(static_cast<int>(columns.size()), matched);
        QComboBox* box = cbColumn[field];
        const QSignalBlocker quiet(box);
        box->clear();
        for (const std::vector<int>& choice : columnChoices_[field])
            box->addItem(columnChoiceCaption(columns, choice));
        const auto at = std::find(columnChoices_[field].begin(), columnChoices_[field].end(), matched);
        box->setCurrentIndex(static_cast<int>(at - columnChoices_[field].begin()));
    }
    const QSignalBlocker quiet(cbHeaderLine);
    cbHeaderLine->setChecked(true);
}

bool TF_TextFiles::headerLineUsed() const
{
    return model_->headerUsed;
}

void TF_TextFiles::AddImportRow(const TAddressLines& address)
{
    model_->append(address);
}

int TF_TextFiles::rowCount() const
{
    return model_->rowCount();
}

bool TF_TextFiles::rowChecked(int row) const
{
    return model_->checked.at(row - 1) != 0;
}

void TF_TextFiles::ToggleImportCheck(int row)
{
    if (row == 0) {
        headerChecked_ = !headerChecked_;
        std::fill(model_->checked.begin(), model_->checked.end(), headerChecked_ ? 1 : 0);
        if (!model_->checked.empty())
            model_->changed(0, rowCount() - 1);
    } else {
        char& checked = model_->checked.at(row - 1);
        checked = !checked;
        model_->changed(row - 1, row - 1);
        SyncHeaderCheck();
    }
    sgAddress->horizontalHeader()->viewport()->update();
}

void TF_TextFiles::SyncHeaderCheck()
{
    headerChecked_ = std::all_of(model_->checked.begin(), model_->checked.end(), [](char c) { return c != 0; });
}

void TF_TextFiles::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TF_TextFiles::FormShow()
{
    headerChecked_ = false;
    ToggleImportCheck(0);
}

bool TF_TextFiles::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == sgAddress && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        const QModelIndex current = sgAddress->currentIndex();
        if (current.isValid())
            ToggleImportCheck(current.row() + 1);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TF_TextFiles::btnAddtoDBClick()
{
    std::vector<int> rows;
    for (int row = 0; row < rowCount(); ++row)
        if (model_->checked[row])
            rows.push_back(row);
    {
        BusyCursor busy;
        if (model_->file)
            model_->file->checkUnchanged();
        insertAddresses(query_, table_, rows.size(), [this, &rows](size_t i) { return model_->addressAt(rows[i]); });
    }
    MessageService::information(addressesAddedMessage(static_cast<int>(rows.size())), this);
    accept();
}
