#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/Forms.h"
#include "platform/win32/forms/Win32Form.h"

namespace corvale::win32 {

/**
 * The forms toolkit on native Win32 controls. Every call comes from the one
 * thread that created it, which runs the windows' messages.
 *
 * Interactive mode shows message boxes and hands addresses to the shell.
 * Headless mode (for drivers and tests) shows no message box (each is
 * recorded and answered OK at once) and opens nothing (each address is
 * recorded only). Windows are real windows in both modes.
 */
class Win32Toolkit : public host::IFormsToolkit {
 public:
  enum class Mode { Interactive, Headless };

  /// The title of every message box.
  static constexpr const wchar_t* kMessageBoxTitle = L"CorvaleStreetSearch";

  explicit Win32Toolkit(Mode mode = Mode::Interactive);
  ~Win32Toolkit() override;
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  // host::IFormsToolkit
  std::shared_ptr<host::IForm> load(const host::FormLayout& layout,
                                    std::shared_ptr<host::IFormEvents> events) override;
  /**
   * Shows the window that holds the form (the form's own, or its frame's once
   * embedded) modally: every other enabled top-level window of the thread is
   * disabled, the form's own window is centred on the screen's work area, and
   * a message loop of its own (with the dialog manager's keyboard navigation)
   * runs until the form is hidden or unloaded; then the disabled windows are
   * enabled again. A WM_QUIT ends the loop and is posted again.
   */
  void showModal(const std::shared_ptr<host::IForm>& form) override;
  /// Hides the window that holds the form; ends its modal shows.
  void hide(const std::shared_ptr<host::IForm>& form) override;
  /// Destroys the form's window and controls; ends its modal shows.
  void unload(const std::shared_ptr<host::IForm>& form) override;
  /// Unloads every loaded window, newest first, and releases their events objects.
  void unloadAll();
  /// The events objects of the loaded windows, oldest first.
  std::vector<std::shared_ptr<host::IFormEvents>> loadedEvents() const;
  /// MessageBoxW with the OK button alone and no icon, owned by the thread's active window
  /// (task-modal when there is none).
  void messageBox(const std::string& text) override;
  /// The hourglass holds for every window of the toolkit until the default comes back.
  void setMousePointer(host::MousePointer pointer) override;
  host::ScreenMetrics screen() override;
  void shellOpen(const std::shared_ptr<host::IForm>& owner, const std::string& address) override;

  Mode mode() const { return mode_; }
  void setMode(Mode mode) { mode_ = mode; }
  /// The message boxes shown or answered, in order (both modes).
  const std::vector<std::string>& messages() const { return messages_; }
  /// The addresses given to shellOpen, in order (both modes).
  const std::vector<std::string>& shellOpens() const { return shellOpens_; }
  /// Whether the hourglass is set.
  bool busy() const { return busy_; }
  /// The pointing-hand mouse pointer of the controls that show it, created on first use.
  HCURSOR pointingHand();

  /// The loaded windows of that name, oldest first.
  std::vector<std::shared_ptr<Win32Form>> forms(std::string_view name) const;
  /// The newest loaded window of that name, or null.
  std::shared_ptr<Win32Form> form(std::string_view name) const;

  /// Logical dots per inch of the screen (96 when it cannot be read).
  static int screenDpi();

 private:
  friend class Win32Form;

  struct Loaded {
    std::shared_ptr<Win32Form> form;
    std::shared_ptr<host::IFormEvents> events;
  };

  /// The user closed the form's own window: it unloads.
  void closedByUser(const std::shared_ptr<Win32Form>& form);
  /// The form's window was destroyed by someone else: the form is no longer loaded.
  void destroyedOutside(const Win32Form& form);
  /// Ends the form's modal shows, enabling again the windows they disabled.
  static void endModalShows(Win32Form& form);
  void releaseDropped();

  Mode mode_;
  std::vector<Loaded> loaded_;
  /// Forms whose windows went without an unload; released at the toolkit's next call.
  std::vector<Loaded> dropped_;
  std::vector<std::weak_ptr<Win32Form>> built_;
  std::vector<std::string> messages_;
  std::vector<std::string> shellOpens_;
  HCURSOR hand_ = nullptr;
  bool busy_ = false;
};

}  // namespace corvale::win32
