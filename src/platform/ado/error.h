#pragma once
// The one exception type of the data-access layer. Its message is the text the user reads.
#include <stdexcept>
#include <string>

namespace vt::ado {

enum class ErrorKind {
  Closed,    // operation on a closed connection or data set
  Locked,    // another process holds the database file
  Damaged,   // the file is not a database or its pages are broken
  NotFound,  // missing file, table, column or field
  State,     // operation not allowed in the data set's current state
  Syntax,    // malformed SQL text or filter expression
  Sql,       // any other failure the database engine reports
};

class AdoError : public std::runtime_error {
 public:
  AdoError(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  ErrorKind Kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

}  // namespace vt::ado
