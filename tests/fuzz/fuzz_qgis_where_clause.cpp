// Translates arbitrary text as a where clause for QGIS: it is either refused
// with the host's failure or becomes a request for one feature id or an
// expression that QGIS parses, in which the field is a quoted column.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <QString>

#include <qgsexpression.h>

#include "hosts/qgis/model/QgisWhereClause.h"
#include "runtime/Failure.h"

using namespace corvale;

// QGIS keeps its registry of expression functions, built on the first parse
// that names one, for the process's life: its allocations are QGIS's, not
// ours, and must not end the run as leaks at exit.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libqgis_core\nleak:libQt5Core\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<corvale::qgis::ClauseField> fields = {
      {"name", 4}, {"Street Name", 4}, {"lanes", 1}, {"width", 3}, {"opened", 5}, {"fid", 6}};
  const std::string text(reinterpret_cast<const char*>(data), size);
  corvale::qgis::TranslatedClause translated;
  try {
    translated = corvale::qgis::translateWhereClause(text, fields, "$id");
  } catch (const Failure& failure) {
    if (failure.number != err::kHostInvalidSql) std::abort();
    return 0;
  }
  if (translated.featureId || translated.selectsAll()) return 0;
  QgsExpression expression(QString::fromStdString(translated.expression));
  if (expression.hasParserError()) std::abort();
  // The only column an expression may name is one of the table's fields.
  for (const QString& column : expression.referencedColumns()) {
    bool known = false;
    for (const auto& field : fields) known = known || column == QString::fromStdString(field.name);
    if (!known) std::abort();
  }
  return 0;
}
