#include "core/TAddressRec.h"
#include "engine/Engine.h"
#include "engine/RowSource.h"

namespace {

const char* const kFieldNames[7] = {"Address1", "Address2", "Address3", "Address4", "City", "State", "Zip"};

std::string quotedField(const TAddressLines& address, int index)
{
    return engine::quoted(addressField(address, index).toStdString());
}

} // namespace

const QString& addressField(const TAddressLines& address, int index)
{
    return addressField(const_cast<TAddressLines&>(address), index);
}

QString& addressField(TAddressLines& address, int index)
{
    switch (index) {
    case 4:
        return address.city;
    case 5:
        return address.state;
    case 6:
        return address.zip;
    default:
        return address.address[index];
    }
}

std::string addressValuesSql(const TAddressLines& address)
{
    std::string values;
    for (int i = 0; i < 7; ++i)
        values += (i ? ", " : "") + quotedField(address, i);
    return values;
}

TAddressRec addressRecOf(const engine::RowSource& row)
{
    TAddressRec rec;
    rec.ID = static_cast<qint32>(row.asInteger("A_ID"));
    for (int i = 0; i < 4; ++i)
        rec.address.address[i] = QString::fromStdString(row.asString(kFieldNames[i]));
    rec.address.city = QString::fromStdString(row.asString("City"));
    rec.address.state = QString::fromStdString(row.asString("State"));
    rec.address.zip = QString::fromStdString(row.asString("Zip"));
    return rec;
}

QString addressCaption(const TAddressLines& address)
{
    const QString first = address.address[0].trimmed();
    if (!first.isEmpty())
        return first;
    return (address.city + " " + address.state + " " + address.zip).trimmed();
}

std::string addressInsertSql(const std::string& table, const TAddressLines& address)
{
    return "insert into " + table + " (Address1, Address2, Address3, Address4, City, State, Zip) values(" +
           addressValuesSql(address) + ") ";
}

std::string addressUpdateSql(const std::string& table, const TAddressLines& address, qint32 id)
{
    std::string sql = "update " + table + " set ";
    for (int i = 0; i < 7; ++i)
        sql += std::string(i ? ", " : "") + kFieldNames[i] + " = " + quotedField(address, i);
    return sql + " where A_ID = " + std::to_string(id);
}

// Compared without copying: a Find over a hundred thousand addresses makes no strings.
bool addressContains(const TAddressLines& address, const QString& text)
{
    for (int i = 0; i < 7; ++i)
        if (addressField(address, i).contains(text, Qt::CaseInsensitive))
            return true;
    return false;
}

int findNextIndex(int count, int selected, const std::function<bool(int)>& matches)
{
    for (int i = 0; i < count; ++i) {
        const int index = (selected + 1 + i) % count;
        if (matches(index))
            return index;
    }
    return -1;
}
