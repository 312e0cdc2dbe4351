#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <qgsrectangle.h>

namespace corvale::qgis {

/**
 * Callbacks through which a driver learns what the component told QGIS, to
 * print a transcript. Each may be empty; they run on the user-interface thread.
 */
struct QgisObserver {
  /// The view was given an extent: as the component handed it, in the canvas's
  /// coordinate system, and the canvas's visible extent that resulted.
  std::function<void(const QgsRectangle& requested, const QgsRectangle& visible)> extent;
  /// The progress indicator was shown, with its message and maximum.
  std::function<void(const std::string& message, int32_t maximum)> progressShown;
  /// The progress indicator was hidden, at this position.
  std::function<void(int32_t position)> progressHidden;
};

}  // namespace corvale::qgis
