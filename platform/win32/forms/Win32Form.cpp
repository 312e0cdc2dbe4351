#include "platform/win32/forms/Win32Form.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "platform/win32/forms/Win32Pictures.h"
#include "platform/win32/forms/Win32Toolkit.h"
#include "platform/win32/forms/WideText.h"
#include "runtime/Failure.h"
#include "windows/Pictures.h"

namespace corvale::win32 {

using host::ControlKind;

namespace {

constexpr wchar_t kFormClass[] = L"CorvaleStreetSearchForm";
/// Posted to a form by its lists when their entries changed.
constexpr UINT kRefreshLists = WM_APP + 1;
constexpr double kTwipsPerInch = 1440.0;
constexpr const char* kClassicFace = "MS Sans Serif";
constexpr double kClassicPoints = 8.25;
constexpr int kPictureGap = 4;

COLORREF colourOf(host::Rgb rgb) {
  return RGB(rgb.r, rgb.g, rgb.b);
}

HMODULE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&thisModule), &module);
  return module;
}

bool takesFocus(ControlKind kind) {
  return kind == ControlKind::TextBox || kind == ControlKind::ListBox ||
         kind == ControlKind::Button;
}

std::wstring windowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(std::max(copied, 0)));
  return text;
}

int lineHeight(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previous);
  ReleaseDC(nullptr, dc);
  return metrics.tmHeight + metrics.tmExternalLeading;
}

}  // namespace

Win32Form::Win32Form(Win32Toolkit& toolkit, const host::FormLayout& layout,
                     const std::shared_ptr<host::IFormEvents>& events)
    : toolkit_(&toolkit), layout_(layout), events_(events) {}

Win32Form::~Win32Form() {
  for (ModalShow* modal : modals_)
    modal->ended = true;
  // Only the thread that made the window may destroy it; a window whose thread has ended
  // went with it.
  if (hwnd_ && GetWindowThreadProcessId(hwnd_, nullptr) == GetCurrentThreadId()) {
    unloading_ = true;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    for (auto& [name, list] : lists_)
      list->detach();
  }
  releaseResources();
  for (HBITMAP bitmap : handedOut_)
    DeleteObject(bitmap);
}

int Win32Form::pixels(int32_t twips) const {
  return static_cast<int>(std::lround(twips / twipsPerPixel_));
}

RECT Win32Form::pixelRect(const host::ControlLayout& control) const {
  int x = pixels(control.left), y = pixels(control.top);
  std::string_view container = control.container;
  for (int depth = 0; !container.empty() && depth < 16; ++depth) {
    const host::ControlLayout* holder = layout_.control(container);
    if (!holder) break;
    x += pixels(holder->left);
    y += pixels(holder->top);
    container = holder->container;
  }
  return RECT{x, y, x + pixels(control.width), y + pixels(control.height)};
}

HFONT Win32Form::fontFor(const std::optional<host::Font>& wanted) {
  const host::Font font = wanted.value_or(host::Font{kClassicFace, kClassicPoints, false, false});
  const double points = font.points > 0 ? font.points : kClassicPoints;
  const std::string face = font.face.empty() ? kClassicFace : font.face;
  const std::string key = face + '|' + std::to_string(points) + '|' +
                          (font.bold ? 'b' : '-') + (font.underline ? 'u' : '-');
  auto found = fonts_.find(key);
  if (found != fonts_.end()) return found->second;
  const int height = -static_cast<int>(std::lround(points * dpi_ / 72.0));
  HFONT created = CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                              font.underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_SWISS, wide(face).c_str());
  if (!created) created = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  else fonts_.emplace(key, created);
  return created;
}

HBRUSH Win32Form::brushFor(host::Rgb colour) {
  const uint32_t key = (uint32_t{colour.r} << 16) | (uint32_t{colour.g} << 8) | colour.b;
  auto found = brushes_.find(key);
  if (found != brushes_.end()) return found->second;
  HBRUSH brush = CreateSolidBrush(colourOf(colour));
  if (brush) brushes_.emplace(key, brush);
  return brush;
}

