#pragma once

// The user, on a thread of its own, through the real windows: it finds them
// as an automation tool would (top-level windows by caption, message boxes by
// class and title, controls by class and caption) and acts with window
// messages, while the host's thread is inside the command or pumps messages.

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "double/HostStartup.h"

namespace corvale::windouble {

/// What the search window shows.
struct SearchWindowState {
  bool found = false;
  std::vector<std::string> list;
  int selected = -1;
  std::string selectedText, text;
};

class User;

/**
 * The host's side of a scenario: a hidden window of the host's thread through
 * which the user clicks the command's button, and the pump that runs while
 * the user acts. Every status the command's operations return is kept.
 */
class HostSession {
 public:
  explicit HostSession(Command& command);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  /// Runs the script on the user's thread and pumps this thread's messages until it ends.
  void run(const std::function<void(User&)>& script);

  Command& command;
  std::vector<HRESULT> statuses;
  HWND window = nullptr;
};

class User {
 public:
  explicit User(HostSession& session) : session_(session) {}

  // The user's actions; each is written to the transcript and then waited out:
  // the host has handled it and every message box it raised was answered.
  void click();
  void chooseLayer(const std::string& name);
  void chooseField(const std::string& name);
  void pressContinue();
  void pressCancel();
  void type(const std::string& text);
  void go();
  /// Picks the entry of the search list that reads name.
  void pick(const std::string& name);
  void pressConfigure();
  void pressHelp();
  /// Forgets what the transcript and the host recorded so far (after setting the scene).
  void startRecording();
  /// Closes the configuration window with its close control when it is open.
  void closeConfigWindow();
  /// Writes the end state to the transcript.
  void recordState();

  /// Waits until the host is idle and answers the message boxes that came up.
  void settle();
  SearchWindowState searchWindow();
  /// The configuration window's two lists, left to right; empty when it is not open.
  std::vector<std::vector<std::string>> configLists();

  std::vector<std::string> messages;
  /// What went wrong on the user's side: a window or control not found in time.
  std::vector<std::string> problems;
  /// When false, message boxes are answered without being written to the transcript.
  bool recordMessages = true;

 private:
  HWND searchFrame();
  HWND configWindow();
  void press(HWND root, const std::string& caption, const char* action);
  void chooseIn(int listIndex, const std::string& name, const char* action);
  bool sync();

  HostSession& session_;
};

// Finding windows as an automation tool does.
std::string windowText(HWND hwnd);
std::string className(HWND hwnd);
std::vector<HWND> descendants(HWND root, const std::string& cls);
HWND findControl(HWND root, const std::string& cls, const std::string& caption);
std::vector<std::string> listEntries(HWND list);
/// The first visible message box of the product, or nullptr.
HWND productMessageBox();
/// Polls for a window for at most ms milliseconds.
HWND waitForWindow(const std::function<HWND()>& find, int ms = 5000);

}  // namespace corvale::windouble
