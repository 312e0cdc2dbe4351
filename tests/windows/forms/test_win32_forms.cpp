// The forms toolkit on native Win32 controls, checked from the Win32 side:
// what a screen reader, an automation tool or the user sees of the windows
// built from the component's own control tables.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iostream>
#include <map>
#include <random>

#include "command/frmResources.h"
#include "platform/win32/forms/Win32Toolkit.h"
#include "runtime/Failure.h"
#include "runtime/Text.h"
#include "windows/Pictures.h"
#include "windows/frmConfig.h"
#include "windows/frmHelp.h"
#include "windows/frmMain.h"

namespace corvale::win32 {
namespace {

using host::ControlKind;

struct Recorder : host::IFormEvents {
  std::vector<std::string> fired;
  std::function<void(std::string_view)> onFire;
  void fire(std::string_view handler) noexcept override {
    fired.emplace_back(handler);
    if (onFire) onFire(handler);
  }
  size_t count(std::string_view handler) const {
    return static_cast<size_t>(std::count(fired.begin(), fired.end(), handler));
  }
};

const host::FormLayout& layoutOf(std::string_view window) {
  if (window == "frmMain") return frmMain::create()->layout();
  if (window == "frmConfig") return frmConfig::instance()->layout();
  if (window == "frmHelp") return frmHelp::create()->layout();
  return frmResources::instance()->layout();
}

std::wstring className(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring windowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring wideOf(const std::string& text) {
  std::wstring result(text.size() + 1, L'\0');
  result.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                        result.data(), static_cast<int>(result.size()))));
  return result;
}

int dpi() {
  HDC screen = GetDC(nullptr);
  const int value = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return value;
}

int px(int32_t twips) {
  return static_cast<int>(std::lround(twips * dpi() / 1440.0));
}

/// The control's rectangle in the form's client area, from the table alone.
RECT expectedRect(const host::FormLayout& layout, const host::ControlLayout& control) {
  int left = px(control.left), top = px(control.top);
  for (const auto* holder = layout.control(control.container); holder;
       holder = layout.control(holder->container)) {
    left += px(holder->left);
    top += px(holder->top);
  }
  return RECT{left, top, left + px(control.width), top + px(control.height)};
}

const wchar_t* expectedClass(const host::ControlLayout& control) {
  switch (control.kind) {
    case ControlKind::Frame: return control.caption.empty() ? L"Static" : L"Button";
    case ControlKind::Label: return L"Static";
    case ControlKind::TextBox: return L"Edit";
    case ControlKind::ListBox: return L"ListBox";
    case ControlKind::Button: return L"Button";
    case ControlKind::Picture: return L"Static";
  }
  return L"?";
}

void pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

class Win32FormsTest : public ::testing::Test {
 protected:
  std::shared_ptr<Win32Form> load(std::string_view window) {
    return std::dynamic_pointer_cast<Win32Form>(toolkit.load(layoutOf(window), events));
  }
  Win32Toolkit toolkit{Win32Toolkit::Mode::Headless};
  std::shared_ptr<Recorder> events = std::make_shared<Recorder>();
};