HBRUSH Win32Form::formBrush() const {
  return backBrush_ ? backBrush_ : GetSysColorBrush(COLOR_BTNFACE);
}

void Win32Form::build() {
  HDC screen = GetDC(nullptr);
  dpi_ = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = 96;
  twipsPerPixel_ = kTwipsPerInch / dpi_;

  HMODULE module = thisModule();
  // The class outlives this module when the module is unloaded and loaded again (a COM
  // server is): a registration that does not lead to this very procedure is renewed.
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  const bool current = GetClassInfoExW(module, kFormClass, &existing) &&
                       existing.lpfnWndProc == &Win32Form::windowProc;
  if (!current) {
    UnregisterClassW(kFormClass, module);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Win32Form::windowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kFormClass;
    if (!RegisterClassExW(&windowClass)) raise(err::kOutOfMemory);
  }

  if (!layout_.backgroundPicture.empty()) {
    background_ = findPicture(layout_.backgroundPicture);
    if (background_) backgroundBitmap_ = bitmapOf(*background_);
  }
  if (layout_.backColor) backBrush_ = CreateSolidBrush(colourOf(*layout_.backColor));

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
  const DWORD extended = WS_EX_CONTROLPARENT;
  RECT outer{0, 0, pixels(layout_.clientWidth), pixels(layout_.clientHeight)};
  AdjustWindowRectEx(&outer, style, FALSE, extended);
  CreateWindowExW(extended, kFormClass, wide(layout_.caption).c_str(), style, CW_USEDEFAULT,
                  CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                  nullptr, module, this);
  if (!hwnd_) raise(err::kOutOfMemory);
  // Creation holds a window to the system's minimum size; this form's own limits allow the table's.
  SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  controls_.resize(layout_.controls.size());
  for (size_t index = 0; index < layout_.controls.size(); ++index)
    buildControl(index);
  applyTabOrder();
}

void Win32Form::buildControl(size_t index) {
  const host::ControlLayout& layout = layout_.controls[index];
  Control& built = controls_[index];
  built.layout = &layout;
  built.rect = pixelRect(layout);
  built.font = fontFor(layout.font);
  if (layout.backColor) built.brush = brushFor(*layout.backColor);
  if (!layout.picture.empty()) {
    built.picture = findPicture(layout.picture);
    if (built.picture) built.bitmap = bitmapOf(*built.picture);
  }
  const std::string click = layout.name + "_Click";
  const bool notifies = handles(click) || !layout.tooltip.empty() || layout.handPointer;

  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  DWORD extended = 0;
  const wchar_t* windowClass = L"STATIC";
  switch (layout.kind) {
    case ControlKind::Frame:
      if (!layout.caption.empty()) {
        windowClass = L"BUTTON";
        style |= BS_GROUPBOX;
      } else {
        style |= SS_LEFT | SS_NOPREFIX;
        if (!layout.borderless) extended |= WS_EX_STATICEDGE;
      }
      break;
    case ControlKind::Label: {
      style |= SS_NOPREFIX;
      if (notifies) style |= SS_NOTIFY;
      const int height = built.rect.bottom - built.rect.top;
      switch (layout.alignment) {
        case host::Alignment::Right:
          style |= SS_RIGHT;
          break;
        case host::Alignment::Center:
          style |= SS_CENTER;
          break;
        case host::Alignment::Left:
          // A label one line high shows one line, clipped; taller ones wrap.
          style |= height >= 2 * lineHeight(built.font) ? SS_LEFT : SS_LEFTNOWORDWRAP;
          break;
      }
      break;
    }
    case ControlKind::TextBox:
      windowClass = L"EDIT";
      style |= ES_AUTOHSCROLL;
      if (layout.alignment == host::Alignment::Right) style |= ES_RIGHT;
      if (layout.alignment == host::Alignment::Center) style |= ES_CENTER;
      extended |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::ListBox:
      windowClass = L"LISTBOX";
      style |= LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
      extended |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Button:
      windowClass = L"BUTTON";
      style |= BS_OWNERDRAW;
      break;
    case ControlKind::Picture:
      style |= SS_OWNERDRAW;
      if (notifies) style |= SS_NOTIFY;
      break;
  }
  if (takesFocus(layout.kind) && layout.tabIndex >= 0) style |= WS_TABSTOP;

  const std::wstring caption =
      layout.kind == ControlKind::ListBox ? std::wstring() : wide(layout.caption);
  built.hwnd = CreateWindowExW(
      extended, windowClass, caption.c_str(), style, built.rect.left, built.rect.top,
      built.rect.right - built.rect.left, built.rect.bottom - built.rect.top, hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(index))),
      thisModule(), nullptr);
  if (!built.hwnd) raise(err::kOutOfMemory);
  SendMessageW(built.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(built.font), FALSE);

  if (layout.kind == ControlKind::ListBox) {
    lists_.emplace(layout.name, std::make_unique<Win32ListBox>(layout.sorted, built.hwnd, hwnd_,
                                                               kRefreshLists,
                                                               [this, click] { fire(click); }));
  }
  if (!layout.tooltip.empty()) addTooltip(built);
}

