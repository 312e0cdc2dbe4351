#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/Data.h"
#include "hosts/memory/FaultInjector.h"

namespace corvale::memory {

/// A rectangle; empty when it bounds nothing (its coordinates are then NaN).
struct Bounds {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  bool empty = true;
  friend bool operator==(const Bounds&, const Bounds&) = default;
};

class MemoryEnvelope : public host::IEnvelope {
 public:
  MemoryEnvelope(std::shared_ptr<FaultInjector> faults, Bounds bounds)
      : faults_(std::move(faults)), bounds_(bounds) {}
  void expand(double dx, double dy, bool asRatio) override;
  double xMin() override;
  double yMin() override;
  double xMax() override;
  double yMax() override;
  const Bounds& bounds() const { return bounds_; }

 private:
  std::shared_ptr<FaultInjector> faults_;
  Bounds bounds_;
};

/// A point, a line or an empty shape, known by its vertices.
class MemoryGeometry : public host::IGeometry {
 public:
  MemoryGeometry(std::shared_ptr<FaultInjector> faults, std::vector<std::pair<double, double>> vertices)
      : faults_(std::move(faults)), vertices_(std::move(vertices)) {}
  std::shared_ptr<host::IEnvelope> envelope() override;
  Bounds bounds() const;

 private:
  std::shared_ptr<FaultInjector> faults_;
  std::vector<std::pair<double, double>> vertices_;
};

class MemoryField : public host::IField {
 public:
  MemoryField(std::shared_ptr<FaultInjector> faults, std::string name, int32_t type)
      : faults_(std::move(faults)), name_(std::move(name)), type_(type) {}
  std::string name() override;
  int32_t type() override;

 private:
  std::shared_ptr<FaultInjector> faults_;
  std::string name_;
  int32_t type_;
};

class MemoryQueryFilter : public host::IQueryFilter {
 public:
  explicit MemoryQueryFilter(std::shared_ptr<FaultInjector> faults) : faults_(std::move(faults)) {}
  void setWhereClause(const std::string& clause) override;
  std::string whereClause() override;
  /// The clause, read by the host itself (not counted as a call).
  const std::string& clause() const { return clause_; }

 private:
  std::shared_ptr<FaultInjector> faults_;
  std::string clause_;
};

class MemoryTable;

/// A row of a table, also a feature when the table holds shapes.
class MemoryRow : public host::IRow, public host::IRowValues, public host::IFeature {
 public:
  MemoryRow(std::shared_ptr<const MemoryTable> table, size_t index)
      : table_(std::move(table)), index_(index) {}
  int64_t objectId() override;
  Variant value(int32_t index) override;
  std::shared_ptr<host::IGeometry> shape() override;
  void moveTo(size_t index) { index_ = index; }

 private:
  std::shared_ptr<const MemoryTable> table_;
  size_t index_;
};

/**
 * A table of typed fields and rows, which is also a feature class: the rows
 * carry an object id and may carry a shape. The object-id field's value is the
 * row's id; the geometry field's value is its shape (an object).
 */
class MemoryTable : public host::ITable,
                    public host::IClass,
                    public host::IFeatureClass,
                    public std::enable_shared_from_this<MemoryTable> {
 public:
  struct Row {
    int64_t objectId = 0;
    std::vector<Variant> values;
    std::shared_ptr<MemoryGeometry> shape;
  };

  explicit MemoryTable(std::shared_ptr<FaultInjector> faults) : faults_(std::move(faults)) {}

  // Building (not counted as host calls).
  MemoryTable& addField(std::string name, int32_t type);
  /// Adds a row with the next object id; fields not named are null.
  MemoryTable& addRow(const std::vector<std::pair<std::string, Variant>>& values,
                      std::shared_ptr<MemoryGeometry> shape = nullptr);
  MemoryTable& addRowWithId(int64_t objectId,
                            const std::vector<std::pair<std::string, Variant>>& values,
                            std::shared_ptr<MemoryGeometry> shape = nullptr);
  /// Gives the field of that name (any letter case) another name, as an edited source does.
  void renameField(const std::string& name, std::string newName);
  /// Drops the field of that name (any letter case) and its values from every row.
  void removeField(const std::string& name);
  void setHasObjectId(bool has) { hasObjectId_ = has; }
  void setObjectIdFieldName(std::string name) { objectIdFieldName_ = std::move(name); }
  /// Makes cursors yield rows from the last to the first.
  void setReverseCursorOrder(bool reverse) { reverse_ = reverse; }
  void removeAllRows() { rows_.clear(); }
  std::vector<Row>& rows() { return rows_; }
  const std::vector<Row>& rows() const { return rows_; }
  /// The where clauses searches were made with, in order.
  const std::vector<std::string>& searches() const { return searches_; }
  FaultInjector& faults() const { return *faults_; }

  // ITable / IClass / IFeatureClass
  std::shared_ptr<host::ICursor> search(const std::shared_ptr<host::IQueryFilter>& filter,
                                        bool reuse) override;
  int32_t findField(const std::string& name) override;
  std::shared_ptr<host::IFields> fields() override;
  bool hasObjectId() override;
  std::string objectIdFieldName() override;
  int32_t featureCount(const std::shared_ptr<host::IQueryFilter>& filter) override;

  /// The indexes of the rows a filter selects, in cursor order (no host call counted).
  std::vector<size_t> select(const std::string& clause);
  /// The clause a filter carries; the empty text for nothing.
  static std::string clauseOf(const std::shared_ptr<host::IQueryFilter>& filter);
  Variant valueAt(size_t row, int32_t field) const;
  int32_t fieldIndex(const std::string& name) const;
  const std::vector<std::pair<std::string, int32_t>>& fieldDefs() const { return fieldDefs_; }

 private:
  std::shared_ptr<FaultInjector> faults_;
  std::vector<std::pair<std::string, int32_t>> fieldDefs_;
  std::vector<Row> rows_;
  int64_t nextId_ = 1;
  bool hasObjectId_ = true;
  std::string objectIdFieldName_ = "OBJECTID";
  bool reverse_ = false;
  std::vector<std::string> searches_;
};

/// Row and feature cursors over a selection of a table's rows.
class MemoryCursor : public host::ICursor, public host::IFeatureCursor {
 public:
  MemoryCursor(std::shared_ptr<MemoryTable> table, std::vector<size_t> rows, bool reuse)
      : table_(std::move(table)), rows_(std::move(rows)), reuse_(reuse) {}
  std::shared_ptr<host::IRow> nextRow() override;
  std::shared_ptr<host::IFeature> nextFeature() override;

 private:
  std::shared_ptr<MemoryRow> next();

  std::shared_ptr<MemoryTable> table_;
  std::vector<size_t> rows_;
  size_t position_ = 0;
  bool reuse_;
  std::shared_ptr<MemoryRow> recycled_;
};

}  // namespace corvale::memory
