#pragma once

#include <QIcon>
#include <QPixmap>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/Forms.h"
#include "platform/qt/QtForm.h"

namespace corvale::qt {

/**
 * Callbacks through which a driver learns of everything the toolkit shows,
 * in order, to print a transcript. Each may be empty. They run on the GUI
 * thread, before a message box is shown (or answered, headless).
 */
struct QtToolkitObserver {
  std::function<void(const std::string& text)> messageBox;
  std::function<void(host::MousePointer pointer)> mousePointer;
  std::function<void(const std::string& address)> shellOpen;
  std::function<void(const std::string& window, WindowEvent event)> window;
};

/**
 * The forms toolkit on Qt 5 Widgets. Needs a QApplication on the calling
 * thread for its whole life; every call comes from that thread.
 *
 * Interactive mode shows message boxes and hands shell opens to
 * QDesktopServices. Headless mode (for drivers and tests) shows no message
 * box (each is recorded, observed and answered OK at once) and opens nothing
 * (each address is recorded and observed only). Windows are real widgets in
 * both modes.
 */
class QtToolkit : public host::IFormsToolkit {
 public:
  enum class Mode { Interactive, Headless };

  /// The title of every message box.
  static constexpr const char* kMessageBoxTitle = "CorvaleStreetSearch";

  explicit QtToolkit(Mode mode = Mode::Interactive);
  ~QtToolkit() override;
  QtToolkit(const QtToolkit&) = delete;
  QtToolkit& operator=(const QtToolkit&) = delete;

  // host::IFormsToolkit
  std::shared_ptr<host::IForm> load(const host::FormLayout& layout,
                                    std::shared_ptr<host::IFormEvents> events) override;
  /// Shows the window application-modal with no owner, centred on the primary screen, and
  /// runs a local event loop until the window is hidden or unloaded.
  void showModal(const std::shared_ptr<host::IForm>& form) override;
  /// Hides the window that holds the form (its frame, once embedded); ends a modal show.
  void hide(const std::shared_ptr<host::IForm>& form) override;
  void unload(const std::shared_ptr<host::IForm>& form) override;
  void messageBox(const std::string& text) override;
  /// The hourglass is one QApplication override cursor (Qt::WaitCursor), never stacked;
  /// the default removes it.
  void setMousePointer(host::MousePointer pointer) override;
  host::ScreenMetrics screen() override;
  void shellOpen(const std::shared_ptr<host::IForm>& owner, const std::string& address) override;

  Mode mode() const { return mode_; }
  void setMode(Mode mode) { mode_ = mode; }
  void setObserver(QtToolkitObserver observer) { observer_ = std::move(observer); }

  /// The message boxes shown or answered, in order (both modes).
  const std::vector<std::string>& messages() const { return messages_; }
  /// The addresses given to shellOpen, in order (both modes).
  const std::vector<std::string>& shellOpens() const { return shellOpens_; }
  /// Whether this toolkit holds an override cursor now.
  bool hourglass() const { return hourglass_; }

  /**
   * The picture behind a handle from IForm::pictureHandle, with the pixels
   * of the picture's key colour transparent; a null pixmap for an unknown
   * handle. The plugin makes the command's Bitmap() its toolbar icon with it.
   */
  QPixmap pixmap(int32_t handle) const;
  QIcon icon(int32_t handle) const;

  /// The loaded windows of that name, oldest first.
  std::vector<std::shared_ptr<QtForm>> forms(std::string_view name) const;
  /// The newest loaded window of that name, or null.
  std::shared_ptr<QtForm> form(std::string_view name) const;

  /// Twips per pixel of the primary screen: 1440 over its logical dots per inch (15 at 96).
  static double twipsPerPixel();

 private:
  friend class QtForm;

  int32_t registerPicture(QPixmap pixmap);
  void notifyWindow(const QtForm& form, WindowEvent event);
  /// The user closed the window with its own close control: it unloads.
  void closedByUser(const std::shared_ptr<QtForm>& form);

  struct Loaded {
    std::shared_ptr<QtForm> form;
    std::shared_ptr<host::IFormEvents> events;
  };

  Mode mode_;
  QtToolkitObserver observer_;
  /// Loaded windows and their event receivers stay alive until they unload.
  std::vector<Loaded> loaded_;
  /// Every window built, to cut its link to this toolkit when the toolkit goes first.
  std::vector<std::weak_ptr<QtForm>> built_;
  std::map<int32_t, QPixmap> pictures_;
  int32_t nextPicture_ = 1;
  std::vector<std::string> messages_;
  std::vector<std::string> shellOpens_;
  bool hourglass_ = false;
};

}  // namespace corvale::qt