void Win32Form::addTooltip(Control& control) {
  if (!tooltips_) {
    tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                thisModule(), nullptr);
    if (!tooltips_) return;
    SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, 400);
  }
  std::wstring text = wide(control.layout->tooltip);
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  // The tooltips learn of the mouse from this form's own relay (controlProc): the common
  // controls' subclassing (TTF_SUBCLASS) costs every message the control receives dearly under
  // Wine, hundreds of microseconds each, which a list filled with many entries cannot afford.
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(control.hwnd);
  tool.lpszText = text.data();
  if (!SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) return;
  control.form = this;
  SetWindowLongPtrW(control.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&control));
  control.original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      control.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Form::controlProc)));
}

LRESULT CALLBACK Win32Form::controlProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  auto* control = reinterpret_cast<Control*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!control || !control->original) return DefWindowProcW(window, message, wParam, lParam);
  const WNDPROC original = control->original;
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && control->form &&
      control->form->tooltips_) {
    MSG relayed{};
    relayed.hwnd = window;
    relayed.message = message;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    relayed.time = static_cast<DWORD>(GetMessageTime());
    GetCursorPos(&relayed.pt);
    SendMessageW(control->form->tooltips_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    control->original = nullptr;
  }
  return CallWindowProcW(original, window, message, wParam, lParam);
}

