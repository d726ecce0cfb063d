#pragma once
// Filter expressions of table objects, turned into an SQL condition with bound values, so that no
// text of the expression reaches the SQL text except the names of the table's own fields.
//
//   expr    := term { (AND | OR) term }
//   term    := NOT term | '(' expr ')' | field op value | field IS [NOT] NULL
//   field   := Name | [Name]              (a field of the table, any letter case)
//   op      := = | <> | < | > | <= | >= | LIKE | NOT LIKE
//   value   := 'text' ('' inside is one quote) | number | #YYYY-MM-DD[ HH:MM:SS]# | NULL |
//              TRUE | FALSE
//
// In a LIKE pattern both * and % match any run of characters and _ matches one character.
// Text comparisons ignore letter case as the table's columns do.
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/dataset.h"

namespace vt::ado {

struct SqlCondition {
  std::string sql;  // empty for an empty expression
  std::vector<Variant> params;
};

// Throws AdoError (Syntax) for a malformed expression or an unknown field.
SqlCondition TranslateFilter(std::string_view expression, const std::vector<FieldDef>& fields);

}  // namespace vt::ado
