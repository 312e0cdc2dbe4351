#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "hosts/qgis/read/MappedReadVfs.h"
#include "hosts/qgis/read/SqliteTablePages.h"
#include "qgis/SqliteHandles.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;
using qgis::SqliteTablePages;
using qgis::TextBatch;
using qgis::TextRowSource;

using testing::Db;
using testing::exec;
using testing::prepare;
using testing::Statement;

/// A read-only connection as the GeoPackage reader opens one (mapped VFS, mmap_size set).
sqlite3* openReadOnly(const fs::path& file) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                            qgis::mappedReadVfs()),
            SQLITE_OK);
  sqlite3_exec(db, "PRAGMA mmap_size = 1099511627776", nullptr, nullptr, nullptr);
  return db;
}

/// One value as a reader hands it over: null, text (its bytes) or left to the caller.
struct Cell {
  enum Kind { Null, Text, Unread } kind = Null;
  std::string bytes;
  bool operator==(const Cell& other) const { return kind == other.kind && bytes == other.bytes; }
};
struct Row {
  int64_t id = 0;
  std::vector<Cell> cells;
};

std::string show(const Row& row) {
  std::string shown = "id " + std::to_string(row.id) + ":";
  for (const Cell& cell : row.cells) {
    shown += cell.kind == Cell::Null ? " null" : cell.kind == Cell::Unread ? " unread" : " text";
    if (cell.kind == Cell::Text) shown += "(" + std::to_string(cell.bytes.size()) + " bytes)";
  }
  return shown;
}

/**
 * The rows of SELECT id, columns FROM t stepped by SQLite, as the statement
 * reader hands them over: text up to its first NUL, NULL as null, any
 * other type read elsewhere.
 */
std::vector<Row> rowsBySqlite(const fs::path& file, const std::vector<std::string>& columns) {
  Db db(openReadOnly(file));
  std::string sql = "SELECT id";
  for (const auto& column : columns) sql += ", \"" + column + "\"";
  sql += " FROM t NOT INDEXED";
  Statement statement = prepare(db.get(), sql);
  std::vector<Row> rows;
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    Row row;
    row.id = sqlite3_column_int64(statement.get(), 0);
    for (int k = 1; k <= static_cast<int>(columns.size()); ++k) {
      Cell cell;
      switch (sqlite3_column_type(statement.get(), k)) {
        case SQLITE_NULL: break;
        case SQLITE_TEXT: {
          cell.kind = Cell::Text;
          const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), k));
          cell.bytes = std::string(bytes, strnlen(bytes, static_cast<size_t>(
                                                             sqlite3_column_bytes(statement.get(), k))));
          break;
        }
        default: cell.kind = Cell::Unread;
      }
      row.cells.push_back(cell);
    }
    rows.push_back(row);
  }
  EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db.get());
  return rows;
}

/// What a page read of the file gave: its rows and how it ended.
struct PageRead {
  bool served = false;  ///< false: open() left the table to the statement reader
  std::vector<Row> rows;
  TextRowSource::Read end = TextRowSource::Read::More;
  std::string error;
};

PageRead rowsByPages(const fs::path& file, const std::vector<std::string>& columns,
                     const std::string& idColumn = "id") {
  PageRead read;
  sqlite3* db = openReadOnly(file);
  auto source = SqliteTablePages::open(db, "t", idColumn, columns);
  if (!source) {
    // The connection is the caller's again, with no transaction left open.
    EXPECT_NE(sqlite3_get_autocommit(db), 0);
    sqlite3_close(db);
    return read;
  }
  read.served = true;
  TextBatch batch(columns.size());
  // Every read either yields rows or moves through pages, so a sound reader ends long before this.
  for (int calls = 0; calls < 1000000; ++calls) {
    batch.clear();
    read.end = source->read(batch, 4096, read.error);
    for (size_t r = 0; r < batch.rows(); ++r) {
      Row row;
      row.id = batch.id(r);
      for (size_t k = 0; k < columns.size(); ++k) {
        Cell cell;
        // A value left to the caller is neither null nor plain, and holds no bytes.
        if (const auto text = batch.text(r, k)) {
          cell.kind = !batch.plain(r, k) && text->empty() ? Cell::Unread : Cell::Text;
          cell.bytes = std::string(*text);
        }
        row.cells.push_back(cell);
      }
      read.rows.push_back(row);
    }
    if (read.end != TextRowSource::Read::More) return read;
  }
  ADD_FAILURE() << "the page read of " << file << " does not end";
  return read;
}

