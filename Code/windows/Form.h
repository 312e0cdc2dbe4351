#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/Forms.h"

namespace corvale {

/// One event handler of a window: the name the toolkit fires it by and the member it runs.
template <class Window>
struct Handler {
  std::string_view name;
  void (Window::*run)();
};

/// The names of a window's handler table, for its FormLayout's `handlers`.
template <class Window>
std::vector<std::string> handlerNames(std::span<const Handler<Window>> table) {
  std::vector<std::string> names;
  for (const auto& handler : table) names.emplace_back(handler.name);
  return names;
}

/// Runs the handler of that name from the window's table; unknown names do nothing.
template <class Window>
void dispatchHandler(Window& window, std::span<const Handler<Window>> table,
                     std::string_view name) {
  for (const auto& handler : table) {
    if (handler.name == name) {
      (window.*handler.run)();
      return;
    }
  }
}

/**
 * What every window of the component shares. A window is created unloaded;
 * Load() (or the first use of its handle or controls) has the toolkit build it
 * from the window's control table and then runs its Form_Load. Events from the
 * toolkit arrive at fire(), which calls the handler of that name: a failure
 * that escapes a handler without a trap of its own is reported there, with the
 * handler's and the window's names, and goes no further.
 */
class Form : public host::IWindow,
             public host::IFormEvents,
             public std::enable_shared_from_this<Form> {
 public:
  /// Loads the window when it is not loaded: builds it, then runs Form_Load.
  void Load();
  /// Unloads the window and lets its frame window go, hidden; a later use loads it anew.
  virtual void Unload();
  bool isLoaded() const;

  std::shared_ptr<host::IForm> hWnd() override;
  void fire(std::string_view handler) noexcept override;

  /// The window's control table.
  virtual const host::FormLayout& layout() const = 0;

 protected:
  Form() = default;

  virtual void Form_Load() {}
  /// Calls the handler of that name; unknown names do nothing.
  virtual void dispatch(std::string_view handler) = 0;

  /// The loaded window, loading it first when needed.
  host::IForm& form();

  /// How frameWindow() treats a failure of its steps.
  enum class FrameFailures {
    /// Every failure goes to the caller; a frame that was created is kept.
    Raise,
    /**
     * A frame the host cannot create is reported under this window's name and
     * none is returned; one that cannot take the window in is let go, hidden,
     * and none is returned (the next request tries anew); a caption that
     * cannot be set is passed over.
     */
    Report,
  };
  /**
   * The host frame window that holds this window, created, attached and
   * captioned on the first request. The frame is kept before the window is
   * attached: attaching loads the window, whose Form_Load may ask for its
   * frame again and must get this same one.
   */
  std::shared_ptr<host::IFrameWindow> frameWindow(const std::string& caption,
                                                  FrameFailures failures);
  /// Lets the frame window go, hidden; a failure to hide it is passed over.
  void releaseFrameWindow() noexcept;

 private:
  std::shared_ptr<host::IForm> form_;
  std::shared_ptr<host::IFrameWindow> frame_;
};

/**
 * Sets the application's mouse pointer to the hourglass and back to the
 * default, at restore() or at the latest when it goes out of scope.
 */
/// Sets the application's mouse pointer to the default; a failure is passed over.
void defaultPointer() noexcept;

class BusyPointer {
 public:
  BusyPointer();
  ~BusyPointer();
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;
  /// Back to the default pointer (once).
  void restore() noexcept;

 private:
  bool busy_ = false;
};

}  // namespace corvale