TEST_F(Win32FormsTest, EveryControlOfEveryTableIsAChildWindowWithItsClassCaptionPlaceAndFont) {
  for (const char* name : {"frmMain", "frmConfig", "frmHelp", "frmResources"}) {
    SCOPED_TRACE(name);
    const host::FormLayout& layout = layoutOf(name);
    auto form = load(name);
    HWND window = form->hwnd();
    EXPECT_EQ(windowText(window), wideOf(layout.caption));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, px(layout.clientWidth));
    EXPECT_EQ(client.bottom, px(layout.clientHeight));

    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      children.push_back(child);
    EXPECT_EQ(children.size(), layout.controls.size());
    size_t tooltips = 0;
    for (const host::ControlLayout& control : layout.controls) {
      SCOPED_TRACE(control.name);
      HWND built = form->control(control.name);
      ASSERT_NE(std::find(children.begin(), children.end(), built), children.end());
      EXPECT_EQ(_wcsicmp(className(built).c_str(), expectedClass(control)), 0) << className(built).size();
      if (control.kind != ControlKind::ListBox) {
        EXPECT_EQ(windowText(built), wideOf(control.caption));
      }
      RECT rect{};
      GetWindowRect(built, &rect);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
      const RECT expected = expectedRect(layout, control);
      EXPECT_TRUE(EqualRect(&rect, &expected))
          << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom << " wanted "
          << expected.left << "," << expected.top << "," << expected.right << "," << expected.bottom;

      LOGFONTW font{};
      GetObjectW(reinterpret_cast<HFONT>(SendMessageW(built, WM_GETFONT, 0, 0)), sizeof(font), &font);
      const host::Font wanted = control.font.value_or(host::Font{"MS Sans Serif", 8.25, false, false});
      EXPECT_EQ(font.lfHeight, -static_cast<LONG>(std::lround(wanted.points * dpi() / 72.0)));
      EXPECT_EQ(font.lfWeight >= FW_BOLD, wanted.bold);
      EXPECT_EQ(font.lfUnderline != 0, wanted.underline);

      const LONG style = GetWindowLongW(built, GWL_STYLE);
      if (control.kind == ControlKind::ListBox) {
        EXPECT_TRUE(style & LBS_NOTIFY);
        EXPECT_FALSE(style & LBS_SORT);  // the order is the core's collation
      }
      if (control.kind == ControlKind::Label && form->handles(control.name + "_Click")) {
        EXPECT_TRUE(style & SS_NOTIFY);
      }
      if (!control.tooltip.empty()) {
        ++tooltips;
        wchar_t text[256] = {};
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = window;
        tool.uId = reinterpret_cast<UINT_PTR>(built);
        tool.lpszText = text;
        SendMessageW(form->tooltips(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(std::wstring(text), wideOf(control.tooltip));
      }
    }
    const LRESULT toolCount =
        form->tooltips() ? SendMessageW(form->tooltips(), TTM_GETTOOLCOUNT, 0, 0) : 0;
    EXPECT_EQ(static_cast<size_t>(toolCount), tooltips);

    // Tab order: the dialog manager's walk from the first tab stop follows tabIndex.
    std::vector<const host::ControlLayout*> wanted;
    for (const auto& control : layout.controls) {
      if (control.tabIndex >= 0) wanted.push_back(&control);
    }
    std::stable_sort(wanted.begin(), wanted.end(),
                     [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
    HWND at = first;
    for (size_t k = 0; k < wanted.size(); ++k) {
      EXPECT_EQ(at, form->control(wanted[k]->name)) << "tab stop " << k;
      at = GetNextDlgTabItem(window, at, FALSE);
    }
    if (!wanted.empty()) {
      EXPECT_EQ(at, first) << "the walk comes round";
    }
    toolkit.unload(form);
    EXPECT_FALSE(form->isLoaded());
    EXPECT_FALSE(IsWindow(window));
  }
}

TEST_F(Win32FormsTest, HalfAMillionNamesFillTheListInCollationOrderReadableByLbGetText) {
  auto form = load("frmMain");
  host::IListBox& list = form->listBox("List1");
  const char* words[] = {"Main", "main", "Élan", "Ørsted", "Straße", "Zürich", "abbey", "O'Brien",
                         "Mill Lane", "mill lane", "Øster", "Ångström", "Quay", "ÉCOLE"};
  std::mt19937 random(42);
  const int kCount = 500000;
  for (int k = 0; k < kCount; ++k) {
    list.append(std::string(words[random() % std::size(words)]) + " " +
                std::to_string(random() % 1000000));
  }
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(list.count(), kCount);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "sorted fill of " << kCount << " names: " << seconds << " s\n";
  RecordProperty("fill_seconds", std::to_string(seconds));

  HWND control = form->control("List1");
  ASSERT_EQ(SendMessageW(control, LB_GETCOUNT, 0, 0), kCount);
  std::wstring text;
  for (int k = 0; k < kCount; ++k) {
    text.assign(static_cast<size_t>(SendMessageW(control, LB_GETTEXTLEN, static_cast<WPARAM>(k), 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(
        SendMessageW(control, LB_GETTEXT, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(text.data()))));
    if (text != wideOf(list.item(k))) FAIL() << "entry " << k << " differs: " << list.item(k);
    if (k > 0 && Collation::compare(list.item(k - 1), list.item(k)) > 0)
      FAIL() << "out of order at " << k << ": " << list.item(k - 1) << " / " << list.item(k);
  }

  // select() scrolls the entry into view and reports it as a pick.
  list.select(kCount - 1);
  EXPECT_EQ(events->count("List1_Click"), 1u);
  RECT client{}, last{};
  GetClientRect(control, &client);
  SendMessageW(control, LB_GETITEMRECT, static_cast<WPARAM>(kCount - 1), reinterpret_cast<LPARAM>(&last));
  EXPECT_GE(last.top, client.top);
  EXPECT_LE(last.bottom, client.bottom);
  EXPECT_EQ(SendMessageW(control, LB_GETCURSEL, 0, 0), kCount - 1);

  // Appending after the fill keeps the control in step, also when the entry sorts first.
  list.append("AAA first");
  list.append("zzz last");
  ASSERT_EQ(list.count(), kCount + 2);
  EXPECT_EQ(SendMessageW(control, LB_GETCOUNT, 0, 0), kCount + 2);
  wchar_t first[32] = {};
  SendMessageW(control, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
  EXPECT_EQ(wideOf(list.item(0)), std::wstring(first));
  EXPECT_EQ(list.selectedIndex(), kCount) << "the selected entry moved down by one";
  EXPECT_EQ(SendMessageW(control, LB_GETCURSEL, 0, 0), kCount);
  list.clear();
  pump();
  EXPECT_EQ(SendMessageW(control, LB_GETCOUNT, 0, 0), 0) << "a clear reaches the control by itself";
}

TEST_F(Win32FormsTest, EventsReachTheNamedHandlersOnlyOnceEachAndSelectReportsAsAPick) {
  auto form = load("frmConfig");
  host::IListBox& layers = form->listBox("List1");
  host::IListBox& fields = form->listBox("List2");
  for (const char* name : {"Streets", "Rivers", "Parcels"}) {
    layers.append(name);
    fields.append(name);
  }
  layers.select(2);
  EXPECT_EQ(events->count("List1_Click"), 1u);
  EXPECT_EQ(SendMessageW(form->control("List1"), LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(form->text("List1"), "Parcels");
  layers.select(-1);
  EXPECT_EQ(events->count("List1_Click"), 1u) << "clearing is no pick";
  EXPECT_EQ(SendMessageW(form->control("List1"), LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_THROW(layers.select(3), Failure);

  // A user's pick with the mouse: the control reports it, the list follows.
  RECT item{};
  SendMessageW(form->control("List1"), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM(item.left + 4, item.top + 2);
  SendMessageW(form->control("List1"), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(form->control("List1"), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(layers.selectedIndex(), 1);
  EXPECT_EQ(events->count("List1_Click"), 2u);
  // A click on the entry already selected is a pick too: after "Go" has selected a name,
  // clicking it zooms to it.
  SendMessageW(form->control("List1"), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(form->control("List1"), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(events->count("List1_Click"), 3u);

  // List2 has no handler in the table: its picks fire nothing.
  fields.select(0);
  SendMessageW(form->control("Command1"), BM_CLICK, 0, 0);
  EXPECT_EQ(events->count("Command1_Click"), 1u);
  EXPECT_EQ(events->fired.size(), 4u);

  auto help = load("frmHelp");
  events->fired.clear();
  for (const char* label : {"Label2", "Label5"}) {
    SendMessageW(help->control(label), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(help->control(label), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  }
  EXPECT_EQ(events->fired, std::vector<std::string>{"Label2_Click"});
}

HWND g_modalProbe = nullptr;
bool g_probeEnabledDuringModal = true;
std::function<void()> g_onTimer;

void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_probeEnabledDuringModal = IsWindowEnabled(g_modalProbe) != FALSE;
  if (g_onTimer) g_onTimer();
}

TEST_F(Win32FormsTest, AModalShowDisablesTheOtherWindowsUntilAHideOrAnUnloadInAHandlerEndsIt) {
  auto other = load("frmMain");
  ShowWindow(other->hwnd(), SW_SHOWNA);
  auto config = load("frmConfig");
  std::shared_ptr<host::IForm> shown = config;
  g_modalProbe = other->hwnd();
  RECT shownAt{};
  bool visibleDuringModal = false;
  // The focus starts at the first tab stop; the loop's dialog manager moves it with Tab.
  std::vector<HWND> focus;
  g_onTimer = [&] {
    focus.push_back(GetFocus());
    if (focus.size() < 3) {
      PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
      PostMessageW(GetFocus(), WM_KEYUP, VK_TAB, 0);
      SetTimer(nullptr, 0, 50, &onTimer);
      return;
    }
    visibleDuringModal = IsWindowVisible(config->hwnd()) != FALSE;
    GetWindowRect(config->hwnd(), &shownAt);
    toolkit.hide(shown);
  };
  SetTimer(nullptr, 0, 50, &onTimer);
  toolkit.showModal(config);
  EXPECT_EQ(focus, (std::vector<HWND>{config->control("List1"), config->control("List2"),
                                      config->control("Command1")}));
  EXPECT_FALSE(g_probeEnabledDuringModal);
  EXPECT_TRUE(visibleDuringModal);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_LE(std::abs((shownAt.left + shownAt.right) - (work.left + work.right)), 2) << "centred";
  EXPECT_LE(std::abs((shownAt.top + shownAt.bottom) - (work.top + work.bottom)), 2) << "centred";
  EXPECT_TRUE(IsWindowEnabled(other->hwnd()));
  EXPECT_FALSE(IsWindowVisible(config->hwnd()));
  EXPECT_TRUE(config->isLoaded());

  // A Cancel button whose handler unloads its own window, pressed from a posted message.
  events->onFire = [&](std::string_view handler) {
    if (handler == "Command2_Click") toolkit.unload(shown);
  };
  g_onTimer = nullptr;
  PostMessageW(config->control("Command2"), BM_CLICK, 0, 0);
  toolkit.showModal(config);
  EXPECT_FALSE(config->isLoaded());
  EXPECT_TRUE(IsWindowEnabled(other->hwnd()));
  EXPECT_EQ(events->count("Command2_Click"), 1u);
}

TEST_F(Win32FormsTest, AFormMadeTheChildOfAHostWindowStillFiresAndIsShownAndHiddenThroughIt) {
  auto form = load("frmMain");
  HWND host = CreateWindowExW(0, L"STATIC", L"Host frame", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400,
                              nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(host);
  SetWindowLongW(form->hwnd(), GWL_STYLE,
                 (GetWindowLongW(form->hwnd(), GWL_STYLE) & ~(WS_POPUP | WS_CAPTION)) | WS_CHILD);
  SetParent(form->hwnd(), host);
  ShowWindow(form->hwnd(), SW_SHOW);
  SendMessageW(form->control("Command4"), BM_CLICK, 0, 0);
  EXPECT_EQ(events->count("Command4_Click"), 1u);
  std::shared_ptr<host::IForm> shown = form;
  g_modalProbe = host;
  g_onTimer = [&] {
    g_probeEnabledDuringModal = IsWindowVisible(host) != FALSE;
    toolkit.hide(shown);
  };
  SetTimer(nullptr, 0, 50, &onTimer);
  toolkit.showModal(form);
  EXPECT_TRUE(g_probeEnabledDuringModal) << "the host's window was shown";
  EXPECT_FALSE(IsWindowVisible(host));
  DestroyWindow(host);
  EXPECT_FALSE(form->isLoaded()) << "the host took the form's window along";
  g_onTimer = nullptr;
}

TEST_F(Win32FormsTest, PointersAndPictures) {
  HCURSOR hand = toolkit.pointingHand();
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(hand, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 10u);
  EXPECT_EQ(info.yHotspot, 10u);
  BITMAP colour{};
  ASSERT_TRUE(GetObjectW(info.hbmColor, sizeof(colour), &colour));
  EXPECT_EQ(colour.bmWidth, 32);
  EXPECT_EQ(colour.bmHeight, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);

  auto form = load("frmMain");
  auto cursorOver = [&](const char* control) {
    SetCursor(nullptr);
    SendMessageW(form->control(control), WM_SETCURSOR, reinterpret_cast<WPARAM>(form->control(control)),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  EXPECT_EQ(cursorOver("Command4"), hand);
  EXPECT_EQ(cursorOver("List1"), hand);
  EXPECT_NE(cursorOver("Text1"), hand);
  toolkit.setMousePointer(host::MousePointer::Hourglass);
  const HCURSOR wait = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
  EXPECT_EQ(GetCursor(), wait);
  EXPECT_EQ(cursorOver("Command4"), wait);
  EXPECT_EQ(cursorOver("Text1"), wait);
  toolkit.setMousePointer(host::MousePointer::Default);
  EXPECT_EQ(cursorOver("Command4"), hand);

  // The tooltip comes up over a control that has one, with the mouse resting on it.
  ShowWindow(form->hwnd(), SW_SHOW);
  UpdateWindow(form->hwnd());
  SendMessageW(form->tooltips(), TTM_SETDELAYTIME, TTDT_INITIAL, 10);
  RECT go{};
  GetWindowRect(form->control("Command4"), &go);
  SetCursorPos((go.left + go.right) / 2, (go.top + go.bottom) / 2);
  POINT inside{(go.right - go.left) / 2, (go.bottom - go.top) / 2};
  bool tipShown = false;
  for (int round = 0; round < 40 && !tipShown; ++round) {
    SendMessageW(form->control("Command4"), WM_MOUSEMOVE, 0, MAKELPARAM(inside.x, inside.y));
    pump();
    Sleep(25);
    pump();
    tipShown = IsWindowVisible(form->tooltips()) != FALSE;
  }
  EXPECT_TRUE(tipShown);
  ShowWindow(form->hwnd(), SW_HIDE);

  // The command's bitmap: a 16 x 16 24-bit DIB section of the "toolbar" picture, kept.
  auto resources = load("frmResources");
  const int32_t handle = resources->pictureHandle("Picture1");
  EXPECT_EQ(resources->pictureHandle("Picture1"), handle);
  DIBSECTION section{};
  ASSERT_EQ(GetObjectW(reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(handle)), sizeof(section), &section),
            static_cast<int>(sizeof(section)));
  EXPECT_EQ(section.dsBm.bmWidth, 16);
  EXPECT_EQ(section.dsBm.bmHeight, 16);
  EXPECT_EQ(section.dsBm.bmBitsPixel, 24);
  const std::vector<uint8_t> dib = deviceIndependentBitmap(*findPicture("toolbar"));
  ASSERT_EQ(dib.size(), 40u + 16 * 48);
  EXPECT_EQ(std::memcmp(section.dsBm.bmBits, dib.data() + 40, 16 * 48), 0);
  EXPECT_THROW(form->pictureHandle("Command4"), Failure);
}

struct SeenBox {
  HWND owner = nullptr;
  std::wstring text;
  int visibleButtons = 0;
  int okButtons = 0;
  int icons = 0;
};
SeenBox g_seen;

BOOL CALLBACK lookAtChild(HWND child, LPARAM) {
  if (!IsWindowVisible(child)) return TRUE;
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  if (_wcsicmp(className(child).c_str(), L"Button") == 0) {
    ++g_seen.visibleButtons;
    if (GetDlgCtrlID(child) == IDOK) ++g_seen.okButtons;
  }
  if (_wcsicmp(className(child).c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
      SendMessageW(child, STM_GETICON, 0, 0))
    ++g_seen.icons;
  return TRUE;
}

void CALLBACK answerMessageBox(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = FindWindowW(L"#32770", L"CorvaleStreetSearch");
  if (!box) return;  // not up yet: the timer comes again
  KillTimer(nullptr, id);
  g_seen.owner = GetWindow(box, GW_OWNER);
  g_seen.text = windowText(GetDlgItem(box, 0xFFFF));
  EnumChildWindows(box, &lookAtChild, 0);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Win32FormsTest, TheMessageBoxBelongsToTheActiveWindowWithTheProductsTitleAndOkAlone) {
  toolkit.setMode(Win32Toolkit::Mode::Interactive);
  auto form = load("frmMain");
  ShowWindow(form->hwnd(), SW_SHOW);
  SetActiveWindow(form->hwnd());
  SetTimer(nullptr, 0, 50, &answerMessageBox);
  toolkit.messageBox("Tool is not configured.\r\nConfiguration window will now load: Stra\xC3\x9F" "e");
  EXPECT_EQ(g_seen.owner, form->hwnd());
  EXPECT_EQ(g_seen.text, L"Tool is not configured.\r\nConfiguration window will now load: Stra\u00DFe");
  EXPECT_EQ(g_seen.visibleButtons, 1);
  EXPECT_EQ(g_seen.okButtons, 1);
  EXPECT_EQ(g_seen.icons, 0);
  EXPECT_EQ(toolkit.messages().size(), 1u);
}

}  // namespace
}  // namespace corvale::win32
