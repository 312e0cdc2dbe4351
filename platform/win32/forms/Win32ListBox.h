#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/Forms.h"
#include "runtime/TextList.h"

namespace corvale::win32 {

/**
 * A list control on a Win32 LISTBOX over a TextList. The TextList holds the
 * entries in the core's order (a sorted list sorts in collation order) and
 * item() returns its UTF-8 text; the control holds the same entries as
 * UTF-16, readable by LB_GETTEXT, in the same order.
 *
 * Appends and clears change the TextList only; the control learns of them at
 * the list's next read through this interface or, at the latest, when the
 * form's window next handles its messages (one posted refresh). A refresh
 * adds the new entries with redraw off, after LB_INITSTORAGE; when the order
 * of the entries already shown changed (a sorted list took an entry that
 * sorts before them) it fills the control anew.
 *
 * A selection change by the user (LBN_SELCHANGE) updates the selection and
 * calls `onClick`; so does select() with an entry. select(-1) and the list's
 * own changes call nothing.
 */
class Win32ListBox : public host::IListBox {
 public:
  /// `notify` is the window that receives the posted refresh message `refreshMessage`.
  Win32ListBox(bool sorted, HWND control, HWND notify, UINT refreshMessage,
               std::function<void()> onClick);
  Win32ListBox(const Win32ListBox&) = delete;
  Win32ListBox& operator=(const Win32ListBox&) = delete;

  HWND control() const { return control_; }
  /// The control is gone (its window was destroyed); the entries stay readable.
  void detach();
  /// Brings the control up to date with the entries.
  void refresh();
  /// The user changed the control's selection.
  void userSelectionChanged();

  void clear() override;
  void append(std::string text) override;
  int32_t count() override;
  const std::string& item(int32_t index) override;
  int32_t selectedIndex() override;
  void select(int32_t index) override;
  std::string text() override;

 private:
  /**
   * Entries are added in batches of this many, each announced with its own
   * LB_INITSTORAGE: one announcement of the whole list does not help Wine's
   * list box (adding 500,000 entries after it took seconds more than in
   * batches), and the batches cost Windows nothing.
   */
  static constexpr size_t kStorageBatch = 65536;

  /// Announces the batch of entries from `from` to the control (a refusal shows at the adds).
  void reserve(const std::vector<std::string>& all, size_t from);
  void changed();
  void showSelection();
  /// Reports a pick; this list may be gone when it returns.
  void click();

  TextList entries_;
  HWND control_;
  HWND notify_;
  UINT refreshMessage_;
  std::function<void()> onClick_;
  /// The control holds the first `shown_` entries of the list, in order.
  size_t shown_ = 0;
  bool reset_ = false;
  /// How many times the control was filled anew.
  uint64_t fills_ = 0;
  bool pending_ = false;
  bool posted_ = false;
};

}  // namespace corvale::win32