/**
 * The page read and SQLite's rows, exactly alike. `mayBeUnread(id, k)`: a
 * value the page read may leave to the caller although SQLite gives one (a
 * short record's column with a default).
 */
void expectSameRows(const fs::path& file, const std::vector<std::string>& columns,
                    const std::function<bool(int64_t, size_t)>& mayBeUnread = nullptr) {
  const std::vector<Row> expected = rowsBySqlite(file, columns);
  const PageRead got = rowsByPages(file, columns);
  ASSERT_TRUE(got.served) << file;
  ASSERT_EQ(got.end, TextRowSource::Read::End) << got.error;
  ASSERT_EQ(got.rows.size(), expected.size()) << file;
  for (size_t r = 0; r < expected.size(); ++r) {
    const Row& want = expected[r];
    const Row& have = got.rows[r];
    bool same = want.id == have.id && want.cells.size() == have.cells.size();
    for (size_t k = 0; same && k < want.cells.size(); ++k) {
      same = want.cells[k] == have.cells[k] ||
             (mayBeUnread && want.cells[k].kind != Cell::Null && have.cells[k].kind == Cell::Unread &&
              mayBeUnread(want.id, k));
    }
    ASSERT_TRUE(same) << file << " row " << r << ": SQLite " << show(want) << ", pages "
                      << show(have);
  }
}

/// An empty database file made with these settings before its first table.
Db createDb(const fs::path& file, int pageSize, int reserve, const std::string& settings = "") {
  fs::remove(file);
  fs::remove(file.string() + "-journal");
  fs::remove(file.string() + "-wal");
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  exec(db, "PRAGMA page_size = " + std::to_string(pageSize));
  // Reserved bytes before any other setting: auto_vacuum fixes the page's layout.
  if (reserve > 0) {
    int bytes = reserve;
    EXPECT_EQ(sqlite3_file_control(db, "main", SQLITE_FCNTL_RESERVE_BYTES, &bytes), SQLITE_OK);
  }
  if (!settings.empty()) exec(db, settings);
  return Db(db);
}

/// Usable bytes of the file's pages (page size less reserved bytes), from its header.
int usableOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char header[100];
  in.read(reinterpret_cast<char*>(header), sizeof header);
  const int pageSize = header[16] * 256 + header[17];
  return (pageSize == 1 ? 65536 : pageSize) - header[20];
}

/**
 * Rows of every kind a reader meets, by number i: short, empty and long
 * texts (around the most a page holds of a record, on one and on several
 * overflow pages), NULL, integers, reals, blobs, NUL bytes and bytes that are
 * not UTF-8 inside texts; a geometry blob ahead of them, sometimes large
 * enough that the texts lie wholly on overflow pages.
 */
