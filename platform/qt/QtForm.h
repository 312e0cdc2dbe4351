#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/Forms.h"
#include "platform/qt/QtListBox.h"

class QEventLoop;

namespace corvale::qt {

class QtToolkit;
namespace detail {
class FormWidget;
}

/**
 * What happened to a window, as the toolkit's observer learns of it. Shown
 * and Hidden come from the frame window that holds the window (its
 * visibility set) and from QtToolkit::hide. ClosedByUser is the user's
 * close control: a window shown on its own is then Unloaded; a window in a
 * frame window only hides with its frame and stays loaded.
 */
enum class WindowEvent { Loaded, Shown, ShownModally, Hidden, ClosedByUser, Unloaded };

/// The event in words for a transcript: "loaded", "shown", "shown modally", "hidden",
/// "closed by the user", "unloaded".
std::string toString(WindowEvent event);

/**
 * A window built by QtToolkit from its control table: a top-level client-area
 * widget (widget()) holding one child widget per control, named after the
 * control (QObject::objectName). A frame control with a caption is a
 * QGroupBox, without one a QFrame; labels are QLabels, the text box a
 * QLineEdit, lists QListViews over QtListBox, buttons QPushButtons, pictures
 * PictureBoxes. Controls inside a frame are children of the frame's widget.
 *
 * Each control gets its own palette and font (and a style sheet rule for
 * the font by object name, which an application style sheet cannot
 * override), so that nothing of its container's look reaches it.
 *
 * Unloading (QtToolkit::unload) lets the widgets go with deleteWhenSafe
 * (deleteLater, after every modal loop of the toolkit has ended), so a
 * window may unload itself inside its own handler, also from inside a modal
 * show that its handler opened. The lists and their entries stay readable
 * for as long as the QtForm lives.
 */
class QtForm : public host::IForm, public std::enable_shared_from_this<QtForm> {
 public:
  QtForm(QtToolkit& toolkit, const host::FormLayout& layout,
         const std::shared_ptr<host::IFormEvents>& events);
  ~QtForm() override;
  QtForm(const QtForm&) = delete;
  QtForm& operator=(const QtForm&) = delete;

  // host::IForm
  host::IListBox& listBox(std::string_view name) override;
  std::string text(std::string_view control) override;
  void setText(std::string_view control, const std::string& text) override;
  int32_t widthTwips() override;
  int32_t heightTwips() override;
  int32_t pictureHandle(std::string_view control) override;
  bool isLoaded() override { return loaded_; }

  /// The window's client area: top level until a frame window embeds it; null once unloaded
  /// and deleted.
  QWidget* widget() const;
  /// The widget of the control, or null (no such control, or its widget is gone).
  QWidget* control(std::string_view name) const;
  /// The list control of that name, or null.
  QtListBox* list(std::string_view name);
  const host::FormLayout& layout() const { return layout_; }
  const std::string& name() const { return layout_.name; }

  /// Tells the toolkit's observer what happened to this window (frame windows use it too).
  void announce(WindowEvent event);
  /// Runs the window's handler of that name when the window is loaded and handles it.
  void fire(const std::string& handler);
  bool handles(std::string_view handler) const;

 private:
  friend class QtToolkit;

  void build();
  QWidget* buildControl(const host::ControlLayout& control, QWidget* parent);
  void applyLook(QWidget& widget, const host::ControlLayout& control);
  void applyTabOrder();
  QRect pixelRect(const host::ControlLayout& control) const;
  int pixels(int32_t twips) const;
  /// Ends every modal show of this window that is running.
  void quitModalLoops();
  /// Cuts the widgets' callbacks into this object and lets them go with deleteLater.
  void releaseWidgets();
  const host::ControlLayout& controlLayout(std::string_view name) const;

  QtToolkit* toolkit_;
  host::FormLayout layout_;
  std::weak_ptr<host::IFormEvents> events_;
  double twipsPerPixel_ = 15.0;
  QPointer<detail::FormWidget> window_;
  std::map<std::string, QPointer<QWidget>, std::less<>> controls_;
  std::map<std::string, std::unique_ptr<QtListBox>, std::less<>> lists_;
  std::map<std::string, int32_t, std::less<>> pictureHandles_;
  /// The context of the widgets' signal connections: gone, they are cut.
  std::unique_ptr<QObject> guard_;
  std::vector<QEventLoop*> modalLoops_;
  bool loaded_ = true;
};

}  // namespace corvale::qt
