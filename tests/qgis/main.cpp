// One QgsApplication for the whole run, offscreen; none when gtest only lists the tests.

#include <gtest/gtest.h>

#include <QtGlobal>

#include <qgsapplication.h>

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
