// The one place where the program's SQL becomes the SQL of a PostgreSQL server. The program
// writes its statements once, in the forms the SQLite files take; where the two dialects
// differ, the server's form is made here, and nowhere else:
// - "like" folds letter case in the files (ASCII letters) and knows no escape character:
//   it becomes ILIKE with ESCAPE '' (a backslash in the pattern is an ordinary character);
// - the case-folding collations (NOCASE, and the engine's NOCASE_UNICODE) become the
//   server's nondeterministic collation nocase_unicode (created with the tables);
// - Logical columns are booleans there and TimeStamp columns timestamps to the second,
//   AutoInc an identity column; True and False, and timestamp text such as
//   '2026-01-31 08:00:00', read the same in both;
// - names: unquoted names fold to lower case on the server, so tables and columns are made
//   with lower-case names, and a name in double quotes is lowered likewise;
// - cast(x as blob), a text's bytes, becomes convert_to(x, 'UTF8');
// - instr(a, b) becomes strpos(a, b), ifnull coalesce, and the NUL splice of quoted()
//   (' || char(0) || ') is dropped, since the server's text holds no NUL character.
// Everything else passes unchanged: "=", "<", "and", "or", parentheses, joins with aliases,
// max(...) as Name, order by, insert, update, delete, text in single quotes.
#pragma once

#include "engine/Engine.h"

#include <string>
#include <string_view>
#include <vector>

namespace engine::dialect {

// The collation that compares texts without regard to letter case on the server.
inline constexpr const char* kServerNoCase = "nocase_unicode";

// The function a case-insensitive index folds its fields with (see serverPreamble).
inline constexpr const char* kServerFold = "dovra_fold";

// A statement text (one or several statements) as the server reads it.
std::string serverSql(std::string_view sql);

// A table or column name as made on the server: in double quotes, in lower case.
std::string serverName(std::string_view name);

// The column of a field definition: AutoInc an identity key, TimeStamp timestamp(0),
// Char n varchar(n), Integer integer, Logical boolean.
std::string serverColumn(const FieldDef& field);

// The statements that make a table from its fields: the table, and where it has Char
// fields, the trigger that keeps them fixed-width (cut to the width, no trailing blanks)
// whichever way a row is written.
std::vector<std::string> serverCreateTable(const std::string& table, const std::vector<FieldDef>& fields);

// An index's name on the server, where index names are per database, not per table.
std::string serverIndexName(const std::string& table, const std::string& index);

// An index: unique, case-insensitive (each field folded by kServerFold as the files' collation
// folds letter case), partial (its
// where-clause translated as any statement is).
std::string serverCreateIndex(const std::string& table, const IndexDef& index);

// What every database of the program needs before its tables: the case-folding collation and
// the function of the case-insensitive indexes.
std::vector<std::string> serverPreamble();

} // namespace engine::dialect
