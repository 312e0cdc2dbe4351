#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/Forms.h"
#include "platform/win32/forms/Win32ListBox.h"

namespace corvale {
struct Picture;
}

namespace corvale::win32 {

class Win32Toolkit;

/// One modal show running: the windows it disabled, and whether it has ended.
struct ModalShow {
  std::vector<HWND> disabled;
  bool ended = false;
};

/**
 * A window built by Win32Toolkit from its control table: a top-level window
 * of the toolkit's own class (its client area the table's) with one child
 * window per control, all direct children of the form's window; a control
 * inside a frame control is placed at its frame's position plus its own.
 *
 * Controls by kind: a frame with a caption is a group box (BUTTON,
 * BS_GROUPBOX), one without a caption a STATIC panel (a group box always
 * draws its border); labels are STATICs (SS_NOTIFY when they have a click
 * handler, a tooltip or the hand pointer); the text box an EDIT; lists
 * LISTBOXes (LBS_NOTIFY, single selection, no LBS_SORT: the order is the
 * core's); buttons owner-drawn BUTTONs showing their picture and caption;
 * pictures owner-drawn STATICs. Controls' identifiers are 1000 plus their
 * position in the table.
 *
 * The events arrive at the form's window as WM_COMMAND whether the window is
 * top level or has been made the child of a host's frame window. Only the
 * handlers the table names are fired. The window procedure lets no C++
 * exception through.
 */
class Win32Form : public host::IForm, public std::enable_shared_from_this<Win32Form> {
 public:
  static constexpr int kFirstControlId = 1000;

  Win32Form(Win32Toolkit& toolkit, const host::FormLayout& layout,
            const std::shared_ptr<host::IFormEvents>& events);
  ~Win32Form() override;
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;

  // host::IForm
  host::IListBox& listBox(std::string_view name) override;
  std::string text(std::string_view control) override;
  void setText(std::string_view control, const std::string& text) override;
  /// The outer size of the window that holds the form: the form's own, or its frame's once
  /// embedded.
  int32_t widthTwips() override;
  int32_t heightTwips() override;
  /// For a picture control: its picture as an HBITMAP (a 24-bit DIB section of the
  /// picture's size), created on the first call and kept until the form is destroyed.
  int32_t pictureHandle(std::string_view control) override;
  bool isLoaded() override { return loaded_; }

  /// The form's window; null once unloaded.
  HWND hwnd() const { return hwnd_; }
  /// The window of the control, or null.
  HWND control(std::string_view name) const;
  /// The tooltip window of the form, or null when it has no tooltips.
  HWND tooltips() const { return tooltips_; }
  /// The list control of that name, or null.
  Win32ListBox* list(std::string_view name);
  const host::FormLayout& layout() const { return layout_; }
  const std::string& name() const { return layout_.name; }
  /// Pixels for twips at the screen's resolution when the form was built.
  int pixels(int32_t twips) const;

  /// Runs the window's handler of that name when the window is loaded and handles it.
  void fire(const std::string& handler);
  bool handles(std::string_view handler) const;

 private:
  friend class Win32Toolkit;

  struct Control {
    const host::ControlLayout* layout = nullptr;
    HWND hwnd = nullptr;
    RECT rect{};  // in the form's client area
    HFONT font = nullptr;
    HBRUSH brush = nullptr;
    const Picture* picture = nullptr;
    HBITMAP bitmap = nullptr;
    Win32Form* form = nullptr;
    /// The control's own window procedure, when this form relays its mouse to the tooltips.
    WNDPROC original = nullptr;
  };

  void build();
  void buildControl(size_t index);
  void applyTabOrder();
  void addTooltip(Control& control);
  RECT pixelRect(const host::ControlLayout& control) const;
  HFONT fontFor(const std::optional<host::Font>& font);
  HBRUSH brushFor(host::Rgb colour);
  const host::ControlLayout& controlLayout(std::string_view name) const;
  Control* controlOf(HWND window);

  static LRESULT CALLBACK controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  /// The answer to the message, or nothing for the default processing.
  std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);
  void command(int id, int code);
  std::optional<LRESULT> colours(HDC dc, HWND window);
  HBRUSH formBrush() const;
  bool setCursor(HWND window, int hitTest);
  /// Paints the form's background (colour, picture, frames' colours) for the area of the
  /// form's client rectangle `area`, into a device context whose origin is at `origin`.
  void paintBackground(HDC dc, const RECT& area, POINT origin);
  void drawItem(const DRAWITEMSTRUCT& item);
  void drawButton(const Control& control, const DRAWITEMSTRUCT& item);
  void drawPictureBox(const Control& control, const DRAWITEMSTRUCT& item);
  /// Redraws the control together with what lies behind it (for transparent ones).
  void redrawControl(const Control& control);
  /// The window was destroyed: forget its handles, and tell the toolkit when nobody asked.
  void destroyed();
  void releaseResources();

  Win32Toolkit* toolkit_;
  host::FormLayout layout_;
  std::weak_ptr<host::IFormEvents> events_;
  double twipsPerPixel_ = 15.0;
  int dpi_ = 96;
  HWND hwnd_ = nullptr;
  HWND tooltips_ = nullptr;
  std::vector<Control> controls_;
  std::map<std::string, std::unique_ptr<Win32ListBox>, std::less<>> lists_;
  std::map<std::string, int32_t, std::less<>> pictureHandles_;
  std::vector<HBITMAP> handedOut_;
  std::map<std::string, HFONT> fonts_;
  std::map<uint32_t, HBRUSH> brushes_;
  HBRUSH backBrush_ = nullptr;
  const Picture* background_ = nullptr;
  HBITMAP backgroundBitmap_ = nullptr;
  bool loaded_ = true;
  bool unloading_ = false;
  /// Modal shows of this form that are running, innermost last.
  std::vector<ModalShow*> modals_;
};

}  // namespace corvale::win32
