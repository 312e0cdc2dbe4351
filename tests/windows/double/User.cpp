#include "double/User.h"

#include <algorithm>
#include <functional>
#include <thread>

#include "double/HostDouble.h"
#include "double/HostObject.h"
#include "double/Transcript.h"

namespace corvale::windouble {
namespace {

const wchar_t kSessionClass[] = L"CorvaleHostDoubleSession";
constexpr UINT kClick = WM_APP + 1;
constexpr UINT kSync = WM_APP + 2;
/// Runs the std::function<void()> at lParam on the host's thread.
constexpr UINT kRun = WM_APP + 3;
const char kProduct[] = "CorvaleStreetSearch";
const char kConfigCaption[] = "CorvaleStreetSearch - Configure";

LRESULT CALLBACK sessionProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  auto* session = reinterpret_cast<HostSession*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == kClick && session) {
    // The host calls the command on its own thread, as a press of its button does.
    session->statuses.push_back(session->command.onClick());
    return 0;
  }
  if (message == kRun) {
    (*reinterpret_cast<const std::function<void()>*>(lp))();
    return 0;
  }
  if (message == kSync) {
    SetEvent(reinterpret_cast<HANDLE>(lp));
    return 0;
  }
  return DefWindowProcW(hwnd, message, wp, lp);
}

std::wstring wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w.data(), n);
  w.resize(static_cast<size_t>(n - 1));
  return w;
}

struct TopLevelSearch {
  std::string caption;
  HWND found = nullptr;
};

