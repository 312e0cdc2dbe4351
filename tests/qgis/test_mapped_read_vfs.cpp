#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "hosts/qgis/read/MappedReadVfs.h"
#include "qgis/SqliteHandles.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

using testing::Db;
using testing::exec;
using testing::prepare;
using testing::Statement;

/// A read-only connection, through the mapped VFS (with mmap_size set, as the reader sets it) or SQLite's default.
Db openReadOnly(const fs::path& file, bool mapped) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                                 mapped ? qgis::mappedReadVfs() : nullptr);
  EXPECT_EQ(rc, SQLITE_OK);
  if (mapped) exec(db, "PRAGMA mmap_size = 1099511627776");
  return Db(db);
}

/// Every value of a row, folded into a running digest (FNV-1a), with the row count.
struct Digest {
  uint64_t hash = 1469598103934665603ull;
  int64_t rows = 0;
  void add(sqlite3_stmt* statement) {
    ++rows;
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
      const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement, c));
      const int size = sqlite3_column_bytes(statement, c);
      for (int i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
      hash = (hash ^ 0xFFu) * 1099511628211ull;
    }
  }
  bool operator==(const Digest& other) const { return hash == other.hash && rows == other.rows; }
};

/// Mappings of the file in this process now (/proc/self/maps).
int mappingsOf(const fs::path& file) {
  std::ifstream maps("/proc/self/maps");
  const std::string name = fs::canonical(file).string();
  int count = 0;
  for (std::string line; std::getline(maps, line);) {
    if (line.size() >= name.size() && line.compare(line.size() - name.size(), name.size(), name) == 0) {
      ++count;
    }
  }
  return count;
}

/**
 * A database of about 40 MB, many windows long: two tables whose rows were
 * inserted in turns, so that their pages alternate in the file, an index
 * whose order is not the rows' order, and texts of varied lengths, some of
 * them longer than a page (overflow pages).
 */
class MappedReadVfs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new fs::path(fs::temp_directory_path() /
                           ("corvale_mapped_vfs_" + std::to_string(::getpid())));
    fs::create_directories(*folder_);
    file_ = new fs::path(*folder_ / "windows.sqlite");
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file_->c_str(), &raw), SQLITE_OK);
    Db db(raw);
    exec(raw,
         "PRAGMA page_size = 4096; BEGIN;"
         "CREATE TABLE a (id INTEGER PRIMARY KEY, ref INTEGER, t TEXT);"
         "CREATE TABLE b (id INTEGER PRIMARY KEY, v TEXT);");
    auto insertA = prepare(raw, "INSERT INTO a (ref, t) VALUES (?, ?)");
    auto insertB = prepare(raw, "INSERT INTO b (v) VALUES (?)");
    uint64_t state = 12345;
    auto next = [&] {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      return state >> 33;
    };
    for (int row = 0; row < kRows; ++row) {
      const size_t length = row % 997 == 0 ? 5000 + next() % 3000 : 40 + next() % 140;
      std::string text(length, ' ');
      for (char& c : text)
        c = static_cast<char>('a' + next() % 26);
      sqlite3_bind_int64(insertA.get(), 1, static_cast<int64_t>(1 + next() % kRows));
      sqlite3_bind_text(insertA.get(), 2, text.c_str(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
      ASSERT_EQ(sqlite3_step(insertA.get()), SQLITE_DONE);
      sqlite3_reset(insertA.get());
      std::reverse(text.begin(), text.end());
      sqlite3_bind_text(insertB.get(), 1, text.c_str(), static_cast<int>(text.size() / 2),
                        SQLITE_TRANSIENT);
      ASSERT_EQ(sqlite3_step(insertB.get()), SQLITE_DONE);
      sqlite3_reset(insertB.get());
    }
    exec(raw, "CREATE INDEX b_v ON b (v); COMMIT;");
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(*folder_, ignored);
    delete file_;
    delete folder_;
  }
  void SetUp() override {
    if (!qgis::mappedReadsCover(folder_->c_str())) {
      GTEST_SKIP() << "the temporary folder's file system is read without mappings";
    }
  }

  /// The query's rows through one connection; the most windows mapped at once while stepping.
  Digest run(sqlite3* db, const std::string& sql, int* mostMapped = nullptr) {
    Digest digest;
    auto statement = prepare(db, sql);
    int step = 0;
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
      digest.add(statement.get());
      if (mostMapped && ++step % 4096 == 0) *mostMapped = std::max(*mostMapped, mappingsOf(*file_));
    }
    EXPECT_EQ(sqlite3_errcode(db), SQLITE_DONE) << sqlite3_errmsg(db);
    return digest;
  }

  static constexpr int kRows = 150000;
  static fs::path* folder_;
  static fs::path* file_;
};

