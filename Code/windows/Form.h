#pragma once

#include <memory>
#include <string_view>

#include "host/Forms.h"

namespace corvale {

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
  /// Unloads the window; a later use loads it anew.
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

 private:
  std::shared_ptr<host::IForm> form_;
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
