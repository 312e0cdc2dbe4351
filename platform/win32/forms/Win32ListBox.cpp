#include "platform/win32/forms/Win32ListBox.h"

#include <algorithm>
#include <climits>

#include "platform/win32/Utf16.h"

namespace corvale::win32 {

Win32ListBox::Win32ListBox(bool sorted, HWND control, HWND notify, UINT refreshMessage,
                           std::function<void()> onClick)
    : entries_(sorted),
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
  pending_ = false;
  if (entries_.settle()) reset_ = true;
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
    std::wstring entry;
    const size_t first = shown_;
    for (size_t k = first; k < all.size(); ++k) {
      if ((k - first) % kStorageBatch == 0) reserve(all, k);
      assignWide(all[k], entry);
      const LRESULT at = SendMessageW(control_, LB_ADDSTRING, 0,
                                      reinterpret_cast<LPARAM>(entry.c_str()));
      if (at == LB_ERR || at == LB_ERRSPACE) break;
      shown_ = k + 1;
    }
  }
  showSelection();
  SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(control_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

void Win32ListBox::reserve(const std::vector<std::string>& all, size_t from) {
  const size_t to = std::min(all.size(), from + kStorageBatch);
  size_t bytes = 0;
  for (size_t k = from; k < to; ++k) bytes += (all[k].size() + 1) * sizeof(wchar_t);
  SendMessageW(control_, LB_INITSTORAGE, static_cast<WPARAM>(to - from),
               static_cast<LPARAM>(std::min<size_t>(bytes, INT_MAX)));
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
  reset_ = true;
  changed();
}

void Win32ListBox::append(std::string text) {
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
