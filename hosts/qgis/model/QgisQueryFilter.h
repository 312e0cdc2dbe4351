#pragma once

#include <string>

#include "host/Data.h"

namespace corvale::qgis {

/// A query filter: it only carries its where clause; the table that searches with it reads the
/// clause.
class QgisQueryFilter : public host::IQueryFilter {
 public:
  void setWhereClause(const std::string& clause) override { clause_ = clause; }
  std::string whereClause() override { return clause_; }
  const std::string& clause() const { return clause_; }

 private:
  std::string clause_;
};

}  // namespace corvale::qgis
