#include "hosts/qgis/QgisFrameWindowFactory.h"

#if __has_include("hosts/qgis/QgisFrameWindow.h")
#include "hosts/qgis/QgisFrameWindow.h"
#define CORVALE_HAS_QGIS_FRAME_WINDOW 1
#endif

#include "hosts/qgis/QgisFailure.h"

namespace corvale::qgis {

std::shared_ptr<host::IFrameWindow> makeFrameWindow(QWidget* mainWindow) {
#ifdef CORVALE_HAS_QGIS_FRAME_WINDOW
  return std::make_shared<QgisFrameWindow>(mainWindow);
#else
  (void)mainWindow;
  hostFailure("This build has no frame windows.");
#endif
}

}  // namespace corvale::qgis
