// The suite runs in one QApplication, on the offscreen platform at 96 dpi unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>

// Under LeakSanitizer: Qt's platform plugin, font database and global statics
// keep allocations for the process's life; they are Qt's, not the suite's.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt5Core\nleak:libQt5Gui\nleak:libQt5Widgets\nleak:libqoffscreen\n"
         "leak:libfontconfig\nleak:libfreetype\nleak:libglib\n";
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The classic screen: 96 logical dots per inch, 15 twips per pixel.
  if (qEnvironmentVariableIsEmpty("QT_FONT_DPI")) qputenv("QT_FONT_DPI", "96");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
