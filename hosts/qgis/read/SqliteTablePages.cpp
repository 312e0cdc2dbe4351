#include "hosts/qgis/read/SqliteTablePages.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "hosts/qgis/read/SqliteStatement.h"

namespace corvale::qgis {

namespace {

constexpr unsigned char kInteriorTablePage = 0x05;
constexpr unsigned char kLeafTablePage = 0x0D;
/// Pages of one read of consecutive children, at most.
constexpr size_t kRunPages = 64;
/// Bytes of rows in one batch, as the statement reader fills it.
constexpr size_t kBatchBytes = size_t{1} << 20;
/// The byte SQLite locks a file at: its page never belongs to a table.
constexpr int64_t kLockByte = 0x40000000;

uint32_t get2(const unsigned char* p) { return uint32_t{p[0]} << 8 | p[1]; }
uint32_t get4(const unsigned char* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

/// SQLite's variable-length integer at p, within `room` bytes; its length, or 0 where it does not fit.
size_t longVarint(const unsigned char* p, size_t room, uint64_t& value) {
  value = 0;
  for (size_t i = 0; i < 8; ++i) {
    if (i >= room) return 0;
    value = value << 7 | (p[i] & 0x7Fu);
    if (!(p[i] & 0x80u)) return i + 1;
  }
  if (room < 9) return 0;
  value = value << 8 | p[8];
  return 9;
}

/// The same, one byte long in most cells and records.
inline size_t varint(const unsigned char* p, size_t room, uint64_t& value) {
  if (room > 0 && p[0] < 0x80) {
    value = p[0];
    return 1;
  }
  return longVarint(p, room, value);
}

bool sameName(const unsigned char* a, const std::string& b) {
  return a && sqlite3_stricmp(reinterpret_cast<const char*>(a), b.c_str()) == 0;
}

/// A default whose value is NULL as written (`DEFAULT NULL`, or none); anything else may not be.
bool nullDefault(const unsigned char* declared) {
  return !declared || sqlite3_stricmp(reinterpret_cast<const char*>(declared), "NULL") == 0;
}

std::string damaged(uint32_t page, const std::string& what) {
  return "Reading the GeoPackage failed: the file is damaged (page " + std::to_string(page) +
         ": " + what + ").";
}

}  // namespace

std::unique_ptr<SqliteTablePages> SqliteTablePages::open(sqlite3* db, const std::string& table,
                                                         const std::string& idColumn,
                                                         const std::vector<std::string>& columns) {
  if (!db || columns.empty() || sqlite3_get_autocommit(db) == 0) return nullptr;
  if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return nullptr;
  // Ends the read transaction wherever the table is not read here.
  struct Transaction {
    sqlite3* db;
    bool kept = false;
    ~Transaction() {
      if (!kept) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
  } transaction{db};

  // The first read holds the file until COMMIT, a hot journal rolled back.
  int64_t root = 0;
  {
    SqliteStatement master(db,
                           "SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name = ?1");
    if (!master) return nullptr;
    sqlite3_bind_text(master.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(master.get()) != SQLITE_ROW) return nullptr;
    root = sqlite3_column_int64(master.get(), 0);
    if (sqlite3_step(master.get()) != SQLITE_DONE) return nullptr;
  }

  // A column's place in the record is its number only where no column is hidden or generated.
  std::vector<Column> wanted(columns.size());
  std::vector<bool> found(columns.size(), false);
  bool idFound = false;
  {
    SqliteStatement info(db,
                         "SELECT cid, name, hidden, dflt_value, pk FROM pragma_table_xinfo(?1)");
    if (!info) return nullptr;
    sqlite3_bind_text(info.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    int result;
    while ((result = sqlite3_step(info.get())) == SQLITE_ROW) {
      sqlite3_stmt* s = info.get();
      const int64_t cid = sqlite3_column_int64(s, 0);
      const unsigned char* name = sqlite3_column_text(s, 1);
      if (sqlite3_column_int64(s, 2) != 0 || cid < 0) return nullptr;
      const bool key = sqlite3_column_int64(s, 4) != 0;
      if (sameName(name, idColumn)) {
        if (!key) return nullptr;
        idFound = true;
      }
      for (size_t k = 0; k < columns.size(); ++k) {
        if (!sameName(name, columns[k])) continue;
        // The rowid's alias is NULL in the record; it is never a text column anyway.
        if (key) return nullptr;
        wanted[k].place = static_cast<size_t>(cid);
        wanted[k].nullDefault = nullDefault(sqlite3_column_text(s, 3));
        found[k] = true;
      }
    }
    if (result != SQLITE_DONE || !idFound) return nullptr;
    if (std::find(found.begin(), found.end(), false) != found.end()) return nullptr;
  }

  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods || !file->pMethods->xRead || !file->pMethods->xFileSize) {
    return nullptr;
  }
  unsigned char header[100];
  if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK ||
      std::memcmp(header, "SQLite format 3", 16) != 0) {
    return nullptr;
  }
  const uint32_t pageSize = get2(header + 16) == 1 ? 65536u : get2(header + 16);
  if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0) return nullptr;
  // Versions 1: a rollback journal, no write-ahead log whose frames would override pages.
  if (header[18] != 1 || header[19] != 1) return nullptr;
  if (get4(header + 56) != SQLITE_UTF8) return nullptr;
  const uint32_t usable = pageSize - header[20];
  if (usable < 480) return nullptr;
  sqlite3_int64 fileSize = 0;
  if (file->pMethods->xFileSize(file, &fileSize) != SQLITE_OK || fileSize < pageSize) return nullptr;
  const int64_t filePages = fileSize / pageSize;
  int64_t pageCount = filePages;
  if (get4(header + 28) != 0 && get4(header + 24) == get4(header + 92)) {
    pageCount = get4(header + 28);
    if (pageCount > filePages) return nullptr;
  }
  if (pageCount > int64_t{UINT32_MAX} || root < 2 || root > pageCount) return nullptr;