fs::path* MappedReadVfs::folder_ = nullptr;
fs::path* MappedReadVfs::file_ = nullptr;

TEST_F(MappedReadVfs, ReadsWhatSqlitesOwnFilesReadInScansJumpsAndIndexOrder) {
  ASSERT_GT(fs::file_size(*file_), static_cast<uintmax_t>(8 * qgis::kMappedWindowBytes));
  const std::vector<std::string> queries = {
      "SELECT id, ref, t FROM a",
      "SELECT v, id FROM b ORDER BY v",                       // the index: pages in its order
      "SELECT a.id, b.v FROM a JOIN b ON b.id = a.ref",       // a page of b anywhere, per row
      "SELECT count(*), sum(length(t)) FROM a",
  };
  Db plain = openReadOnly(*file_, false);
  for (const auto& sql : queries) {
    int mostMapped = 0;
    Db mapped = openReadOnly(*file_, true);
    const Digest expected = run(plain.get(), sql);
    const Digest got = run(mapped.get(), sql, &mostMapped);
    EXPECT_EQ(got, expected) << sql;
    EXPECT_GT(got.rows, 0) << sql;
    EXPECT_LE(mostMapped, qgis::kMappedWindows) << sql;
    if (sql.find("count(*)") == std::string::npos) {
      EXPECT_GT(mostMapped, 0) << sql << ": nothing mapped";
    }
    mapped.reset();
    EXPECT_EQ(mappingsOf(*file_), 0) << sql << ": mappings outlive their connection";
  }
}

TEST_F(MappedReadVfs, CursorsHoldingMoreWindowsThanItMapsReadTheRestAsUsual) {
  // Twelve cursors in twelve parts of the table, stepped in turns: each holds
  // pages of its own windows, more than may be mapped at once.
  constexpr int kCursors = 12;
  auto stepAll = [&](sqlite3* db, int* mostMapped) {
    std::vector<Statement> cursors;
    for (int k = 0; k < kCursors; ++k) {
      cursors.push_back(prepare(db, "SELECT id, t FROM a WHERE id > " +
                                        std::to_string(k * kRows / kCursors) + " LIMIT 20000"));
    }
    std::vector<Digest> digests(kCursors);
    int round = 0;
    for (bool any = true; any; ++round) {
      any = false;
      for (int k = 0; k < kCursors; ++k) {
        if (cursors[k] && sqlite3_step(cursors[k].get()) == SQLITE_ROW) {
          digests[k].add(cursors[k].get());
          any = true;
        } else {
          cursors[k].reset();
        }
      }
      if (mostMapped && round % 512 == 0) *mostMapped = std::max(*mostMapped, mappingsOf(*file_));
    }
    return digests;
  };
  Db plain = openReadOnly(*file_, false);
  Db mapped = openReadOnly(*file_, true);
  int mostMapped = 0;
  const std::vector<Digest> expected = stepAll(plain.get(), nullptr);
  const std::vector<Digest> got = stepAll(mapped.get(), &mostMapped);
  for (int k = 0; k < kCursors; ++k) {
    EXPECT_EQ(got[k], expected[k]) << "cursor " << k;
    EXPECT_EQ(got[k].rows, std::min(20000, kRows - k * kRows / kCursors)) << "cursor " << k;
  }
  EXPECT_GT(mostMapped, 1);
  EXPECT_LE(mostMapped, qgis::kMappedWindows);
}

TEST_F(MappedReadVfs, PagesRewrittenInTheWriteAheadLogAreReadFromTheLog) {
  const fs::path copy = *folder_ / "logged.sqlite";
  fs::copy_file(*file_, copy, fs::copy_options::overwrite_existing);
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(copy.c_str(), &raw), SQLITE_OK);
  Db writer(raw);
  // The writer stays open and never checkpoints: the new pages live in the log only.
  exec(raw, "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;");
  exec(raw, "UPDATE a SET t = 'changed ' || id WHERE id % 7 = 3");
  Db plain = openReadOnly(copy, false);
  Db mapped = openReadOnly(copy, true);
  const Digest expected = run(plain.get(), "SELECT id, t FROM a");
  EXPECT_EQ(run(mapped.get(), "SELECT id, t FROM a"), expected);
  auto changed = prepare(mapped.get(), "SELECT t FROM a WHERE id = 70003");
  ASSERT_EQ(sqlite3_step(changed.get()), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(changed.get(), 0)),
               "changed 70003");
}

}  // namespace
}  // namespace corvale
