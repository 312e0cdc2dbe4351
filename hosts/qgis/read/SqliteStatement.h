#pragma once

#include <string>

#include <sqlite3.h>

namespace corvale::qgis {

/// A prepared statement that finalizes itself; false where it did not prepare.
class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement_, nullptr) != SQLITE_OK) {
      sqlite3_finalize(statement_);
      statement_ = nullptr;
    }
  }
  ~SqliteStatement() { sqlite3_finalize(statement_); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  explicit operator bool() const { return statement_ != nullptr; }
  sqlite3_stmt* get() const { return statement_; }
  /// True for a row; false at the end or where the step failed.
  bool step() { return statement_ && sqlite3_step(statement_) == SQLITE_ROW; }
  std::string text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    return text ? reinterpret_cast<const char*>(text) : std::string();
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

}  // namespace corvale::qgis
