#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Object.h"

namespace corvale::host {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Font {
  std::string face;
  double points = 8.25;
  bool bold = false;
  bool underline = false;
  friend bool operator==(const Font&, const Font&) = default;
};

enum class ControlKind { Frame, Label, TextBox, ListBox, Button, Picture };
enum class Alignment { Left, Right, Center };

/// One control of a window: what a toolkit needs to build it.
struct ControlLayout {
  ControlKind kind = ControlKind::Label;
  std::string name;
  std::string caption;
  std::string tooltip;
  /// Name of the frame control that holds it; empty for the window itself.
  std::string container;
  /// Position and size in twips (1/1440 inch), relative to the container.
  int32_t left = 0, top = 0, width = 0, height = 0;
  std::optional<Rgb> backColor;
  std::optional<Rgb> foreColor;
  std::optional<Font> font;
  /// Position in the tab order, or -1 when the control takes no focus.
  int32_t tabIndex = -1;
  /// For list boxes: the list keeps its entries sorted by itself.
  bool sorted = false;
  /// The pointing-hand mouse pointer over the control.
  bool handPointer = false;
  Alignment alignment = Alignment::Left;
  bool transparent = false;
  bool borderless = false;
  /// Name of a picture of the component's picture set (see windows/Pictures.h), or empty.
  std::string picture;

  static ControlLayout make(ControlKind kind, std::string name, std::string caption,
                          std::string tooltip, std::string container, int32_t left, int32_t top,
                          int32_t width, int32_t height) {
    ControlLayout layout;
    layout.kind = kind;
    layout.name = std::move(name);
    layout.caption = std::move(caption);
    layout.tooltip = std::move(tooltip);
    layout.container = std::move(container);
    layout.left = left;
    layout.top = top;
    layout.width = width;
    layout.height = height;
    return layout;
  }
};

/// A window as data: its caption, client area, colours and control table.
struct FormLayout {
  std::string name;
  std::string caption;
  int32_t clientWidth = 0, clientHeight = 0;  // twips
  std::optional<Rgb> backColor;
  /// Name of a picture drawn as the window's background, or empty.
  std::string backgroundPicture;
  std::vector<ControlLayout> controls;
  /// Events the window handles, by handler name ("Command4_Click").
  std::vector<std::string> handlers;

  const ControlLayout* control(std::string_view controlName) const {
    for (const auto& c : controls) {
      if (c.name == controlName) return &c;
    }
    return nullptr;
  }
};

/**
 * A list control: an ordered list of texts with at most one selected entry.
 * A sorted list keeps its entries in collation order (Collation) however
 * they were appended. Positions are 32-bit; -1 is "no entry".
 */
class IListBox {
 public:
  virtual ~IListBox() = default;
  virtual void clear() = 0;
  virtual void append(std::string text) = 0;
  virtual int32_t count() = 0;
  /// The entry at the position, valid until the list next changes; a
  /// position outside the list is failure 5.
  virtual const std::string& item(int32_t index) = 0;
  virtual int32_t selectedIndex() = 0;
  /// Selects the entry and scrolls it into view, reporting the selection as a
  /// user's pick does (the list's click event runs). -1 clears the selection
  /// without an event. A position outside the list is failure 5.
  virtual void select(int32_t index) = 0;
  /// The text of the selected entry; the empty text when none is selected.
  virtual std::string text() = 0;
};

/// A window as the toolkit built it.
class IForm : public virtual Object {
 public:
  /// The list control of that name (failure 13 when the control is not a list).
  virtual IListBox& listBox(std::string_view name) = 0;
  /// The content of a text box or the caption of any other control.
  virtual std::string text(std::string_view control) = 0;
  virtual void setText(std::string_view control, const std::string& text) = 0;
  /// The window's outer size in twips.
  virtual int32_t widthTwips() = 0;
  virtual int32_t heightTwips() = 0;
  /// A handle of the picture a picture control holds; the same one for as long as the form lives.
  virtual int32_t pictureHandle(std::string_view control) = 0;
  virtual bool isLoaded() = 0;
};

/// Receives the events of a window, by handler name. Must not throw.
class IFormEvents {
 public:
  virtual ~IFormEvents() = default;
  virtual void fire(std::string_view handler) noexcept = 0;
};

enum class MousePointer { Default, Hourglass };

/// The screen's size and resolution as the windows measure it.
struct ScreenMetrics {
  int32_t widthTwips = 0;
  int32_t heightTwips = 0;
  int32_t twipsPerPixelX = 15;
  int32_t twipsPerPixelY = 15;
};

/**
 * The forms toolkit: builds windows from their tables, routes their events,
 * shows them, and offers the message box, the mouse pointer, the screen and
 * the shell.
 */
class IFormsToolkit {
 public:
  virtual ~IFormsToolkit() = default;

  /**
   * Builds the window hidden. Its events go to `events`, which the toolkit
   * keeps alive for as long as the window stays loaded, the way a collection
   * of loaded forms does.
   */
  virtual std::shared_ptr<IForm> load(const FormLayout& layout,
                                      std::shared_ptr<IFormEvents> events) = 0;
  /// Shows the window modally with no owner; returns when it has been hidden or unloaded.
  virtual void showModal(const std::shared_ptr<IForm>& form) = 0;
  virtual void hide(const std::shared_ptr<IForm>& form) = 0;
  /// Destroys the window's controls; the form then reports isLoaded() false.
  virtual void unload(const std::shared_ptr<IForm>& form) = 0;

  /// A modal message box with the OK button alone, no icon and the product's name as title.
  virtual void messageBox(const std::string& text) = 0;
  virtual void setMousePointer(MousePointer pointer) = 0;
  virtual ScreenMetrics screen() = 0;
  /// Asks the system to open the address with the user's default program
  /// (verb "Open", normal window); the outcome is not reported.
  virtual void shellOpen(const std::shared_ptr<IForm>& owner, const std::string& address) = 0;
};

/// A window of the component, which loads itself when its handle is first needed.
class IWindow : public virtual Object {
 public:
  /// The toolkit's window, loading this window (running its Form_Load) first when needed.
  virtual std::shared_ptr<IForm> hWnd() = 0;
};

/// A host-owned modeless window that wraps one of the component's windows.
class IFrameWindow : public virtual Object {
 public:
  /// Takes the window in; asks it for its handle, which loads it.
  virtual void attach(const std::shared_ptr<IWindow>& window) = 0;
  virtual void setVisible(bool visible) = 0;
  virtual bool visible() = 0;
  virtual void setCaption(const std::string& caption) = 0;
};

/// The position of a frame window on the screen.
class IWindowPosition : public virtual Object {
 public:
  /// Moves the frame; left and top in pixels; a width or height of 0 keeps the current one.
  virtual void move(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
};

}  // namespace corvale::host
