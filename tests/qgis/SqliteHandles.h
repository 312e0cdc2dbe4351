#pragma once

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <memory>
#include <string>

namespace corvale::testing {

/// An SQLite connection and a prepared statement that close themselves.
struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;
struct Finalize {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

/// Runs SQL that must succeed (a test failure otherwise, naming the SQL).
inline void exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << (error ? error : "");
  sqlite3_free(error);
}

/// A statement that must prepare (a test failure otherwise).
inline Statement prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
      << sql << ": " << sqlite3_errmsg(db);
  return Statement(statement);
}

}  // namespace corvale::testing