BOOL CALLBACK matchTopLevel(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<TopLevelSearch*>(lp);
  if (IsWindowVisible(hwnd) && windowText(hwnd) == s->caption && className(hwnd) != "#32770") {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND topLevel(const std::string& caption) {
  TopLevelSearch search{caption};
  EnumWindows(matchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct ChildSearch {
  std::string cls;
  std::vector<HWND> found;
};

BOOL CALLBACK matchChild(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<ChildSearch*>(lp);
  if (_stricmp(className(hwnd).c_str(), s->cls.c_str()) == 0) s->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK matchMessageBox(HWND hwnd, LPARAM lp) {
  if (IsWindowVisible(hwnd) && className(hwnd) == "#32770" && windowText(hwnd) == kProduct) {
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::string windowText(HWND hwnd) {
  const int n = static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(w.data()));
  w.resize(wcslen(w.c_str()));
  return utf8Of(w.c_str(), static_cast<int>(w.size()));
}

std::string className(HWND hwnd) {
  wchar_t name[128] = L"";
  GetClassNameW(hwnd, name, 128);
  return utf8Of(name, -1);
}

std::vector<HWND> descendants(HWND root, const std::string& cls) {
  ChildSearch search{cls, {}};
  EnumChildWindows(root, matchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND findControl(HWND root, const std::string& cls, const std::string& caption) {
  for (HWND h : descendants(root, cls)) {
    if (windowText(h) == caption) return h;
  }
  return nullptr;
}

/// The list's entries, read on the list's own thread when `host` (the session's window) lives
/// there: one round trip between the threads instead of three for every entry.
std::vector<std::string> listEntries(HWND list, HWND host) {
  std::vector<std::string> entries;
  const std::function<void()> read = [&] {
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    entries.reserve(static_cast<size_t>(std::max<LRESULT>(count, 0)));
    std::wstring w;
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT n = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
      w.assign(static_cast<size_t>(std::max<LRESULT>(n, 0)) + 1, L'\0');
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(w.data()));
      entries.push_back(utf8Of(w.c_str(), static_cast<int>(std::max<LRESULT>(n, 0))));
    }
  };
  const DWORD owner = GetWindowThreadProcessId(list, nullptr);
  if (host && owner != GetCurrentThreadId() && owner == GetWindowThreadProcessId(host, nullptr)) {
    SendMessageW(host, kRun, 0, reinterpret_cast<LPARAM>(&read));
  } else {
    read();
  }
  return entries;
}

HWND productMessageBox() {
  HWND found = nullptr;
  EnumWindows(matchMessageBox, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND waitForWindow(const std::function<HWND()>& find, int ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND h = find()) return h;
    if (GetTickCount() - start > static_cast<DWORD>(ms)) return nullptr;
    Sleep(10);
  }
}

// ---------------------------------------------------------------- the session

HostSession::HostSession(Command& c) : command(c) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = sessionProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kSessionClass;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  window = CreateWindowExW(0, kSessionClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

HostSession::~HostSession() { DestroyWindow(window); }

void HostSession::run(const std::function<void(User&)>& script) {
  std::atomic<bool> done{false};
  std::thread user([&] {
    User u(*this);
    script(u);
    done = true;
    PostMessageW(window, WM_NULL, 0, 0);
  });
  pumpUntil([&] { return done.load(); });
  user.join();
}

// ---------------------------------------------------------------- the user

bool User::sync() {
  HANDLE handled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  PostMessageW(session_.window, kSync, 0, reinterpret_cast<LPARAM>(handled));
  const bool ok = WaitForSingleObject(handled, 10000) == WAIT_OBJECT_0;
  CloseHandle(handled);
  if (!ok) problems.push_back("the host did not come back to its message loop within 10 s");
  return ok;
}

void User::settle() {
  for (int round = 0; round < 1000; ++round) {
    // Twice: a handler may post a message of its own before it is done.
    if (!sync() || !sync()) return;
    HWND box = productMessageBox();
    if (!box) return;
    std::string text;
    for (HWND s : descendants(box, "Static")) {
      const std::string t = windowText(s);
      if (!t.empty()) text = t;
    }
    messages.push_back(text);
    if (recordMessages) Transcript::get().add("message", {{"text", text}});
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    waitForWindow([&] { return IsWindow(box) && IsWindowVisible(box) ? nullptr : box; }, 5000);
  }
  problems.push_back("message boxes kept coming");
}

HWND User::searchFrame() {
  HWND found = nullptr;
  int newest = 0;
  for (const FrameRecord& f : World::get().frames()) {
    if (!f.released && f.id > newest && f.caption == kProduct && IsWindow(f.frame) && IsWindowVisible(f.frame)) {
      found = f.frame;
      newest = f.id;
    }
  }
  return found;
}

HWND User::configWindow() {
  return waitForWindow([] { return topLevel(kConfigCaption); }, 3000);
}

void User::click() {
  Transcript::get().add("action", {{"action", "click"}});
  PostMessageW(session_.window, kClick, 0, 0);
  settle();
  if (topLevel(kConfigCaption)) {
    Transcript::get().add("window", {{"state", "shown"}, {"window", kConfigCaption}, {"modal", true}});
  }
}

void User::press(HWND root, const std::string& caption, const char* action) {
  HWND button = root ? findControl(root, "Button", caption) : nullptr;
  if (!button) {
    problems.push_back(std::string("no button \"") + caption + "\" to " + action);
    return;
  }
  Transcript::get().add("action", {{"action", action}});
  PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  settle();
}

void User::chooseIn(int listIndex, const std::string& name, const char* action) {
  HWND config = configWindow();
  if (!config) {
    problems.push_back(std::string("no configuration window to ") + action);
    return;
  }
  auto lists = descendants(config, "ListBox");
  std::sort(lists.begin(), lists.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.left < rb.left;
  });
  if (lists.size() != 2) {
    problems.push_back("the configuration window does not hold two lists");
    return;
  }
  HWND list = lists[static_cast<size_t>(listIndex)];
  const auto entries = listEntries(list, session_.window);
  const auto at = std::find(entries.begin(), entries.end(), name);
  if (at == entries.end()) {
    problems.push_back(std::string("no entry \"") + name + "\" to " + action);
    return;
  }
  Transcript::get().add("action", {{"action", action}, {"argument", name}});
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(at - entries.begin()), 0);
  PostMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  settle();
}

void User::chooseLayer(const std::string& name) { chooseIn(0, name, "choose layer"); }
void User::chooseField(const std::string& name) { chooseIn(1, name, "choose field"); }

void User::pressContinue() {
  press(configWindow(), "Continue", "continue");
  if (!topLevel(kConfigCaption)) Transcript::get().add("window", {{"state", "closed"}, {"window", kConfigCaption}});
}

void User::pressCancel() {
  press(configWindow(), "Cancel", "cancel");
  if (!topLevel(kConfigCaption)) Transcript::get().add("window", {{"state", "closed"}, {"window", kConfigCaption}});
}

void User::startRecording() {
  settle();
  Transcript::get().clear();
  World::get().clearRecords();
}

void User::closeConfigWindow() {
  HWND config = topLevel(kConfigCaption);
  if (!config) return;
  Transcript::get().add("action", {{"action", "close"}, {"argument", kConfigCaption}});
  PostMessageW(config, WM_CLOSE, 0, 0);
  settle();
  if (!topLevel(kConfigCaption)) Transcript::get().add("window", {{"state", "closed"}, {"window", kConfigCaption}});
}

void User::type(const std::string& text) {
  HWND frame = searchFrame();
  auto edits = frame ? descendants(frame, "Edit") : std::vector<HWND>{};
  if (edits.size() != 1) {
    problems.push_back("no single search box to type into");
    return;
  }
  Transcript::get().add("action", {{"action", "type"}, {"argument", text}});
  const std::wstring w = wide(text);
  SendMessageW(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()));
  settle();
}

void User::go() { press(searchFrame(), "Go", "go"); }
void User::pressConfigure() {
  press(searchFrame(), "Configure", "configure");
  if (topLevel(kConfigCaption)) {
    Transcript::get().add("window", {{"state", "shown"}, {"window", kConfigCaption}, {"modal", true}});
  }
}
void User::pressHelp() { press(searchFrame(), "?", "help"); }

void User::pick(const std::string& name) {
  HWND frame = searchFrame();
  auto lists = frame ? descendants(frame, "ListBox") : std::vector<HWND>{};
  if (lists.size() != 1) {
    problems.push_back("no single list to pick \"" + name + "\" from");
    return;
  }
  const auto entries = listEntries(lists[0], session_.window);
  const auto at = std::find(entries.begin(), entries.end(), name);
  if (at == entries.end()) {
    problems.push_back("no entry \"" + name + "\" to pick");
    return;
  }
  Transcript::get().add("action", {{"action", "pick"}, {"argument", name}});
  SendMessageW(lists[0], LB_SETCURSEL, static_cast<WPARAM>(at - entries.begin()), 0);
  PostMessageW(GetParent(lists[0]), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(lists[0]), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(lists[0]));
  settle();
}

SearchWindowState User::searchWindow() {
  SearchWindowState s;
  HWND frame = searchFrame();
  if (!frame) return s;
  auto lists = descendants(frame, "ListBox");
  auto edits = descendants(frame, "Edit");
  if (lists.size() != 1 || edits.size() != 1) return s;
  s.found = true;
  s.list = listEntries(lists[0], session_.window);
  s.selected = static_cast<int>(SendMessageW(lists[0], LB_GETCURSEL, 0, 0));
  if (s.selected >= 0 && static_cast<size_t>(s.selected) < s.list.size()) s.selectedText = s.list[static_cast<size_t>(s.selected)];
  s.text = windowText(edits[0]);
  return s;
}

std::vector<std::vector<std::string>> User::configLists() {
  std::vector<std::vector<std::string>> out;
  HWND config = topLevel(kConfigCaption);
  if (!config) return out;
  auto lists = descendants(config, "ListBox");
  std::sort(lists.begin(), lists.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.left < rb.left;
  });
  for (HWND l : lists) out.push_back(listEntries(l, session_.window));
  return out;
}

void User::recordState() {
  settle();
  const SearchWindowState s = searchWindow();
  std::map<std::string, Json> m{{"configBytes", readConfigBytes()}};
  if (s.found) {
    m["list"] = Json::array(s.list);
    m["selected"] = s.selected;
    m["selectedText"] = s.selectedText;
    m["text"] = s.text;
  }
  Transcript::get().add("state", m);
}

}  // namespace corvale::windouble
