#pragma once

#include <QWidget>
#include <filesystem>

namespace corvale::testing {

/**
 * Shows the widget (offscreen), lets the event loop lay it out and paint it,
 * renders it with QWidget::grab and writes the picture as a PNG file,
 * creating the folder. Returns whether the file was written.
 */
bool saveScreenshot(QWidget& widget, const std::filesystem::path& file);

}  // namespace corvale::testing