void Win32Form::applyTabOrder() {
  // From the top of the z-order: the controls that take focus in their tab order (the order
  // in which the dialog manager tabs), then the other controls, then the frames, so that
  // the frames paint below what they hold.
  std::vector<const Control*> tabbed, others, frames;
  for (const Control& control : controls_) {
    if (!control.hwnd) continue;
    if (control.layout->kind == ControlKind::Frame)
      frames.push_back(&control);
    else if (takesFocus(control.layout->kind) && control.layout->tabIndex >= 0)
      tabbed.push_back(&control);
    else
      others.push_back(&control);
  }
  std::stable_sort(tabbed.begin(), tabbed.end(), [](const Control* a, const Control* b) {
    return a->layout->tabIndex < b->layout->tabIndex;
  });
  HWND after = HWND_TOP;
  for (const auto* group : {&tabbed, &others, &frames}) {
    for (const Control* control : *group) {
      SetWindowPos(control->hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = control->hwnd;
    }
  }
}

const host::ControlLayout& Win32Form::controlLayout(std::string_view name) const {
  const host::ControlLayout* control = layout_.control(name);
  if (!control) raise(err::kTypeMismatch);
  return *control;
}

Win32Form::Control* Win32Form::controlOf(HWND window) {
  if (!window) return nullptr;
  for (Control& control : controls_) {
    if (control.hwnd == window) return &control;
  }
  return nullptr;
}

HWND Win32Form::control(std::string_view name) const {
  for (const Control& control : controls_) {
    if (control.layout && control.layout->name == name) return control.hwnd;
  }
  return nullptr;
}

Win32ListBox* Win32Form::list(std::string_view name) {
  auto found = lists_.find(name);
  return found == lists_.end() ? nullptr : found->second.get();
}

host::IListBox& Win32Form::listBox(std::string_view name) {
  Win32ListBox* found = list(name);
  if (!found) raise(err::kTypeMismatch);
  return *found;
}

std::string Win32Form::text(std::string_view name) {
  const host::ControlLayout& layout = controlLayout(name);
  if (layout.kind == ControlKind::ListBox) return listBox(name).text();
  HWND window = control(name);
  if (!window) raise(err::kObjectNotSet);
  return narrow(windowText(window));
}

void Win32Form::setText(std::string_view name, const std::string& value) {
  const host::ControlLayout& layout = controlLayout(name);
  if (layout.kind == ControlKind::ListBox) raise(err::kTypeMismatch);
  HWND window = control(name);
  if (!window) raise(err::kObjectNotSet);
  SetWindowTextW(window, wide(value).c_str());
  if (Control* changed = controlOf(window)) redrawControl(*changed);
}

int32_t Win32Form::widthTwips() {
  const auto perPixel = static_cast<int32_t>(std::lround(twipsPerPixel_));
  if (!hwnd_) return layout_.clientWidth;
  RECT outer{};
  GetWindowRect(GetAncestor(hwnd_, GA_ROOT), &outer);
  return (outer.right - outer.left) * perPixel;
}

int32_t Win32Form::heightTwips() {
  const auto perPixel = static_cast<int32_t>(std::lround(twipsPerPixel_));
  if (!hwnd_) return layout_.clientHeight;
  RECT outer{};
  GetWindowRect(GetAncestor(hwnd_, GA_ROOT), &outer);
  return (outer.bottom - outer.top) * perPixel;
}

int32_t Win32Form::pictureHandle(std::string_view name) {
  const host::ControlLayout& layout = controlLayout(name);
  if (layout.kind != ControlKind::Picture) raise(err::kTypeMismatch);
  auto found = pictureHandles_.find(name);
  if (found != pictureHandles_.end()) return found->second;
  const Picture* picture = findPicture(layout.picture);
  if (!picture) return 0;
  HBITMAP bitmap = bitmapOf(*picture);
  if (!bitmap) raise(err::kOutOfMemory);
  handedOut_.push_back(bitmap);
  const auto handle = static_cast<int32_t>(reinterpret_cast<INT_PTR>(bitmap));
  pictureHandles_.emplace(std::string(name), handle);
  return handle;
}

bool Win32Form::handles(std::string_view handler) const {
  return std::find(layout_.handlers.begin(), layout_.handlers.end(), handler) !=
         layout_.handlers.end();
}

void Win32Form::fire(const std::string& handler) {
  if (!loaded_ || !handles(handler)) return;
  // The handler may unload this window and drop every other reference to it.
  auto self = shared_from_this();
  if (auto events = events_.lock()) events->fire(handler);
}

LRESULT CALLBACK Win32Form::windowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* created = static_cast<Win32Form*>(creation->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    if (created) created->hwnd_ = window;
  }
  auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form) {
    // Nothing thrown may cross into the system's code that called this procedure.
    try {
      if (auto answer = form->handle(message, wParam, lParam)) return *answer;
    } catch (...) {
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::optional<LRESULT> Win32Form::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam) {
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      return colours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      paintBackground(reinterpret_cast<HDC>(wParam), client, POINT{0, 0});
      return 1;
    }
    case WM_DRAWITEM:
      if (lParam) drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_GETMINMAXINFO:
      // The table's client area, however small: no minimum size of the system's.
      if (lParam) {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = POINT{1, 1};
      }
      return 0;
    case WM_SETCURSOR:
      if (setCursor(reinterpret_cast<HWND>(wParam), static_cast<short>(LOWORD(lParam))))
        return TRUE;
      break;
    case WM_CLOSE:
      // The user closed a form shown on its own: it unloads. A form inside a host's
      // frame window is closed with its frame.
      if (toolkit_ && GetAncestor(hwnd_, GA_ROOT) == hwnd_) {
        toolkit_->closedByUser(shared_from_this());
        return 0;
      }
      break;
    case kRefreshLists:
      for (auto& [name, list] : lists_)
        list->refresh();
      return 0;
    case WM_NCDESTROY:
      destroyed();
      break;
    default:
      break;
  }
  return std::nullopt;
}

