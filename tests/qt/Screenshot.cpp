#include "qt/Screenshot.h"

#include <QCoreApplication>
#include <QPixmap>

namespace corvale::testing {

bool saveScreenshot(QWidget& widget, const std::filesystem::path& file) {
  widget.show();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  std::error_code ignored;
  std::filesystem::create_directories(file.parent_path(), ignored);
  return widget.grab().save(QString::fromStdString(file.string()), "PNG");
}

}  // namespace corvale::testing
