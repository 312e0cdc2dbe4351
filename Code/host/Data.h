#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Geometry.h"
#include "runtime/Variant.h"

namespace corvale::host {

/// The field type codes the host reports.
namespace fieldtype {
inline constexpr int32_t kSmallInteger = 0;
inline constexpr int32_t kInteger = 1;
inline constexpr int32_t kSingle = 2;
inline constexpr int32_t kDouble = 3;
inline constexpr int32_t kText = 4;
inline constexpr int32_t kDate = 5;
inline constexpr int32_t kObjectId = 6;
inline constexpr int32_t kGeometry = 7;
inline constexpr int32_t kBlob = 8;
}  // namespace fieldtype

class IField : public virtual Object {
 public:
  virtual std::string name() = 0;
  virtual int32_t type() = 0;
};

class IFields : public virtual Object {
 public:
  virtual int32_t fieldCount() = 0;
  virtual std::shared_ptr<IField> field(int32_t index) = 0;
};

/// A new query filter carries one where clause.
class IQueryFilter : public virtual Object {
 public:
  virtual void setWhereClause(const std::string& clause) = 0;
  virtual std::string whereClause() = 0;
};

/// What a table and a feature class have in common.
class IClass : public virtual Object {
 public:
  /// The index of the field of that name, or a negative number when there is none.
  virtual int32_t findField(const std::string& name) = 0;
  virtual std::shared_ptr<IFields> fields() = 0;
  virtual bool hasObjectId() = 0;
  virtual std::string objectIdFieldName() = 0;
};

/// The values of a row by field index.
class IRowValues : public virtual Object {
 public:
  /// The value at the index; null for a field without a value.
  virtual Variant value(int32_t index) = 0;

  /**
   * The value's text form, textOf(value(index)), or nothing for null; fails
   * where value() or textOf() fails. The view is valid until the next call on
   * this row or the next row its cursor reads; it may point into `scratch`.
   * A host that holds the text already hands it out without a copy.
   */
  virtual std::optional<std::string_view> valueText(int32_t index, std::string& scratch) {
    const Variant held = value(index);
    if (held.isNull()) return std::nullopt;
    scratch = textOf(held);
    return std::string_view(scratch);
  }
};

class IRow : public virtual Object {
 public:
  virtual int64_t objectId() = 0;
};

class IFeature : public virtual Object {
 public:
  virtual std::shared_ptr<IGeometry> shape() = 0;
};

/// Rows of a search, one at a time; nothing at the end.
class ICursor : public virtual Object {
 public:
  virtual std::shared_ptr<IRow> nextRow() = 0;
};

/**
 * The value texts of one field for a block of consecutive rows of a cursor:
 * per row, textOf(value) or nothing for null. The views stay valid until the
 * cursor's next call. `hashes` is either empty or holds, per row with a
 * text, TextSet::hashOf of that text (any number for a null).
 */
struct FieldTexts {
  std::vector<std::optional<std::string_view>> texts;
  std::vector<uint64_t> hashes;
};

/**
 * What a cursor may offer beside nextRow: the value texts of one field, a
 * block of rows at a time, without a row object per row. The rows and their
 * order are those nextRow would have given.
 */
class IFieldTexts : public virtual Object {
 public:
  /**
   * Starts handing out the texts of field `index` instead of rows; only
   * before the first nextRow. False where the cursor cannot: nothing has been
   * read, and the caller reads rows as it would without this.
   */
  virtual bool readTexts(int32_t index) = 0;

  /**
   * The next block of rows, at least one; false at the end. A failure is a
   * failure at the row where it happened: the rows before it have been
   * handed out, in this block or earlier ones.
   */
  virtual bool nextTexts(FieldTexts& block) = 0;
};

class IFeatureCursor : public virtual Object {
 public:
  virtual std::shared_ptr<IFeature> nextFeature() = 0;
};

class ITable : public virtual Object {
 public:
  /**
   * The rows that the filter's where clause selects (all rows for nothing).
   * With `reuse` true the cursor may hand out the same row object each time.
   * A clause that the host cannot read is a failure.
   */
  virtual std::shared_ptr<ICursor> search(const std::shared_ptr<IQueryFilter>& filter,
                                          bool reuse) = 0;
};

/// Texts handed out one at a time; nothing at the end.
class ITextCursor : public virtual Object {
 public:
  /// The next text, or nothing at the end. The view is valid until the next call.
  virtual std::optional<std::string_view> nextText() = 0;

  /**
   * The number of features whose values the cursor lists, nulls included:
   * exact, known once the source's answer is in (the call may wait for it);
   * negative when the cursor does not know it.
   */
  virtual int32_t listedFeatureCount() { return -1; }
};

/**
 * What a table may offer beside search: the distinct value texts of one
 * field over all its rows, listed by the data source itself. A host offers
 * it where its source can list them no less exactly than the rows give them.
 */
class IDistinctTexts : public virtual Object {
 public:
  /**
   * A cursor over the value texts, textOf(value), of the non-null values of
   * the field findField(name) finds, in every row search(nothing) yields:
   * each such text at least once and no other, in any order. Nothing where
   * the table cannot list them this way (no such field included): the caller
   * then reads the rows as it would without this. A failure while listing is
   * a failure.
   */
  virtual std::shared_ptr<ITextCursor> distinctTexts(const std::string& name) = 0;
};

class IFeatureClass : public virtual Object {
 public:
  /// The number of features the filter selects (all for nothing).
  virtual int32_t featureCount(const std::shared_ptr<IQueryFilter>& filter) = 0;
};

}  // namespace corvale::host
