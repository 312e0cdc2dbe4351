#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/Forms.h"
#include "hosts/memory/Recorder.h"
#include "runtime/TextList.h"

namespace corvale::memory {

class ScriptedToolkit;

/// A list control of a scripted window, or on its own (no click handler) wherever a list is needed.
class ScriptedListBox : public host::IListBox {
 public:
  explicit ScriptedListBox(bool sorted = false, std::function<void()> onClick = {})
      : entries_(sorted), onClick_(std::move(onClick)) {}
  void clear() override { entries_.clear(); }
  void append(std::string text) override { entries_.append(std::move(text)); }
  int32_t count() override { return entries_.count(); }
  const std::string& item(int32_t index) override { return entries_.item(index); }
  int32_t selectedIndex() override { return entries_.selectedIndex(); }
  void select(int32_t index) override;
  std::string text() override { return entries_.text(); }
  const std::vector<std::string>& entries() { return entries_.entries(); }

 private:
  TextList entries_;
  std::function<void()> onClick_;
};

/// A window built by the scripted toolkit: control texts and lists in memory.
class ScriptedForm : public host::IForm {
 public:
  ScriptedForm(ScriptedToolkit& toolkit, const host::FormLayout& layout,
               std::shared_ptr<host::IFormEvents> events);

  host::IListBox& listBox(std::string_view name) override;
  std::string text(std::string_view control) override;
  void setText(std::string_view control, const std::string& text) override;
  int32_t widthTwips() override { return layout_.clientWidth; }
  int32_t heightTwips() override { return layout_.clientHeight; }
  int32_t pictureHandle(std::string_view control) override;
  bool isLoaded() override { return loaded_; }

  const host::FormLayout& layout() const { return layout_; }
  const std::string& name() const { return layout_.name; }
  bool visible() const { return visible_; }
  ScriptedListBox& list(std::string_view name);

  // What a user does.
  /// Fires "<control>_Click" when the window handles it.
  void press(std::string_view control);
  void type(std::string_view control, const std::string& text);
  /// Selects the first entry with exactly this text, as a click on it does.
  void pick(std::string_view list, const std::string& entry);
  /// Whether the list holds an entry with exactly this text.
  bool holds(std::string_view list, const std::string& entry);

 private:
  friend class ScriptedToolkit;
  void fire(const std::string& handler);

  ScriptedToolkit& toolkit_;
  host::FormLayout layout_;
  /// The toolkit holds the events object while the window is loaded.
  std::weak_ptr<host::IFormEvents> events_;
  std::map<std::string, std::string, std::less<>> texts_;
  std::map<std::string, int32_t, std::less<>> pictures_;
  std::map<std::string, std::unique_ptr<ScriptedListBox>, std::less<>> lists_;
  bool loaded_ = true;
  bool visible_ = false;
};

/**
 * The forms toolkit of the tests: it records message boxes, pointer changes,
 * shell opens and window states in the recorder, and lets a script act as the
 * user while a window is shown modally.
 */
class ScriptedToolkit : public host::IFormsToolkit {
 public:
  using ModalScript = std::function<void(ScriptedForm&)>;

  explicit ScriptedToolkit(std::shared_ptr<Recorder> recorder) : recorder_(std::move(recorder)) {}

  std::shared_ptr<host::IForm> load(const host::FormLayout& layout,
                                    std::shared_ptr<host::IFormEvents> events) override;
  void showModal(const std::shared_ptr<host::IForm>& form) override;
  void hide(const std::shared_ptr<host::IForm>& form) override;
  void unload(const std::shared_ptr<host::IForm>& form) override;
  void messageBox(const std::string& text) override;
  void setMousePointer(host::MousePointer pointer) override;
  host::ScreenMetrics screen() override { return screen_; }
  void shellOpen(const std::shared_ptr<host::IForm>& owner, const std::string& address) override;

  /// The next modal show runs this script; a window the script leaves open is closed by the user.
  void whenModal(ModalScript script) { scripts_.push_back(std::move(script)); }
  /// Forgets the scripts that no modal show has used.
  void clearScripts() { scripts_.clear(); }
  void setScreen(host::ScreenMetrics screen) { screen_ = screen; }

  /// The message boxes shown, in order.
  const std::vector<std::string>& messages() const { return messages_; }
  host::MousePointer pointer() const { return pointer_; }
  const std::vector<std::string>& shellOpens() const { return shellOpens_; }
  /// The loaded windows of that name, oldest first.
  std::vector<std::shared_ptr<ScriptedForm>> forms(std::string_view name) const;
  /// The newest loaded window of that name (failure when none).
  ScriptedForm& form(std::string_view name) const;
  /// Number of modal shows that found no script.
  int unscriptedModals() const { return unscripted_; }
  Recorder& recorder() { return *recorder_; }

 private:
  friend class ScriptedForm;

  std::shared_ptr<Recorder> recorder_;
  struct Loaded {
    std::shared_ptr<ScriptedForm> form;
    std::shared_ptr<host::IFormEvents> events;
  };
  /// Loaded windows and their event receivers stay alive until they unload,
  /// as a collection of loaded forms keeps them.
  std::vector<Loaded> forms_;
  std::deque<ModalScript> scripts_;
  std::vector<std::string> messages_;
  std::vector<std::string> shellOpens_;
  host::MousePointer pointer_ = host::MousePointer::Default;
  host::ScreenMetrics screen_{1920 * 15, 1080 * 15, 15, 15};
  int unscripted_ = 0;
  int32_t nextPicture_ = 1;
};

/// A text on one line for a transcript: CR and LF written as \r and \n.
std::string oneLine(const std::string& text);

}  // namespace corvale::memory
