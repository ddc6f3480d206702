#include "engine/Dialect.h"

#include <cctype>
#include <optional>
#include <string_view>
#include <utility>

namespace engine::dialect {

namespace {

bool wordStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool wordPart(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

bool sameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// quoted() joins a NUL into a text as "' || char(0) || '"; the server's text cannot hold
// one, so the two halves become one text again.
constexpr std::string_view kNulSplice = "' || char(0) || '";

// Copies the text in single quotes that starts at sql[i] to out; returns the index after it.
size_t copyText(std::string_view sql, size_t i, std::string& out)
{
    out += '\'';
    ++i;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'') {
            if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                out += "''";
                i += 2;
                continue;
            }
            if (sql.substr(i, kNulSplice.size()) == kNulSplice) {
                i += kNulSplice.size();
                continue;
            }
            out += '\'';
            return i + 1;
        }
        out += c;
        ++i;
    }
    return i; // an unterminated text: the server says so
}

size_t skipBlanks(std::string_view sql, size_t i, std::string& out)
{
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
        out += sql[i++];
    return i;
}

bool callFollows(std::string_view sql, size_t i)
{
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
        ++i;
    return i < sql.size() && sql[i] == '(';
}

// "cast(<expression> as blob)" from the "(" after sql[i] on (blanks allowed before it): the
// expression, and the index after the closing ")"; nothing for any other cast. (A text's bytes
// in UTF-8: on the server, convert_to(<expression>, 'UTF8').)
std::optional<std::pair<std::string, size_t>> castAsBlob(std::string_view sql, size_t i)
{
    while (i < sql.size() && sql[i] != '(')
        ++i;
    const size_t open = i;
    int depth = 0;
    for (; i < sql.size(); ++i) {
        if (sql[i] == '\'') {
            std::string skipped;
            i = copyText(sql, i, skipped) - 1;
        } else if (sql[i] == '(') {
            ++depth;
        } else if (sql[i] == ')' && --depth == 0) {
            break;
        }
    }
    if (i >= sql.size())
        return std::nullopt;
    std::string_view inner = sql.substr(open + 1, i - open - 1);
    while (!inner.empty() && std::isspace(static_cast<unsigned char>(inner.front())))
        inner.remove_prefix(1);
    while (!inner.empty() && std::isspace(static_cast<unsigned char>(inner.back())))
        inner.remove_suffix(1);
    constexpr std::string_view blob = "blob", as = "as";
    if (inner.size() < blob.size() || !sameWord(inner.substr(inner.size() - blob.size()), blob))
        return std::nullopt;
    inner.remove_suffix(blob.size());
    if (inner.empty() || !std::isspace(static_cast<unsigned char>(inner.back())))
        return std::nullopt;
    while (!inner.empty() && std::isspace(static_cast<unsigned char>(inner.back())))
        inner.remove_suffix(1);
    if (inner.size() < as.size() || !sameWord(inner.substr(inner.size() - as.size()), as))
        return std::nullopt;
    inner.remove_suffix(as.size());
    if (inner.empty() || !std::isspace(static_cast<unsigned char>(inner.back())))
        return std::nullopt;
    while (!inner.empty() && std::isspace(static_cast<unsigned char>(inner.back())))
        inner.remove_suffix(1);
    return std::pair{std::string(inner), i + 1};
}

} // namespace

std::string serverSql(std::string_view sql)
{
    std::string out;
    out.reserve(sql.size() + 16);
    int parameter = 0;
    std::string previousWord;
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'') {
            i = copyText(sql, i, out);
            previousWord.clear();
        } else if (c == '"') {
            // A quoted name: the server's names are made in lower case.
            size_t end = i + 1;
            std::string name;
            while (end < sql.size()) {
                if (sql[end] == '"') {
                    if (end + 1 < sql.size() && sql[end + 1] == '"') {
                        name += "\"\"";
                        end += 2;
                        continue;
                    }
                    break;
                }
                name += sql[end++];
            }
            out += '"' + lower(name) + '"';
            i = end < sql.size() ? end + 1 : end;
            previousWord = "\"";
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            while (i < sql.size() && sql[i] != '\n')
                out += sql[i++];
        } else if (c == '?') {
            out += '$' + std::to_string(++parameter);
            ++i;
            previousWord.clear();
        } else if (wordStart(c)) {
            size_t end = i;
            while (end < sql.size() && wordPart(sql[end]))
                ++end;
            const std::string_view word = sql.substr(i, end - i);
            i = end;
            if (sameWord(word, "like")) {
                // Case folded, and no escape character, as in the table files.
                out += "ILIKE";
                i = skipBlanks(sql, i, out);
                if (i < sql.size() && sql[i] == '\'') {
                    i = copyText(sql, i, out);
                    out += " ESCAPE ''";
                }
                previousWord = "like";
                continue;
            }
            if (sameWord(word, "cast") && callFollows(sql, i)) {
                if (const auto bytes = castAsBlob(sql, i)) {
                    out += "convert_to(" + serverSql(bytes->first) + ", 'UTF8')";
                    i = bytes->second;
                    previousWord.clear();
                    continue;
                }
            }
            if (sameWord(previousWord, "collate") && (sameWord(word, "nocase") || sameWord(word, kNoCaseCollation)))
                out += kServerNoCase;
            else if (sameWord(word, "instr") && callFollows(sql, i))
                out += "strpos";
            else if (sameWord(word, "ifnull") && callFollows(sql, i))
                out += "coalesce";
            else
                out += word;
            previousWord = std::string(word);
        } else {
            if (!std::isspace(static_cast<unsigned char>(c)))
                previousWord.clear();
            out += c;
            ++i;
        }
    }
    return out;
}

