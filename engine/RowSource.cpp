#include "engine/RowSource.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <strings.h>

namespace engine {

namespace {
const Value kNull{};

std::string rtrimmed(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

std::string numberText(double d)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return buf;
}
} // namespace

void RowSource::setColumns(std::vector<std::string> names, std::vector<Kind> kinds)
{
    names_ = std::move(names);
    kinds_ = std::move(kinds);
    row_.assign(names_.size(), Value{});
}

RowSource::Kind RowSource::kindOf(const char* declaredType)
{
    if (!declaredType)
        return Kind::Other;
    if (strncasecmp(declaredType, "CHAR", 4) == 0)
        return Kind::Char;
    if (strcasecmp(declaredType, "LOGICAL") == 0)
        return Kind::Logical;
    if (strcasecmp(declaredType, "TIMESTAMP") == 0)
        return Kind::TimeStamp;
    return Kind::Other;
}

int RowSource::findField(const std::string& name) const
{
    for (size_t i = 0; i < names_.size(); ++i)
        if (strcasecmp(names_[i].c_str(), name.c_str()) == 0)
            return static_cast<int>(i);
    return -1;
}

int RowSource::fieldIndex(const std::string& name) const
{
    int i = findField(name);
    if (i < 0)
        throw EngineError(columnsFile_.empty() ? "Column not found: " + name
                                               : missingColumnMessage(columnsFile_, name));
    return i;
}

const Value& RowSource::value(int index) const
{
    if (eof_ || index < 0 || index >= static_cast<int>(row_.size()))
        return kNull;
    return row_[index];
}

const Value& RowSource::value(const std::string& name) const
{
    return value(fieldIndex(name));
}

bool RowSource::isNull(const std::string& name) const
{
    return std::holds_alternative<std::monostate>(value(name));
}

std::string RowSource::asString(int index) const
{
    const Value& v = value(index);
    const Kind kind = index >= 0 && index < static_cast<int>(kinds_.size()) ? kinds_[index] : Kind::Other;
    if (auto i = std::get_if<std::int64_t>(&v))
        return kind == Kind::Logical ? (*i ? "True" : "False") : std::to_string(*i);
    if (auto d = std::get_if<double>(&v))
        return numberText(*d);
    if (auto s = std::get_if<std::string>(&v))
        return kind == Kind::Char ? rtrimmed(*s) : *s;
    return {};
}

std::string RowSource::asString(const std::string& name) const
{
    return asString(fieldIndex(name));
}

std::int64_t RowSource::asInteger(const std::string& name) const
{
    const Value& v = value(name);
    if (auto i = std::get_if<std::int64_t>(&v))
        return *i;
    if (auto d = std::get_if<double>(&v))
        return static_cast<std::int64_t>(std::trunc(*d));
    if (auto s = std::get_if<std::string>(&v))
        return toInt32(*s);
    return 0;
}

bool RowSource::asBoolean(const std::string& name) const
{
    const Value& v = value(name);
    if (auto i = std::get_if<std::int64_t>(&v))
        return *i != 0;
    if (auto d = std::get_if<double>(&v))
        return *d != 0;
    if (auto s = std::get_if<std::string>(&v)) {
        if (strcasecmp(s->c_str(), "true") == 0 || strcasecmp(s->c_str(), "t") == 0)
            return true;
        if (strcasecmp(s->c_str(), "false") == 0 || strcasecmp(s->c_str(), "f") == 0 || s->empty())
            return false;
        return toInt32(*s) != 0;
    }
    return false;
}

DateTime RowSource::asDateTime(const std::string& name) const
{
    const Value& v = value(name);
    if (std::holds_alternative<std::monostate>(v))
        return {};
    const std::string text = asString(name);
    if (auto d = DateTime::parse(text))
        return *d;
    throw ConversionError("'" + text + "' is not a valid date and time");
}

} // namespace engine