void Win32Form::command(int id, int code) {
  const int index = id - kFirstControlId;
  if (index < 0 || static_cast<size_t>(index) >= controls_.size()) return;
  const Control& control = controls_[static_cast<size_t>(index)];
  const std::string& name = control.layout->name;
  switch (control.layout->kind) {
    case ControlKind::Button:
      // An owner-drawn button reports the second click of a double click as such.
      if (code == BN_CLICKED || code == BN_DOUBLECLICKED) fire(name + "_Click");
      break;
    case ControlKind::Label:
    case ControlKind::Picture:
      if (code == STN_CLICKED) fire(name + "_Click");
      break;
    case ControlKind::ListBox:
      if (code == LBN_SELCHANGE) {
        if (Win32ListBox* changed = list(name)) changed->userSelectionChanged();
      }
      break;
    case ControlKind::Frame:
    case ControlKind::TextBox:
      break;
  }
}

std::optional<LRESULT> Win32Form::colours(HDC dc, HWND window) {
  const Control* control = controlOf(window);
  if (!control) return std::nullopt;
  const host::ControlLayout& layout = *control->layout;
  const bool field = layout.kind == ControlKind::TextBox || layout.kind == ControlKind::ListBox;
  SetTextColor(dc, layout.foreColor ? colourOf(*layout.foreColor)
                                    : GetSysColor(field ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
  if (layout.backColor && control->brush && (field || !layout.transparent)) {
    SetBkColor(dc, colourOf(*layout.backColor));
    return reinterpret_cast<LRESULT>(control->brush);
  }
  if (field) {
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  if (layout.kind == ControlKind::Frame) {
    // The caption's background: what lies behind the frame.
    SetBkColor(dc, layout_.backColor ? colourOf(*layout_.backColor) : GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(formBrush());
  }
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

bool Win32Form::setCursor(HWND window, int hitTest) {
  if (toolkit_ && toolkit_->busy()) {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    return true;
  }
  if (hitTest != HTCLIENT || !toolkit_) return false;
  const Control* control = controlOf(window);
  if (!control || !control->layout->handPointer) return false;
  HCURSOR hand = toolkit_->pointingHand();
  if (!hand) return false;
  SetCursor(hand);
  return true;
}

void Win32Form::paintBackground(HDC dc, const RECT& area, POINT origin) {
  RECT target = area;
  OffsetRect(&target, -origin.x, -origin.y);
  FillRect(dc, &target, formBrush());
  if (background_ && backgroundBitmap_) {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, target.left, target.top, target.right, target.bottom);
    drawPicture(dc, backgroundBitmap_, *background_, -origin.x, -origin.y);
    RestoreDC(dc, saved);
  }
  for (const Control& control : controls_) {
    if (control.layout->kind != ControlKind::Frame || !control.brush) continue;
    RECT frame{};
    if (!IntersectRect(&frame, &control.rect, &area)) continue;
    OffsetRect(&frame, -origin.x, -origin.y);
    FillRect(dc, &frame, control.brush);
  }
}

void Win32Form::drawItem(const DRAWITEMSTRUCT& item) {
  const Control* control = controlOf(item.hwndItem);
  if (!control) return;
  if (control->layout->kind == ControlKind::Button) drawButton(*control, item);
  if (control->layout->kind == ControlKind::Picture) drawPictureBox(*control, item);
}

void Win32Form::drawButton(const Control& control, const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT bounds = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(dc, &bounds, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0u));
  if (control.brush) {
    RECT inner = bounds;
    InflateRect(&inner, -2, -2);
    FillRect(dc, &inner, control.brush);
  }
  const int shift = pushed ? 1 : 0;
  const std::wstring caption = windowText(control.hwnd);
  HGDIOBJ previousFont = SelectObject(dc, control.font);
  SIZE textSize{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &textSize);
  const int pictureWidth = control.picture && control.bitmap ? control.picture->width : 0;
  const int gap = pictureWidth > 0 && !caption.empty() ? kPictureGap : 0;
  const int contentWidth = pictureWidth + gap + textSize.cx;
  const int left = std::max(static_cast<int>(bounds.left) + 2,
                            static_cast<int>(bounds.left + bounds.right - contentWidth) / 2) +
                   shift;
  const int middle = static_cast<int>(bounds.top + bounds.bottom) / 2 + shift;
  if (pictureWidth > 0)
    drawPicture(dc, control.bitmap, *control.picture, left, middle - control.picture->height / 2);
  SetBkMode(dc, TRANSPARENT);
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT)
                   : control.layout->foreColor ? colourOf(*control.layout->foreColor)
                                               : GetSysColor(COLOR_BTNTEXT));
  RECT text{left + pictureWidth + gap, bounds.top + shift, bounds.right, bounds.bottom + shift};
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = bounds;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }
  SelectObject(dc, previousFont);
}

