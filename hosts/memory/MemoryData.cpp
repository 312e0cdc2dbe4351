#include "hosts/memory/MemoryData.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "hosts/memory/WhereClause.h"
#include "runtime/Text.h"

namespace corvale::memory {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class MemoryFields : public host::IFields {
 public:
  explicit MemoryFields(std::shared_ptr<MemoryTable> table) : table_(std::move(table)) {}
  int32_t fieldCount() override {
    table_->faults().hostCall("IFields.fieldCount");
    return static_cast<int32_t>(table_->fieldDefs().size());
  }
  std::shared_ptr<host::IField> field(int32_t index) override {
    table_->faults().hostCall("IFields.field");
    const auto& defs = table_->fieldDefs();
    if (index < 0 || static_cast<size_t>(index) >= defs.size()) {
      raise(err::kHostUnspecified, "The field index is out of range.");
    }
    // The field shares the table's injector through a non-owning alias.
    auto faults = std::shared_ptr<FaultInjector>(table_, &table_->faults());
    const auto& def = defs[static_cast<size_t>(index)];
    return std::make_shared<MemoryField>(faults, def.first, def.second);
  }

 private:
  std::shared_ptr<MemoryTable> table_;
};
}  // namespace

void MemoryEnvelope::expand(double dx, double dy, bool asRatio) {
  faults_->hostCall("IEnvelope.expand");
  if (bounds_.empty) return;
  const double cx = (bounds_.xMin + bounds_.xMax) / 2, cy = (bounds_.yMin + bounds_.yMax) / 2;
  if (asRatio) {
    const double hw = (bounds_.xMax - bounds_.xMin) / 2 * dx;
    const double hh = (bounds_.yMax - bounds_.yMin) / 2 * dy;
    bounds_ = {cx - hw, cy - hh, cx + hw, cy + hh, false};
  } else {
    bounds_ = {bounds_.xMin - dx, bounds_.yMin - dy, bounds_.xMax + dx, bounds_.yMax + dy, false};
  }
}

double MemoryEnvelope::xMin() {
  faults_->hostCall("IEnvelope.xMin");
  return bounds_.empty ? kNaN : bounds_.xMin;
}
double MemoryEnvelope::yMin() {
  faults_->hostCall("IEnvelope.yMin");
  return bounds_.empty ? kNaN : bounds_.yMin;
}
double MemoryEnvelope::xMax() {
  faults_->hostCall("IEnvelope.xMax");
  return bounds_.empty ? kNaN : bounds_.xMax;
}
double MemoryEnvelope::yMax() {
  faults_->hostCall("IEnvelope.yMax");
  return bounds_.empty ? kNaN : bounds_.yMax;
}

Bounds MemoryGeometry::bounds() const {
  Bounds b;
  for (const auto& [x, y] : vertices_) {
    if (b.empty) {
      b = {x, y, x, y, false};
    } else {
      b.xMin = std::min(b.xMin, x);
      b.yMin = std::min(b.yMin, y);
      b.xMax = std::max(b.xMax, x);
      b.yMax = std::max(b.yMax, y);
    }
  }
  return b;
}

std::shared_ptr<host::IEnvelope> MemoryGeometry::envelope() {
  faults_->hostCall("IGeometry.envelope");
  return std::make_shared<MemoryEnvelope>(faults_, bounds());
}

std::string MemoryField::name() {
  faults_->hostCall("IField.name");
  return name_;
}

int32_t MemoryField::type() {
  faults_->hostCall("IField.type");
  return type_;
}

void MemoryQueryFilter::setWhereClause(const std::string& clause) {
  faults_->hostCall("IQueryFilter.setWhereClause");
  clause_ = clause;
}

std::string MemoryQueryFilter::whereClause() {
  faults_->hostCall("IQueryFilter.whereClause");
  return clause_;
}

int64_t MemoryRow::objectId() {
  table_->faults().hostCall("IRow.objectId");
  return table_->rows()[index_].objectId;
}

Variant MemoryRow::value(int32_t index) {
  table_->faults().hostCall("IRowValues.value");
  return table_->valueAt(index_, index);
}

std::shared_ptr<host::IGeometry> MemoryRow::shape() {
  table_->faults().hostCall("IFeature.shape");
  return table_->rows()[index_].shape;
}

MemoryTable& MemoryTable::addField(std::string name, int32_t type) {
  fieldDefs_.emplace_back(std::move(name), type);
  for (auto& row : rows_) row.values.resize(fieldDefs_.size(), Variant::null());
  return *this;
}

void MemoryTable::renameField(const std::string& name, std::string newName) {
  const int32_t index = fieldIndex(name);
  if (index < 0) raise(err::kInvalidProcedureCall, "No field " + name);
  fieldDefs_[static_cast<size_t>(index)].first = std::move(newName);
}

void MemoryTable::removeField(const std::string& name) {
  const int32_t index = fieldIndex(name);
  if (index < 0) raise(err::kInvalidProcedureCall, "No field " + name);
  fieldDefs_.erase(fieldDefs_.begin() + index);
  for (auto& row : rows_) row.values.erase(row.values.begin() + index);
}

