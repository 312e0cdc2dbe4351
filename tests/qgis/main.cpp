// One QgsApplication for the whole run, offscreen; none when gtest only lists the tests.

#include <gtest/gtest.h>

#include <QtGlobal>

#include <qgsapplication.h>

// Under LeakSanitizer: QGIS, GDAL, PROJ, Qt and the libraries they load keep
// allocations for the process's life; they are theirs, not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libqgis_core\nleak:libqgis_gui\nleak:libgdal\nleak:libproj\nleak:libcrypto\n"
         "leak:libsqlite3\nleak:libspatialite\nleak:libgeos\nleak:libQt5Core\nleak:libQt5Gui\n"
         "leak:libQt5Widgets\nleak:libQt5Network\nleak:libQt5Sql\nleak:libqoffscreen\n"
         "leak:libfontconfig\nleak:libfreetype\nleak:libglib\n";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QgsApplication app(argc, argv, true);
  QgsApplication::initQgis();
  const int result = RUN_ALL_TESTS();
  QgsApplication::exitQgis();
  return result;
}