void bindRow(sqlite3_stmt* insert, int64_t id, int i, int usable, std::mt19937& random) {
  sqlite3_reset(insert);
  sqlite3_bind_int64(insert, 1, id);
  const int maxLocal = usable - 35;
  std::string geom(static_cast<size_t>(i % 17 == 0 ? usable * 2 + i % 50 : 21 + i % 30), 'g');
  sqlite3_bind_blob(insert, 2, geom.data(), static_cast<int>(geom.size()), SQLITE_TRANSIENT);
  for (int column = 3; column <= 4; ++column) {
    const int kind = (i + column * 5) % 12;
    std::string text;
    switch (kind) {
      case 0: text = "Main Street " + std::to_string(random() % 1000); break;
      case 1: sqlite3_bind_null(insert, column); continue;
      case 2: sqlite3_bind_int64(insert, column, static_cast<int64_t>(random())); continue;
      case 3: sqlite3_bind_double(insert, column, 0.5 + i); continue;
      case 4: sqlite3_bind_blob(insert, column, "b\0lob", 5, SQLITE_STATIC); continue;
      case 5: text = std::string("Nul\0After", 9); break;
      case 6: text = "Stra\xDF" "e \xFF\xFE"; break;
      case 7: text = ""; break;
      // Around the most a page keeps of a record: the record's size sweeps across it.
      case 8:
      case 9: text.assign(static_cast<size_t>(maxLocal - 60 + i % 80), 'a' + static_cast<char>(i % 26)); break;
      case 10: text.assign(static_cast<size_t>(usable + i % 40), 'o'); break;
      default: text.assign(static_cast<size_t>(usable * 4 + i % usable), 'p'); break;
    }
    if (kind != 7 && !text.empty()) text[text.size() / 2] = static_cast<char>('A' + i % 26);
    sqlite3_bind_text(insert, column, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
}

/**
 * The table t(id, geom, name, kind) with `rows` rows of every kind, their ids
 * from -rows/2 upwards, in a shuffled order, with gaps, and the extremes.
 */
void fillTable(sqlite3* db, const fs::path& file, int rows, unsigned seed) {
  exec(db, "CREATE TABLE t(id INTEGER PRIMARY KEY, geom BLOB, name TEXT, kind TEXT)");
  const int usable = usableOf(file);
  std::mt19937 random(seed);
  std::vector<int64_t> ids;
  for (int i = 0; i < rows; ++i) ids.push_back(int64_t{i} * (i % 3 == 0 ? 7 : 1) - rows / 2);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  ids.push_back(std::numeric_limits<int64_t>::min());
  ids.push_back(std::numeric_limits<int64_t>::max());
  ids.push_back(int64_t{1} << 40);
  // Half in order (a tree written in order), half shuffled (pages all over the file).
  std::shuffle(ids.begin() + static_cast<std::ptrdiff_t>(ids.size() / 2), ids.end(), random);
  exec(db, "BEGIN");
  Statement insert = prepare(db, "INSERT INTO t VALUES (?1, ?2, ?3, ?4)");
  for (size_t i = 0; i < ids.size(); ++i)
    bindRow(insert.get(), ids[i], static_cast<int>(i), usable, random);
  exec(db, "COMMIT");
}

class SqliteTablePagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("corvale-table-pages-" + std::to_string(getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(SqliteTablePagesTest, EveryPageSizeAndKindOfValueReadsAsSqliteReadsIt) {
  struct Layout {
    int pageSize, reserve, rows;
    std::string settings;
  };
  const Layout layouts[] = {
      {512, 0, 3000, ""},                          // a tree of three levels and more
      {512, 32, 2000, "PRAGMA auto_vacuum = FULL;"},  // reserved bytes, pointer-map pages
      {4096, 0, 4000, ""},
      {4096, 17, 3000, "PRAGMA auto_vacuum = FULL;"},
      {65536, 0, 300, ""},
      {65536, 255, 200, ""},
  };
  for (const Layout& layout : layouts) {
    const fs::path file = folder_ / ("t" + std::to_string(layout.pageSize) + "_" +
                                     std::to_string(layout.reserve) + ".sqlite");
    {
      Db db = createDb(file, layout.pageSize, layout.reserve, layout.settings);
      fillTable(db.get(), file, layout.rows, static_cast<unsigned>(layout.pageSize + layout.reserve));
      // Deleted rows leave free pages (or, with auto_vacuum, moved ones).
      exec(db.get(), "DELETE FROM t WHERE id % 5 = 0 OR id BETWEEN 100 AND 400");
      // An index that holds the columns read is not the table's order.
      exec(db.get(), "CREATE INDEX t_name ON t(name, kind)");
    }
    ASSERT_EQ(usableOf(file), layout.pageSize - layout.reserve);
    SCOPED_TRACE(file.string());
    expectSameRows(file, {"name", "kind"});
    expectSameRows(file, {"KIND"});
  }
}

TEST_F(SqliteTablePagesTest, ATreeOfThreeLevelsOrMoreIsWalkedWhole) {
  const fs::path file = folder_ / "deep.sqlite";
  {
    Db db = createDb(file, 512, 0);
    exec(db.get(), "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT)");
    exec(db.get(),
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) "
         "INSERT INTO t SELECT i * 1000003, 'street ' || i FROM n");
  }
  // Depth: the root's first child's first child is still an interior page.
  Db db(openReadOnly(file));
  Statement depth = prepare(db.get(), "SELECT max(length(path) - length(replace(path, '/', ''))) "
                                      "FROM dbstat WHERE name = 't'");
  ASSERT_TRUE(depth && sqlite3_step(depth.get()) == SQLITE_ROW);
  EXPECT_GE(sqlite3_column_int(depth.get(), 0), 3);
  expectSameRows(file, {"name"});
}

TEST_F(SqliteTablePagesTest, AnEmptyTableEndsAtOnce) {
  const fs::path file = folder_ / "empty.sqlite";
  {
    Db db = createDb(file, 4096, 0);
    exec(db.get(), "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT)");
    exec(db.get(), "INSERT INTO t VALUES (1, 'x'); DELETE FROM t");
  }
  const PageRead read = rowsByPages(file, {"name"});
  ASSERT_TRUE(read.served);
  EXPECT_EQ(read.end, TextRowSource::Read::End);
  EXPECT_TRUE(read.rows.empty());
}

TEST_F(SqliteTablePagesTest, ColumnsAddedLaterReadAsTheirDefaults) {
  const fs::path file = folder_ / "altered.sqlite";
  {
    Db db = createDb(file, 1024, 0);
    fillTable(db.get(), file, 600, 7);
    exec(db.get(),
         "ALTER TABLE t ADD COLUMN plain TEXT;"
         "ALTER TABLE t ADD COLUMN given TEXT DEFAULT 'unnamed';"
         "ALTER TABLE t ADD COLUMN nulled TEXT DEFAULT NULL;"
         "ALTER TABLE t ADD COLUMN counted INTEGER DEFAULT 3;"
         "INSERT INTO t(id, name, plain, given, nulled) VALUES (1000000, 'a', 'b', NULL, 'd');"
         "INSERT INTO t(id, name, plain, given) VALUES (1000001, NULL, NULL, 'e');");
  }
  // A short record's `given` and `counted` are their defaults, which the caller reads.
  expectSameRows(file, {"plain", "given", "nulled", "name", "counted"},
                 [](int64_t id, size_t k) { return id != 1000000 && id != 1000001 && (k == 1 || k == 4); });
  const PageRead read = rowsByPages(file, {"given", "plain"});
  ASSERT_TRUE(read.served);
  ASSERT_FALSE(read.rows.empty());
  EXPECT_EQ(read.rows.front().cells[0].kind, Cell::Unread);
  EXPECT_EQ(read.rows.front().cells[1].kind, Cell::Null);
}

TEST_F(SqliteTablePagesTest, OnlyTablesItReadsExactlyAreServed) {
  const fs::path wal = folder_ / "wal.sqlite";
  {
    Db db = createDb(wal, 4096, 0, "PRAGMA journal_mode = WAL;");
    fillTable(db.get(), wal, 300, 1);
    exec(db.get(), "PRAGMA wal_autocheckpoint = 0");
    exec(db.get(), "UPDATE t SET name = 'changed in the log' WHERE id % 2 = 0");
  }
  const fs::path utf16 = folder_ / "utf16.sqlite";
  {
    Db db = createDb(utf16, 4096, 0, "PRAGMA encoding = 'UTF-16le';");
    fillTable(db.get(), utf16, 300, 2);
  }
  const fs::path others = folder_ / "others.sqlite";
  {
    Db db = createDb(others, 4096, 0);
    exec(db.get(),
         "CREATE TABLE w(id INTEGER PRIMARY KEY, name TEXT) WITHOUT ROWID;"
         "CREATE TABLE g(id INTEGER PRIMARY KEY, a TEXT, b TEXT GENERATED ALWAYS AS (a || 'x'), name TEXT);"
         "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT);"
         "INSERT INTO w VALUES (1, 'a'); INSERT INTO g(id, a, name) VALUES (1, 'a', 'n');"
         "INSERT INTO t VALUES (1, 'a');");
  }
  EXPECT_FALSE(rowsByPages(wal, {"name"}).served);
  EXPECT_FALSE(rowsByPages(utf16, {"name"}).served);
  EXPECT_FALSE(rowsByPages(others, {"missing"}).served);
  EXPECT_FALSE(rowsByPages(others, {"id"}).served);
  EXPECT_FALSE(rowsByPages(others, {"name"}, "name").served);
  EXPECT_TRUE(rowsByPages(others, {"name"}).served);
  for (const char* table : {"w", "g"}) {
    sqlite3* db = openReadOnly(others);
    EXPECT_EQ(SqliteTablePages::open(db, table, "id", {"name"}), nullptr) << table;
    EXPECT_NE(sqlite3_get_autocommit(db), 0);
    sqlite3_close(db);
  }
}

TEST_F(SqliteTablePagesTest, NoWriterCommitsWhileTheTableIsRead) {
  const fs::path file = folder_ / "locked.sqlite";
  Db writer = createDb(file, 4096, 0);
  fillTable(writer.get(), file, 50, 3);
  sqlite3* db = openReadOnly(file);
  auto source = SqliteTablePages::open(db, "t", "id", {"name"});
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(sqlite3_exec(writer.get(), "UPDATE t SET name = 'x'", nullptr, nullptr, nullptr),
            SQLITE_BUSY);
  source.reset();
  exec(writer.get(), "UPDATE t SET name = 'x'");
}

/// The file's bytes.
std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(),
                                                                 static_cast<std::streamsize>(bytes.size()));
}

/// Pages of the table's tree and its overflow chains, by number (SQLite's own dbstat).
std::vector<std::pair<int64_t, std::string>> pagesOf(const fs::path& file) {
  Db db(openReadOnly(file));
  Statement pages = prepare(db.get(), "SELECT pageno, pagetype FROM dbstat WHERE name = 't'");
  std::vector<std::pair<int64_t, std::string>> found;
  while (pages && sqlite3_step(pages.get()) == SQLITE_ROW) {
    found.emplace_back(sqlite3_column_int64(pages.get(), 0),
                       reinterpret_cast<const char*>(sqlite3_column_text(pages.get(), 1)));
  }
  return found;
}

TEST_F(SqliteTablePagesTest, ADamagedFileEndsTheReadWithAFailureOrRowsNeverACrash) {
  const fs::path original = folder_ / "sound.sqlite";
  {
    Db db = createDb(original, 512, 0);
    fillTable(db.get(), original, 150, 11);
  }
  const std::string sound = bytesOf(original);
  const auto pages = pagesOf(original);
  ASSERT_FALSE(pages.empty()) << "SQLite without dbstat";
  const size_t pageSize = 512;
  const fs::path file = folder_ / "damaged.sqlite";
  std::mt19937 random(5);
  int failed = 0, ended = 0;
  auto tryDamage = [&](const std::string& bytes, const std::string& what) {
    write(file, bytes);
    const PageRead read = rowsByPages(file, {"name", "kind"});
    // A root that is no table page leaves the table to SQLite, which reports the damage itself.
    if (!read.served) return TextRowSource::Read::Failed;
    EXPECT_NE(read.end, TextRowSource::Read::More) << what;
    if (read.end == TextRowSource::Read::Failed) {
      ++failed;
      EXPECT_EQ(read.error.rfind("Reading the GeoPackage failed: ", 0), 0u) << read.error;
    } else {
      ++ended;
    }
    return read.end;
  };
  for (const auto& [number, type] : pages) {
    const size_t at = static_cast<size_t>(number - 1) * pageSize;
    // Bytes of the page's header and its first cell pointers, set to telling values.
    for (size_t offset = 0; offset < 24; ++offset) {
      for (unsigned char value : {0x00, 0x7F, 0xFF}) {
        if ((offset + value + static_cast<size_t>(number)) % 4 != 0) continue;
        std::string bytes = sound;
        bytes[at + offset] = static_cast<char>(value);
        tryDamage(bytes, type + " page " + std::to_string(number) + " byte " + std::to_string(offset));
      }
    }
    // Random bytes inside the cells.
    for (int n = 0; n < 2; ++n) {
      std::string bytes = sound;
      bytes[at + 40 + random() % (pageSize - 40)] = static_cast<char>(random());
      tryDamage(bytes, type + " page " + std::to_string(number) + " a cell byte");
    }
    if (type == "leaf" || type == "internal") {
      // Not a page of a table: must fail, never be read as one.
      std::string bytes = sound;
      bytes[at] = 0x0A;
      EXPECT_EQ(tryDamage(bytes, "page " + std::to_string(number) + " made an index page"),
                TextRowSource::Read::Failed);
    }
    if (type == "overflow") {
      // The chain made a cycle: the page names itself as the next one.
      std::string bytes = sound;
      for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(number >> (24 - 8 * i));
      tryDamage(bytes, "overflow page " + std::to_string(number) + " made a cycle");
    }
  }
  // An interior page whose child is the page itself: a cycle of the tree.
  for (const auto& [number, type] : pages) {
    if (type != "internal") continue;
    std::string bytes = sound;
    const size_t at = static_cast<size_t>(number - 1) * pageSize;
    for (int i = 0; i < 4; ++i) bytes[at + 8 + static_cast<size_t>(i)] = static_cast<char>(number >> (24 - 8 * i));
    EXPECT_EQ(tryDamage(bytes, "a tree cycle at " + std::to_string(number)), TextRowSource::Read::Failed);
  }
  // The file cut short.
  for (size_t keep : {sound.size() / 2, sound.size() - pageSize}) {
    tryDamage(sound.substr(0, keep), "cut");
  }
  EXPECT_GT(failed, 50);
  EXPECT_GT(ended, 0);
}

}  // namespace
}  // namespace corvale