std::string serverName(std::string_view name)
{
    std::string out = "\"";
    for (char c : lower(name)) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::string serverColumn(const FieldDef& field)
{
    const std::string name = serverName(field.name);
    switch (field.type) {
    case FieldType::AutoInc:
        // Keys that grow with every insert and are never handed out twice, even when a
        // transaction that took one is rolled back.
        return name + " bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
    case FieldType::TimeStamp:
        return name + " timestamp(0) without time zone";
    case FieldType::Char:
        // The width is kept by the table's trigger, which cuts longer text as the files do;
        // varchar(n) would refuse it instead.
        return name + " varchar";
    case FieldType::Integer:
        return name + " integer";
    case FieldType::Logical:
        return name + " boolean";
    }
    return name;
}

std::vector<std::string> serverCreateTable(const std::string& table, const std::vector<FieldDef>& fields)
{
    std::vector<std::string> statements;
    std::string create = "CREATE TABLE " + serverName(table) + " (";
    for (size_t i = 0; i < fields.size(); ++i)
        create += (i ? ", " : "") + serverColumn(fields[i]);
    statements.push_back(create + ")");

    std::string body;
    for (const FieldDef& f : fields) {
        if (f.type != FieldType::Char)
            continue;
        const std::string column = "NEW." + serverName(f.name);
        body += column + " := rtrim(left(" + column + ", " + std::to_string(f.width) + "), ' '); ";
    }
    if (!body.empty()) {
        const std::string function = serverName(lower(table) + "_fixed_width");
        statements.push_back("CREATE FUNCTION " + function + "() RETURNS trigger LANGUAGE plpgsql AS $body$ BEGIN " +
                             body + "RETURN NEW; END $body$");
        statements.push_back("CREATE TRIGGER " + serverName(lower(table) + "_fixed_width") +
                             " BEFORE INSERT OR UPDATE ON " + serverName(table) + " FOR EACH ROW EXECUTE FUNCTION " +
                             function + "()");
    }
    return statements;
}

std::string serverIndexName(const std::string& table, const std::string& index)
{
    // Index names are per table in the files and per database on the server.
    return serverName(table + "." + index);
}

std::string serverCreateIndex(const std::string& table, const IndexDef& index)
{
    std::string columns;
    size_t start = 0;
    const std::string_view fields = index.fields;
    for (;;) {
        const size_t end = fields.find(';', start);
        std::string_view f = fields.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        while (!f.empty() && std::isspace(static_cast<unsigned char>(f.front())))
            f.remove_prefix(1);
        while (!f.empty() && std::isspace(static_cast<unsigned char>(f.back())))
            f.remove_suffix(1);
        if (!f.empty())
            columns += (columns.empty() ? "" : ", ") +
                       (index.caseInsensitive ? std::string(kServerFold) + "(" + serverName(f) + ")" : serverName(f));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    if (columns.empty())
        throw EngineError("The index " + index.name + " names no field");
    return std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " + serverIndexName(table, index.name) +
           " ON " + serverName(table) + " (" + columns + ")" +
           (index.where.empty() ? std::string() : " WHERE " + serverSql(index.where));
}

std::vector<std::string> serverPreamble()
{
    // Level 2 of the Unicode collation: letters compare without their case, but with their
    // accents, as the files' collation does.
    const std::string fold = kServerFold;
    return {std::string("CREATE COLLATION IF NOT EXISTS ") + kServerNoCase +
                " (provider = icu, locale = 'und-u-ks-level2', deterministic = false)",
            // The case-insensitive indexes' rule, the files' own: each character on its own,
            // upper case, then lower case, as the C.UTF-8 locale maps them ("Ä" and "ä", "Σ",
            // "σ" and "ς" alike; "ß" and "ss", "ﬁ" and "fi" not). A server without that
            // locale maps as its database's own locale does.
            "DO $fold$ DECLARE c text; BEGIN IF to_regprocedure('" + fold +
                "(text)') IS NULL THEN "
                "SELECT quote_ident(collname) INTO c FROM pg_collation WHERE collname IN ('C.utf8', 'C.UTF-8') "
                "AND collencoding IN (-1, pg_char_to_encoding('UTF8')) ORDER BY collname DESC LIMIT 1; "
                "EXECUTE format('CREATE FUNCTION " +
                fold +
                "(text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE "
                "AS ''SELECT lower(upper($1%s))''', coalesce(' COLLATE ' || c, '')); "
                "END IF; END $fold$"};
}

} // namespace engine::dialect
