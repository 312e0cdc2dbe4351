#include "platform/win32/forms/Win32Toolkit.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/win32/forms/Win32Pictures.h"
#include "platform/win32/forms/WideText.h"
#include "runtime/Failure.h"

namespace corvale::win32 {

namespace {

constexpr double kTwipsPerInch = 1440.0;

std::shared_ptr<Win32Form> own(const std::shared_ptr<host::IForm>& form) {
  auto result = std::dynamic_pointer_cast<Win32Form>(form);
  if (!result) raise(err::kTypeMismatch);
  return result;
}

/// The window that holds the form: its own, or the host's frame window once embedded.
HWND holder(const Win32Form& form) {
  HWND root = form.hwnd() ? GetAncestor(form.hwnd(), GA_ROOT) : nullptr;
  return root ? root : form.hwnd();
}

bool ownedBy(HWND window, HWND owner) {
  for (HWND up = GetWindow(window, GW_OWNER); up; up = GetWindow(up, GW_OWNER)) {
    if (up == owner) return true;
  }
  return false;
}

struct Disabling {
  HWND keep;
  std::vector<HWND>* disabled;
};

BOOL CALLBACK disableOne(HWND window, LPARAM context) {
  auto* disabling = reinterpret_cast<Disabling*>(context);
  if (window == disabling->keep || ownedBy(window, disabling->keep)) return TRUE;
  if (!IsWindowEnabled(window)) return TRUE;
  EnableWindow(window, FALSE);
  disabling->disabled->push_back(window);
  return TRUE;
}

void centreOnWorkArea(HWND window) {
  RECT work{}, outer{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return;
  GetWindowRect(window, &outer);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  const int left = work.left + (work.right - work.left - width) / 2;
  const int top = work.top + (work.bottom - work.top - height) / 2;
  SetWindowPos(window, nullptr, std::max(left, static_cast<int>(work.left)),
               std::max(top, static_cast<int>(work.top)), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void enableAgain(ModalShow& modal) {
  for (HWND window : modal.disabled) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  modal.disabled.clear();
}

}  // namespace

Win32Toolkit::Win32Toolkit(Mode mode) : mode_(mode) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
}

Win32Toolkit::~Win32Toolkit() {
  for (const auto& weak : built_) {
    if (auto form = weak.lock()) form->toolkit_ = nullptr;
  }
  std::vector<Loaded> released = std::move(loaded_);
  released.clear();
  dropped_.clear();
  if (busy_) SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
  if (hand_) DestroyCursor(hand_);
}

int Win32Toolkit::screenDpi() {
  HDC screen = GetDC(nullptr);
  if (!screen) return 96;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

std::shared_ptr<host::IForm> Win32Toolkit::load(const host::FormLayout& layout,
                                                std::shared_ptr<host::IFormEvents> events) {
  releaseDropped();
  auto form = std::make_shared<Win32Form>(*this, layout, events);
  form->build();
  built_.erase(std::remove_if(built_.begin(), built_.end(),
                              [](const std::weak_ptr<Win32Form>& weak) { return weak.expired(); }),
               built_.end());
  built_.push_back(form);
  loaded_.push_back({form, std::move(events)});
  return form;
}

void Win32Toolkit::showModal(const std::shared_ptr<host::IForm>& form) {
  releaseDropped();
  auto shown = own(form);
  if (!shown->loaded_ || !shown->hwnd_) return;
  HWND top = holder(*shown);
  HWND previous = GetActiveWindow();

  ModalShow modal;
  Disabling disabling{top, &modal.disabled};
  EnumThreadWindows(GetCurrentThreadId(), &disableOne, reinterpret_cast<LPARAM>(&disabling));
  shown->modals_.push_back(&modal);
  struct Restore {
    Win32Form& form;
    ModalShow& modal;
    ~Restore() {
      enableAgain(modal);
      form.modals_.erase(std::remove(form.modals_.begin(), form.modals_.end(), &modal),
                         form.modals_.end());
    }
  } restore{*shown, modal};

  if (top == shown->hwnd_) centreOnWorkArea(top);
  EnableWindow(top, TRUE);
  ShowWindow(top, SW_SHOWNORMAL);
  SetForegroundWindow(top);
  SetActiveWindow(top);
  if (HWND first = GetNextDlgTabItem(shown->hwnd_, nullptr, FALSE)) SetFocus(first);

  MSG message{};
  while (!modal.ended && shown->loaded_ && IsWindow(top) && IsWindowVisible(top)) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got == -1) break;
    if (!IsWindow(top) || !IsDialogMessageW(top, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  enableAgain(modal);
  if (previous && IsWindow(previous) && IsWindowEnabled(previous)) SetActiveWindow(previous);
}

void Win32Toolkit::endModalShows(Win32Form& form) {
  for (ModalShow* modal : form.modals_) {
    modal->ended = true;
    enableAgain(*modal);
  }
}

void Win32Toolkit::hide(const std::shared_ptr<host::IForm>& form) {
  auto hidden = own(form);
  // The windows the modal show disabled come back first, so that one of them is activated.
  endModalShows(*hidden);
  if (hidden->hwnd_) ShowWindow(holder(*hidden), SW_HIDE);
}

void Win32Toolkit::unload(const std::shared_ptr<host::IForm>& form) {
  auto unloaded = own(form);
  if (!unloaded->loaded_) return;
  unloaded->loaded_ = false;
  endModalShows(*unloaded);
  if (unloaded->hwnd_) {
    unloaded->unloading_ = true;
    DestroyWindow(unloaded->hwnd_);
  }
  // The window's events object goes last, after this call: it may be the caller.
  std::vector<Loaded> released;
  auto keep = std::stable_partition(loaded_.begin(), loaded_.end(),
                                    [&](const Loaded& entry) { return entry.form != unloaded; });
  std::move(keep, loaded_.end(), std::back_inserter(released));
  loaded_.erase(keep, loaded_.end());
}

void Win32Toolkit::unloadAll() {
  while (!loaded_.empty()) {
    const std::shared_ptr<Win32Form> form = loaded_.back().form;
    unload(form);
    // A window destroyed meanwhile from outside is no longer counted loaded.
    if (!loaded_.empty() && loaded_.back().form == form) loaded_.pop_back();
  }
  releaseDropped();
}

std::vector<std::shared_ptr<host::IFormEvents>> Win32Toolkit::loadedEvents() const {
  std::vector<std::shared_ptr<host::IFormEvents>> events;
  for (const Loaded& entry : loaded_) events.push_back(entry.events);
  return events;
}

void Win32Toolkit::closedByUser(const std::shared_ptr<Win32Form>& form) {
  unload(form);
}

void Win32Toolkit::destroyedOutside(const Win32Form& form) {
  // The events object may be running right now (a handler that destroyed the host's frame):
  // it is released at the toolkit's next call, not here.
  auto keep = std::stable_partition(loaded_.begin(), loaded_.end(), [&](const Loaded& entry) {
    return entry.form.get() != &form;
  });
  std::move(keep, loaded_.end(), std::back_inserter(dropped_));
  loaded_.erase(keep, loaded_.end());
}

void Win32Toolkit::releaseDropped() {
  std::vector<Loaded> released = std::move(dropped_);
  dropped_.clear();
}

void Win32Toolkit::messageBox(const std::string& text) {
  messages_.push_back(text);
  if (mode_ == Mode::Headless) return;
  HWND owner = GetActiveWindow();
  MessageBoxW(owner, wide(text).c_str(), kMessageBoxTitle, MB_OK | (owner ? 0u : MB_TASKMODAL));
}

void Win32Toolkit::setMousePointer(host::MousePointer pointer) {
  busy_ = pointer == host::MousePointer::Hourglass;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busy_ ? IDC_WAIT : IDC_ARROW)));
}

HCURSOR Win32Toolkit::pointingHand() {
  if (!hand_) hand_ = pointingHandCursor();
  return hand_;
}

host::ScreenMetrics Win32Toolkit::screen() {
  const auto perPixel = static_cast<int32_t>(std::lround(kTwipsPerInch / screenDpi()));
  host::ScreenMetrics metrics;
  metrics.twipsPerPixelX = perPixel;
  metrics.twipsPerPixelY = perPixel;
  metrics.widthTwips = GetSystemMetrics(SM_CXSCREEN) * perPixel;
  metrics.heightTwips = GetSystemMetrics(SM_CYSCREEN) * perPixel;
  return metrics;
}

void Win32Toolkit::shellOpen(const std::shared_ptr<host::IForm>& owner,
                             const std::string& address) {
  shellOpens_.push_back(address);
  if (mode_ == Mode::Headless) return;
  auto form = std::dynamic_pointer_cast<Win32Form>(owner);
  HWND window = form ? form->hwnd() : nullptr;
  ShellExecuteW(window, L"open", wide(address).c_str(), L"", L"", SW_SHOWNORMAL);
}

std::vector<std::shared_ptr<Win32Form>> Win32Toolkit::forms(std::string_view name) const {
  std::vector<std::shared_ptr<Win32Form>> found;
  for (const auto& entry : loaded_) {
    if (entry.form->name() == name) found.push_back(entry.form);
  }
  return found;
}

std::shared_ptr<Win32Form> Win32Toolkit::form(std::string_view name) const {
  auto found = forms(name);
  return found.empty() ? nullptr : found.back();
}

}  // namespace corvale::win32
