#pragma once

#include <map>
#include <string>
#include <vector>

#include <qgsvectorlayer.h>

#include "qgis/QgisFixture.h"

namespace corvale::testing {

/// Who reads a full read of a text field: QGIS's iterator or one of the direct readers.
enum class Reader { Qgis, Gpkg, Postgres };
const char* nameOf(Reader reader);

/// The reader a full read of that field of the layer goes to, asked as the row cursor asks.
Reader readerFor(const QgsVectorLayer& layer, const QString& field);

/**
 * The distinct non-empty texts of a text field as QGIS's own iterator gives
 * them (the layer's filters applied by QGIS), in the search list's order.
 */
std::vector<std::string> namesViaQgis(QgsVectorLayer& layer, const QString& field);

/**
 * The component's list of a field against QGIS's own reading: each layer is
 * added to the project under a name of its own, listed by
 * LoadListWithUniqueFieldValues into a sorted list (as the search window
 * holds it), and compared, text for text, with namesViaQgis. The reader that
 * served each layer is counted. Each name of a PostgreSQL layer is then
 * picked (GetFeatureByValue) and must give the first feature in QGIS's order
 * that holds exactly that text: its id and its bounding box.
 */
class DirectReadFixture : public QgisFixture {
 protected:
  /// Adds the layer (taking it) and checks its list; `label` names it in failures.
  void check(QgsVectorLayer* layer, const QString& field, const std::string& label);
  /// Layers served per reader so far.
  std::map<Reader, std::vector<std::string>> served;
  /// Layers whose list the server gave as distinct texts (PgTextReader::distinctTexts), not rows.
  std::vector<std::string> listedByServer;
  /// Layers whose picks the server answered (PgTextReader::firstWithText), not QGIS's iterator.
  std::vector<std::string> pickedByServer;

 private:
  void checkPicks(QgsVectorLayer& layer, const std::string& name, const QString& field,
                  const std::vector<std::string>& names, const std::string& label);
  int added_ = 0;
};

}  // namespace corvale::testing
