#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "host/Forms.h"

namespace corvale::qt {
class QtForm;
}

namespace corvale::qgis {

/**
 * A frame window of the QGIS host: a tool window (Qt::Tool) owned by QGIS's
 * main window that holds one window of the component built by
 * qt::QtToolkit. attach() loads the window (its Form_Load may already move
 * this frame) and embeds its client area, the frame's client area then being
 * the window's size. Moves are in pixels of the screen; a width or height of
 * 0 keeps the current one. The frame's own close control only hides it: the
 * window stays loaded and shows as it was when the frame is shown again.
 * The tool window goes when the last reference to this object goes (or with
 * the main window, whichever comes first); a window still loaded in it is
 * taken out first, hidden.
 */
class QgisFrameWindow : public host::IFrameWindow, public host::IWindowPosition {
 public:
  /// `mainWindow` owns the tool window; null makes it a top-level tool window.
  explicit QgisFrameWindow(QWidget* mainWindow);
  ~QgisFrameWindow() override;
  QgisFrameWindow(const QgisFrameWindow&) = delete;
  QgisFrameWindow& operator=(const QgisFrameWindow&) = delete;

  /// Takes the window in; a window that is not one of QtToolkit's is failure 13.
  void attach(const std::shared_ptr<host::IWindow>& window) override;
  void setVisible(bool visible) override;
  bool visible() override;
  void setCaption(const std::string& caption) override;
  void move(int32_t left, int32_t top, int32_t width, int32_t height) override;

  /// The tool window, or null once it is gone.
  QWidget* toolWindow() const;
  /// The window attached, or null.
  std::shared_ptr<qt::QtForm> form() const { return form_; }

 private:
  /// Takes the attached window's widget out of the tool window, hidden, when it still exists.
  void release();

  QPointer<QWidget> tool_;
  std::shared_ptr<qt::QtForm> form_;
};

}  // namespace corvale::qgis
