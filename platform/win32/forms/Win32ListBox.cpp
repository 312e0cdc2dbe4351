#include "platform/win32/forms/Win32ListBox.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "platform/win32/Utf16.h"
#include "runtime/Text.h"

namespace corvale::win32 {

Win32ListBox::Win32ListBox(bool sorted, HWND control, HWND notify, UINT refreshMessage,
                           std::function<void()> onClick)
    : sorted_(sorted),
      control_(control),
      notify_(notify),
      refreshMessage_(refreshMessage),
      onClick_(std::move(onClick)) {}

void Win32ListBox::detach() {
  control_ = nullptr;
  notify_ = nullptr;
}

void Win32ListBox::changed() {
  pending_ = true;
  if (posted_ || !notify_) return;
  posted_ = PostMessageW(notify_, refreshMessage_, 0, 0) != FALSE;
}

void Win32ListBox::refresh() {
  posted_ = false;
  if (!pending_) return;
  // A sort that fails leaves the refresh pending: the next read tries again.
  if (settle()) reset_ = true;
  pending_ = false;
  if (!control_) return;
  const std::vector<std::string>& all = entries_.entries();
  if (reset_ || shown_ > all.size()) {
    reset_ = false;
    shown_ = 0;
    ++fills_;
  }
  SendMessageW(control_, WM_SETREDRAW, FALSE, 0);
  if (shown_ == 0) SendMessageW(control_, LB_RESETCONTENT, 0, 0);
  if (shown_ < all.size()) {
    // The adds go straight to the list box's own procedure, the one of its
    // class: a window procedure that the form put in front of it (the
    // tooltips' relay) has nothing to do with them, and under Wine every
    // hop through the message dispatch costs a system call.
    const auto classProc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(control_, GCLP_WNDPROC));
    const auto add = [&](UINT message, WPARAM wParam, LPARAM lParam) {
      return classProc ? CallWindowProcW(classProc, control_, message, wParam, lParam)
                       : SendMessageW(control_, message, wParam, lParam);
    };
    std::wstring entry;
    size_t batch = kFirstStorageBatch;
    size_t announced = shown_;
    for (size_t k = shown_; k < all.size(); ++k) {
      if (k == announced) {
        announced = reserve(all, k, batch, add);
        batch *= 2;
      }
      assignWide(all[k], entry);
      const LRESULT at = add(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
      if (at == LB_ERR || at == LB_ERRSPACE) break;
      shown_ = k + 1;
    }
  }
  showSelection();
  SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(control_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

bool Win32ListBox::settle() {
  if (!sorted_) return false;
  const std::vector<std::string>& all = entries_.entries();
  if (settled_ == all.size()) return false;
  std::optional<std::vector<size_t>> keyed;
  if (settled_ == 0) keyed = keys_.order(all);
  keys_.clear();
  // Without keys for every entry (entries added to a list already shown, or a
  // key that could not be made) the list sorts the usual way.
  const std::vector<size_t> order = keyed ? std::move(*keyed) : Collation::order(all);
  settled_ = all.size();
  bool moved = false;
  for (size_t k = 0; k < order.size() && !moved; ++k)
    moved = order[k] != k;
  if (!moved) return false;
  // The entries are copied into their new order, which then lies in memory in
  // list order for the passes of a search.
  std::vector<std::string> sorted = copyInOrder(all, order);
  const int32_t stillSelected = positionInOrder(order, entries_.selectedIndex());
  entries_.clear();
  for (std::string& text : sorted)
    entries_.append(std::move(text));
  entries_.select(stillSelected);
  return true;
}

size_t Win32ListBox::reserve(const std::vector<std::string>& all, size_t from, size_t batch,
                             const std::function<LRESULT(UINT, WPARAM, LPARAM)>& send) {
  const size_t to = std::min(all.size(), from + batch);
  size_t bytes = 0;
  for (size_t k = from; k < to; ++k) bytes += (all[k].size() + 1) * sizeof(wchar_t);
  send(LB_INITSTORAGE, static_cast<WPARAM>(to - from), static_cast<LPARAM>(std::min<size_t>(bytes, INT_MAX)));
  return to;
}

void Win32ListBox::showSelection() {
  if (!control_) return;
  const int32_t selected = entries_.selectedIndex();
  SendMessageW(control_, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void Win32ListBox::userSelectionChanged() {
  if (!control_) return;
  const auto row = static_cast<int32_t>(SendMessageW(control_, LB_GETCURSEL, 0, 0));
  // A pick among entries that a refresh has since replaced picks nothing.
  const uint64_t fills = fills_;
  refresh();
  if (fills != fills_ || row >= entries_.count()) return;
  entries_.select(row < 0 ? -1 : row);
  showSelection();
  if (row >= 0) click();
}

void Win32ListBox::click() {
  // A copy: the handler may unload the window, and with it this list.
  const std::function<void()> onClick = onClick_;
  if (onClick) onClick();
}

void Win32ListBox::clear() {
  entries_.clear();
  keys_.clear();
  settled_ = 0;
  reset_ = true;
  changed();
}

void Win32ListBox::append(std::string text) {
  if (sorted_ && settled_ == 0) keys_.add(text);
  entries_.append(std::move(text));
  changed();
}

int32_t Win32ListBox::count() {
  refresh();
  return entries_.count();
}

const std::string& Win32ListBox::item(int32_t index) {
  refresh();
  return entries_.item(index);
}

int32_t Win32ListBox::selectedIndex() {
  refresh();
  return entries_.selectedIndex();
}

void Win32ListBox::select(int32_t index) {
  refresh();
  entries_.select(index);
  showSelection();
  if (index >= 0) click();
}

std::string Win32ListBox::text() {
  refresh();
  return entries_.text();
}

}  // namespace corvale::win32