void Win32Form::drawPictureBox(const Control& control, const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  const RECT bounds = item.rcItem;
  if (control.brush && !control.layout->transparent) {
    FillRect(dc, &bounds, control.brush);
  } else {
    paintBackground(dc, control.rect, POINT{control.rect.left, control.rect.top});
  }
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  HGDIOBJ previousFont = SelectObject(dc, control.font);
  int textLeft = 0;
  if (control.picture && control.bitmap) {
    const int top = std::max(0, (height - control.picture->height) / 2);
    drawPicture(dc, control.bitmap, *control.picture, 0, top);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    textLeft = control.picture->width + metrics.tmAveCharWidth;
  }
  const std::wstring caption = windowText(control.hwnd);
  if (!caption.empty() && textLeft < width) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, control.layout->foreColor ? colourOf(*control.layout->foreColor)
                                               : GetSysColor(COLOR_BTNTEXT));
    RECT measured{textLeft, 0, width, height};
    const UINT format = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
              format | DT_CALCRECT);
    const int textHeight = measured.bottom - measured.top;
    RECT text{textLeft, std::max(0, (height - textHeight) / 2), width, height};
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, format);
  }
  SelectObject(dc, previousFont);
}

void Win32Form::redrawControl(const Control& control) {
  if (!control.hwnd) return;
  const bool seeThrough = (control.layout->kind == ControlKind::Label ||
                           control.layout->kind == ControlKind::Picture) &&
                          (control.layout->transparent || !control.layout->backColor);
  if (seeThrough && hwnd_) {
    RedrawWindow(hwnd_, &control.rect, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
  } else {
    InvalidateRect(control.hwnd, nullptr, TRUE);
  }
}

void Win32Form::destroyed() {
  if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  tooltips_ = nullptr;
  for (Control& control : controls_)
    control.hwnd = nullptr;
  for (auto& [name, list] : lists_)
    list->detach();
  releaseResources();
  if (!unloading_ && loaded_) {
    // Destroyed from outside (the host's frame window went and took it along): unloaded.
    loaded_ = false;
    for (ModalShow* modal : modals_)
      modal->ended = true;
    if (toolkit_) toolkit_->destroyedOutside(*this);
  }
}

void Win32Form::releaseResources() {
  for (Control& control : controls_) {
    if (control.bitmap) DeleteObject(control.bitmap);
    control.bitmap = nullptr;
    control.brush = nullptr;
    control.font = nullptr;
  }
  for (auto& [key, font] : fonts_)
    DeleteObject(font);
  fonts_.clear();
  for (auto& [key, brush] : brushes_)
    DeleteObject(brush);
  brushes_.clear();
  if (backBrush_) DeleteObject(backBrush_);
  backBrush_ = nullptr;
  if (backgroundBitmap_) DeleteObject(backgroundBitmap_);
  backgroundBitmap_ = nullptr;
}

}  // namespace corvale::win32