  std::unique_ptr<SqliteTablePages> source(new SqliteTablePages(db, file, static_cast<uint32_t>(root), pageSize, usable,
                                    static_cast<uint32_t>(pageCount), std::move(wanted)));
  // A table without rowids is an index tree: its root is no table page.
  std::vector<unsigned char> first(pageSize);
  std::string error;
  if (!source->readPages(static_cast<uint32_t>(root), 1, first.data(), error) ||
      (first[0] != kLeafTablePage && first[0] != kInteriorTablePage)) {
    source->db_ = nullptr;  // the caller keeps the connection
    source.reset();
    return nullptr;
  }
  source->visited_ = 0;
  transaction.kept = true;
  return source;
}

SqliteTablePages::SqliteTablePages(sqlite3* db, sqlite3_file* file, uint32_t root,
                                   uint32_t pageSize, uint32_t usable, uint32_t pageCount,
                                   std::vector<Column> columns)
    : db_(db),
      file_(file),
      pageSize_(pageSize),
      usable_(usable),
      pageCount_(pageCount),
      columns_(std::move(columns)),
      overflowPage_(pageSize) {
  for (const Column& column : columns_) lastPlace_ = std::max(lastPlace_, column.place);
  firstAt_.assign(lastPlace_ + 1, -1);
  sameAt_.assign(columns_.size(), -1);
  for (size_t k = columns_.size(); k-- > 0;) {
    sameAt_[k] = firstAt_[columns_[k].place];
    firstAt_[columns_[k].place] = static_cast<int>(k);
  }
  values_.resize(columns_.size());
  levels_.reserve(kMaxDepth + 1);
  levels_.emplace_back();
  levels_.back().children.push_back(root);
}

SqliteTablePages::~SqliteTablePages() {
  if (db_) {
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
  }
}

bool SqliteTablePages::readPages(uint32_t first, size_t count, unsigned char* into,
                                 std::string& error) {
  visited_ += count;
  if (visited_ > pageCount_) {
    error = damaged(first, "the table reaches a page it has read before");
    return false;
  }
  const int result = file_->pMethods->xRead(file_, into, static_cast<int>(count * pageSize_),
                                            static_cast<sqlite3_int64>(first - 1) * pageSize_);
  if (result != SQLITE_OK) {
    error = result == SQLITE_IOERR_SHORT_READ
                ? damaged(first, "past the end of the file")
                : "Reading the GeoPackage failed: the file could not be read (error " +
                      std::to_string(result) + ").";
    return false;
  }
  return true;
}

bool SqliteTablePages::loadRun(Level& level, std::string& error) {
  const size_t cap = std::min(kRunPages, std::max<size_t>(1, kRunBytes / pageSize_));
  const uint32_t first = level.children[level.next];
  const uint32_t lockPage = static_cast<uint32_t>(kLockByte / pageSize_ + 1);
  size_t count = 0;
  while (count < cap && level.next + count < level.children.size() &&
         level.children[level.next + count] == first + count) {
    const uint32_t page = first + static_cast<uint32_t>(count);
    if (page < 2 || page > pageCount_ || page == lockPage) {
      if (count > 0) break;
      error = damaged(page, "a child page outside the file");
      return false;
    }
    ++count;
  }
  if (level.run.size() < count * pageSize_) level.run.resize(count * pageSize_);
  if (!readPages(first, count, level.run.data(), error)) return false;
  level.runFirst = first;
  level.runPages = count;
  level.runAt = 0;
  level.next += count;
  return true;
}

bool SqliteTablePages::descend(const unsigned char* page, uint32_t number, std::string& error) {
  if (levels_.size() >= kMaxDepth) {
    error = damaged(number, "the table's tree is deeper than any SQLite builds");
    return false;
  }
  const size_t cells = get2(page + 3);
  if (12 + 2 * cells > usable_) {
    error = damaged(number, "more cells than the page holds");
    return false;
  }
  Level level;
  level.children.reserve(cells + 1);
  for (size_t i = 0; i < cells; ++i) {
    const size_t offset = get2(page + 12 + 2 * i);
    if (offset < 12 + 2 * cells || offset + 4 > usable_) {
      error = damaged(number, "a cell outside the page");
      return false;
    }
    level.children.push_back(get4(page + offset));
  }
  level.children.push_back(get4(page + 8));
  levels_.push_back(std::move(level));
  return true;
}

TextRowSource::Read SqliteTablePages::read(TextBatch& batch, size_t rows, std::string& error) {
  size_t left = rows;
  while (left > 0 && batch.bytes() < kBatchBytes) {
    if (leaf_) {
      if (!leafRows(batch, left, error)) return Read::Failed;
      continue;
    }
    if (levels_.empty()) return Read::End;
    Level& level = levels_.back();
    if (level.runAt < level.runPages) {
      const unsigned char* page = level.run.data() + level.runAt * pageSize_;
      const uint32_t number = level.runFirst + static_cast<uint32_t>(level.runAt);
      ++level.runAt;
      if (page[0] == kLeafTablePage) {
        leafCells_ = get2(page + 3);
        if (8 + 2 * leafCells_ > usable_) {
          error = damaged(number, "more cells than the page holds");
          return Read::Failed;
        }
        leaf_ = page;
        leafNumber_ = number;
        leafCell_ = 0;
      } else if (page[0] == kInteriorTablePage) {
        if (!descend(page, number, error)) return Read::Failed;
      } else {
        error = damaged(number, "not a page of a table (type " + std::to_string(page[0]) + ")");
        return Read::Failed;
      }
    } else if (level.next < level.children.size()) {
      if (!loadRun(level, error)) return Read::Failed;
    } else {
      levels_.pop_back();
    }
  }
  return leaf_ || !levels_.empty() ? Read::More : Read::End;
}

bool SqliteTablePages::leafRows(TextBatch& batch, size_t& rows, std::string& error) {
  const size_t firstCell = 8 + 2 * leafCells_;
  while (leafCell_ < leafCells_ && rows > 0 && batch.bytes() < kBatchBytes) {
    const size_t offset = get2(leaf_ + 8 + 2 * leafCell_);
    if (offset < firstCell || offset >= usable_) {
      error = damaged(leafNumber_, "a cell outside the page");
      return false;
    }
    if (!row(leaf_ + offset, usable_ - offset, batch, error)) return false;
    ++leafCell_;
    --rows;
  }
  if (leafCell_ >= leafCells_) leaf_ = nullptr;
  return true;
}

bool SqliteTablePages::row(const unsigned char* cell, size_t room, TextBatch& batch,
                           std::string& error) {
  uint64_t size = 0;
  uint64_t rowid = 0;
  const size_t sizeBytes = varint(cell, room, size);
  const size_t idBytes = sizeBytes ? varint(cell + sizeBytes, room - sizeBytes, rowid) : 0;
  if (!idBytes) {
    error = damaged(leafNumber_, "a cell that ends past the page");
    return false;
  }
  const size_t at = sizeBytes + idBytes;
  // The part of the payload kept on the page; the rest is on overflow pages.
  const uint64_t maxLocal = usable_ - 35;
  uint64_t local = size;
  if (size > maxLocal) {
    const uint64_t minLocal = (uint64_t{usable_} - 12) * 32 / 255 - 23;
    const uint64_t k = minLocal + (size - minLocal) % (usable_ - 4);
    local = k <= maxLocal ? k : minLocal;
  }
  const bool overflows = local < size;
  if (at + local + (overflows ? 4 : 0) > room) {
    error = damaged(leafNumber_, "a cell that ends past the page");
    return false;
  }
  // Most records lie on the page; the others are gathered as far as the wanted columns need.
  const unsigned char* payload = cell + at;
  size_t available = static_cast<size_t>(local);
  if (overflows) {
    if (size > uint64_t{pageCount_} * usable_) {
      error = damaged(leafNumber_, "a record larger than the file");
      return false;
    }
    payload_.assign(payload, payload + local);
    payloadSize_ = size;
    nextOverflow_ = get4(cell + at + local);
    chain_.clear();
  }
  auto reach = [&](uint64_t need) {
    if (need <= available) return true;
    if (need > size) {
      error = damaged(leafNumber_, "a record whose values end past its size");
      return false;
    }
    if (!payloadUpTo(static_cast<size_t>(need), error)) return false;
    payload = payload_.data();
    available = payload_.size();
    return true;
  };

  uint64_t headerSize = 0;
  const size_t headerSizeBytes = varint(payload, available, headerSize);
  if (!headerSizeBytes || headerSize < headerSizeBytes || headerSize > size) {
    error = damaged(leafNumber_, "a record with an unreadable header");
    return false;
  }
  if (!reach(headerSize)) return false;

  std::vector<Value>& value = values_;
  size_t place = 0;
  size_t headerAt = headerSizeBytes;
  uint64_t contentAt = headerSize;
  uint64_t need = 0;
  // The record's serial types, walked as far as the last wanted column.
  while (place <= lastPlace_ && headerAt < headerSize) {
    uint64_t type = 0;
    const size_t typeBytes =
        varint(payload + headerAt, static_cast<size_t>(headerSize - headerAt), type);
    if (!typeBytes) {
      error = damaged(leafNumber_, "a record with an unreadable header");
      return false;
    }
    headerAt += typeBytes;
    uint64_t bytes = 0;
    Value::Kind kind = Value::Kind::Null;
    if (type == 0) {
      kind = Value::Kind::Null;
    } else if (type <= 9) {
      static constexpr unsigned char kNumberBytes[10] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
      bytes = kNumberBytes[type];
      kind = Value::Kind::Unread;
    } else if (type < 12) {
      error = damaged(leafNumber_, "a value of an unknown type");
      return false;
    } else {
      bytes = (type - 12) / 2;
      kind = type % 2 ? Value::Kind::Text : Value::Kind::Unread;
    }
    if (contentAt + bytes > size) {
      error = damaged(leafNumber_, "a record whose values end past its size");
      return false;
    }
    for (int k = firstAt_[place]; k >= 0; k = sameAt_[static_cast<size_t>(k)]) {
      value[static_cast<size_t>(k)] = Value{kind, static_cast<size_t>(contentAt), static_cast<size_t>(bytes)};
      if (kind == Value::Kind::Text) need = std::max(need, contentAt + bytes);
    }
    contentAt += bytes;
    ++place;
  }
  // A record shorter than the table: its last columns have their declared default.
  if (place <= lastPlace_) {
    for (size_t k = 0; k < columns_.size(); ++k) {
      if (columns_[k].place >= place)
        value[k].kind = columns_[k].nullDefault ? Value::Kind::Null : Value::Kind::Unread;
    }
  }
  if (!reach(need)) return false;

  batch.addRow(static_cast<int64_t>(rowid));
  for (size_t k = 0; k < columns_.size(); ++k) {
    switch (value[k].kind) {
      case Value::Kind::Null: batch.addNull(); break;
      case Value::Kind::Unread: batch.addUnread(); break;
      case Value::Kind::Text: {
        const auto* text = reinterpret_cast<const char*>(payload + value[k].offset);
        const void* nul = std::memchr(text, 0, value[k].size);
        batch.addText(std::string_view(
            text, nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : value[k].size));
        break;
      }
    }
  }
  return true;
}

bool SqliteTablePages::payloadUpTo(size_t need, std::string& error) {
  while (payload_.size() < need) {
    const uint32_t page = nextOverflow_;
    if (page < 2 || page > pageCount_) {
      error = damaged(leafNumber_, "an overflow page outside the file");
      return false;
    }
    // A chain that comes back to a page of its own would repeat its bytes.
    if (std::find(chain_.begin(), chain_.end(), page) != chain_.end()) {
      error = damaged(page, "an overflow chain that comes back to itself");
      return false;
    }
    chain_.push_back(page);
    if (!readPages(page, 1, overflowPage_.data(), error)) return false;
    nextOverflow_ = get4(overflowPage_.data());
    const size_t take = static_cast<size_t>(
        std::min<uint64_t>(usable_ - 4, payloadSize_ - payload_.size()));
    payload_.insert(payload_.end(), overflowPage_.begin() + 4, overflowPage_.begin() + 4 + take);
  }
  return true;
}

}  // namespace corvale::qgis