MemoryTable& MemoryTable::addRow(const std::vector<std::pair<std::string, Variant>>& values,
                                 std::shared_ptr<MemoryGeometry> shape) {
  return addRowWithId(nextId_, values, std::move(shape));
}

MemoryTable& MemoryTable::addRowWithId(int64_t objectId,
                                       const std::vector<std::pair<std::string, Variant>>& values,
                                       std::shared_ptr<MemoryGeometry> shape) {
  Row row;
  row.objectId = objectId;
  nextId_ = std::max(nextId_, objectId + 1);
  row.values.assign(fieldDefs_.size(), Variant::null());
  for (const auto& [name, value] : values) {
    const int32_t index = fieldIndex(name);
    if (index < 0) raise(err::kInvalidProcedureCall, "No field " + name);
    row.values[static_cast<size_t>(index)] = value;
  }
  row.shape = std::move(shape);
  rows_.push_back(std::move(row));
  return *this;
}

int32_t MemoryTable::fieldIndex(const std::string& name) const {
  for (size_t i = 0; i < fieldDefs_.size(); ++i) {
    if (equalsNoCase(fieldDefs_[i].first, name)) return static_cast<int32_t>(i);
  }
  return -1;
}

Variant MemoryTable::valueAt(size_t row, int32_t field) const {
  if (field < 0 || static_cast<size_t>(field) >= fieldDefs_.size()) {
    raise(err::kHostUnspecified, "The field index is out of range.");
  }
  const Row& r = rows_[row];
  switch (fieldDefs_[static_cast<size_t>(field)].second) {
    case host::fieldtype::kObjectId: return Variant(r.objectId);
    case host::fieldtype::kGeometry:
      return r.shape ? Variant(ObjectRef(r.shape)) : Variant::null();
    default: return r.values[static_cast<size_t>(field)];
  }
}

std::string MemoryTable::clauseOf(const std::shared_ptr<host::IQueryFilter>& filter) {
  if (!filter) return {};
  auto own = std::dynamic_pointer_cast<MemoryQueryFilter>(filter);
  if (!own) raise(err::kTypeMismatch);
  return own->clause();
}

std::vector<size_t> MemoryTable::select(const std::string& clause) {
  std::vector<size_t> chosen;
  if (clause.empty()) {
    for (size_t i = 0; i < rows_.size(); ++i) chosen.push_back(i);
  } else {
    const WhereClause where = WhereClause::parse(clause);
    int32_t index = fieldIndex(where.field);
    const bool isObjectIdField = !hasObjectId_ ? false : equalsNoCase(where.field, objectIdFieldName_);
    if (index < 0 && !isObjectIdField) {
      raise(err::kHostInvalidSql, "An invalid SQL statement was used.");
    }
    for (size_t i = 0; i < rows_.size(); ++i) {
      const Variant value = index >= 0 ? valueAt(i, index) : Variant(rows_[i].objectId);
      if (where.matches(value)) chosen.push_back(i);
    }
  }
  if (reverse_) std::reverse(chosen.begin(), chosen.end());
  return chosen;
}

std::shared_ptr<host::ICursor> MemoryTable::search(const std::shared_ptr<host::IQueryFilter>& filter,
                                                   bool reuse) {
  faults_->hostCall("ITable.search");
  const std::string clause = clauseOf(filter);
  auto chosen = select(clause);
  searches_.push_back(clause);
  return std::make_shared<MemoryCursor>(shared_from_this(), std::move(chosen), reuse);
}

int32_t MemoryTable::findField(const std::string& name) {
  faults_->hostCall("IClass.findField");
  return fieldIndex(name);
}

std::shared_ptr<host::IFields> MemoryTable::fields() {
  faults_->hostCall("IClass.fields");
  return std::make_shared<MemoryFields>(shared_from_this());
}

bool MemoryTable::hasObjectId() {
  faults_->hostCall("IClass.hasObjectId");
  return hasObjectId_;
}

std::string MemoryTable::objectIdFieldName() {
  faults_->hostCall("IClass.objectIdFieldName");
  return hasObjectId_ ? objectIdFieldName_ : std::string();
}

int32_t MemoryTable::featureCount(const std::shared_ptr<host::IQueryFilter>& filter) {
  faults_->hostCall("IFeatureClass.featureCount");
  return static_cast<int32_t>(select(clauseOf(filter)).size());
}

std::shared_ptr<MemoryRow> MemoryCursor::next() {
  table_->faults().hostCall("ICursor.next");
  if (position_ >= rows_.size()) return nullptr;
  const size_t index = rows_[position_++];
  if (reuse_ && recycled_) {
    recycled_->moveTo(index);
    return recycled_;
  }
  auto row = std::make_shared<MemoryRow>(table_, index);
  if (reuse_) recycled_ = row;
  return row;
}

std::shared_ptr<host::IRow> MemoryCursor::nextRow() { return next(); }
std::shared_ptr<host::IFeature> MemoryCursor::nextFeature() { return next(); }

}  // namespace corvale::memory
