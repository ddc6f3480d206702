#include "addressbook/AddressFileColumns.h"

#include "addressbook/TextFiles.h"

#include <QHash>
#include <algorithm>

namespace {

// What a column name says the column holds.
enum class Kind {
    Unknown,
    Name,
    FirstName,
    MiddleName,
    LastName,
    Company,
    Street,
    Street2,
    Line3,
    Line4,
    City,
    State,
    Zip
};

// The name as it is looked up: lower case, every run of other characters than letters and
// digits one blank ("Zip/Postal Code" as "zip postal code", "ZIP+4" as "zip 4").
QString nameKey(QStringView name)
{
    QString key;
    bool gap = false;
    for (QChar c : name.trimmed()) {
        if (c.isLetterOrNumber()) {
            if (gap && !key.isEmpty())
                key += u' ';
            key += c.toLower();
            gap = false;
        } else {
            gap = true;
        }
    }
    return key;
}

Kind kindOf(QStringView name)
{
    static const QHash<QString, Kind> kinds = [] {
        QHash<QString, Kind> k;
        const auto add = [&k](Kind kind, std::initializer_list<const char*> names) {
            for (const char* n : names)
                k.insert(QString::fromLatin1(n), kind);
        };
        add(Kind::Name, {"name", "full name", "fullname", "contact", "contact name", "recipient", "recipient name",
                         "addressee", "customer", "customer name", "client", "client name", "display name", "to"});
        add(Kind::FirstName, {"first name", "firstname", "first", "given name", "forename"});
        add(Kind::MiddleName, {"middle name", "middlename", "middle", "middle initial", "mi"});
        add(Kind::LastName, {"last name", "lastname", "last", "surname", "family name"});
        add(Kind::Company, {"company", "company name", "organization", "organisation", "organization name", "business",
                            "business name", "firm"});
        add(Kind::Street, {"address", "address 1", "address1", "address line 1", "addressline1", "street",
                           "street address", "street 1", "street1", "mailing address"});
        add(Kind::Street2, {"address 2", "address2", "address line 2", "addressline2", "street 2", "street2", "suite",
                            "apt", "apartment", "unit", "suite apt"});
        add(Kind::Line3, {"address 3", "address3", "address line 3", "addressline3"});
        add(Kind::Line4, {"address 4", "address4", "address line 4", "addressline4"});
        add(Kind::City, {"city", "town", "city town"});
        add(Kind::State, {"state", "st", "province", "state province", "region", "state code"});
        add(Kind::Zip, {"zip", "zip code", "zipcode", "zip 4", "zip postal code", "postal code", "postalcode",
                        "postcode", "post code"});
        return k;
    }();
    return kinds.value(nameKey(name), Kind::Unknown);
}

bool holdsDigit(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

} // namespace

QStringList splitDelimitedLine(QStringView line, QChar delimiter)
{
    QStringList cells;
    QString cell;
    bool quoted = false;
    bool opened = true; // at the start of a cell
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c != u'"')
                cell += c;
            else if (i + 1 < line.size() && line[i + 1] == u'"')
                cell += line[++i];
            else
                quoted = false;
        } else if (c == delimiter) {
            cells << cell.trimmed();
            cell.clear();
            opened = true;
            continue;
        } else if (c == u'"' && opened && cell.trimmed().isEmpty()) {
            cell.clear();
            quoted = true;
        } else {
            cell += c;
        }
        opened = false;
    }
    cells << cell.trimmed();
    return cells;
}

std::optional<HeaderLine> detectHeaderLine(const QString& line)
{
    std::optional<HeaderLine> best;
    int bestKnown = 1; // two known names at least
    for (const QChar delimiter : {QChar(u'\t'), QChar(u','), QChar(u';')}) {
        const QStringList cells = splitDelimitedLine(line, delimiter);
        int known = 0;
        bool data = false;
        for (const QString& cell : cells) {
            if (kindOf(cell) != Kind::Unknown)
                ++known;
            else
                data = data || holdsDigit(cell);
        }
        if (!data && known > bestKnown) {
            bestKnown = known;
            best = HeaderLine{delimiter, cells};
        }
    }
    return best;
}

ColumnMapping matchColumns(const QStringList& columns)
{
    // The first column of each kind.
    std::array<int, 13> first;
    first.fill(-1);
    for (int i = 0; i < columns.size(); ++i) {
        const auto k = static_cast<size_t>(kindOf(columns[i]));
        if (first[k] < 0)
            first[k] = i;
    }
    const auto column = [&first](Kind kind) { return first[static_cast<size_t>(kind)]; };
    const auto one = [](int c) { return c < 0 ? std::vector<int>{} : std::vector<int>{c}; };

    ColumnMapping mapping;
    if (column(Kind::Line3) >= 0 || column(Kind::Line4) >= 0) {
        // The program's own fields by number: "Address 1" is the first line, not a street.
        mapping.sources[0] = one(column(Kind::Street));
        mapping.sources[1] = one(column(Kind::Street2));
        mapping.sources[2] = one(column(Kind::Line3));
        mapping.sources[3] = one(column(Kind::Line4));
    } else {
        std::vector<int> name = one(column(Kind::Name));
        if (name.empty())
            for (Kind part : {Kind::FirstName, Kind::MiddleName, Kind::LastName})
                if (column(part) >= 0)
                    name.push_back(column(part));
        std::vector<std::vector<int>> lines = {name, one(column(Kind::Company)), one(column(Kind::Street)),
                                               one(column(Kind::Street2))};
        lines.erase(std::remove_if(lines.begin(), lines.end(), [](const auto& l) { return l.empty(); }), lines.end());
        for (size_t i = 0; i < lines.size(); ++i)
            mapping.sources[i] = lines[i];
    }
    mapping.sources[4] = one(column(Kind::City));
    mapping.sources[5] = one(column(Kind::State));
    mapping.sources[6] = one(column(Kind::Zip));
    return mapping;
}

TAddressLines mapAddressCells(const QStringList& cells, const ColumnMapping& mapping)
{
    TAddressLines address;
    for (int field = 0; field < 7; ++field) {
        QStringList parts;
        for (int c : mapping.sources[field])
            if (c >= 0 && c < cells.size() && !cells[c].isEmpty())
                parts << cells[c];
        QString value = parts.join(u' ');
        if (field == 6 && value.size() == 4 &&
            std::all_of(value.begin(), value.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            value.prepend(u'0');
        addressField(address, field) = value.left(kAddressFieldWidths[field]);
    }
    return address;
}

std::vector<std::vector<int>> columnChoices(int columnCount, const std::vector<int>& matched)
{
    std::vector<std::vector<int>> choices{{}};
    for (int c = 0; c < columnCount; ++c)
        choices.push_back({c});
    if (matched.size() > 1)
        choices.push_back(matched);
    return choices;
}

QString columnChoiceCaption(const QStringList& columns, const std::vector<int>& choice)
{
    if (choice.empty())
        return QStringLiteral("(none)");
    QStringList names;
    for (int c : choice) {
        const QString name = c >= 0 && c < columns.size() ? columns[c] : QString();
        names << (name.isEmpty() ? "Column " + QString::number(c + 1) : name);
    }
    return names.join(" + ");
}
