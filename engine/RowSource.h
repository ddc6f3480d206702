// The reading side shared by tables and queries: the current row's fields by name.
#pragma once

#include "engine/Engine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

class RowSource {
public:
    virtual ~RowSource() = default;

    bool eof() const { return eof_; }
    int fieldCount() const { return static_cast<int>(names_.size()); }
    const std::string& fieldName(int index) const { return names_.at(index); }
    bool hasField(const std::string& name) const { return findField(name) >= 0; }

    // Column names match without regard to letter case.
    const Value& value(const std::string& name) const;
    const Value& value(int index) const;
    bool isNull(const std::string& name) const;
    std::string asString(const std::string& name) const;
    std::string asString(int index) const;
    std::int64_t asInteger(const std::string& name) const;
    bool asBoolean(const std::string& name) const;
    DateTime asDateTime(const std::string& name) const;

    // What a column holds, where reading it differs.
    enum class Kind { Other, Char, Logical, TimeStamp };

protected:
    void setColumns(std::vector<std::string> names, std::vector<Kind> kinds);
    int findField(const std::string& name) const;
    int fieldIndex(const std::string& name) const; // throws when unknown
    static Kind kindOf(const char* declaredType);

    std::vector<std::string> names_;
    std::vector<Kind> kinds_;
    std::vector<Value> row_;
    bool eof_ = true;
    std::string columnsFile_; // the table file the columns come from, when one is known
};

} // namespace engine
