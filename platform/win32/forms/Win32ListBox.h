#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/Forms.h"
#include "platform/win32/forms/BackgroundSortKeys.h"
#include "runtime/TextList.h"

namespace corvale::win32 {

/**
 * A list control on a Win32 LISTBOX over a TextList. The TextList holds the
 * entries in the core's order (a sorted list sorts in collation order, with
 * the binary tie-break, when it is next read; the selected entry stays
 * selected) and
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
 * A sorted list that is filled from empty has its entries' sort keys made on
 * a thread of its own while the entries arrive, so that its first read sorts
 * keys already made; entries added after that read sort the usual way.
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
   * Entries are added in batches, each announced with its own LB_INITSTORAGE:
   * the first of this many entries, each next one twice the one before, the
   * last one what is left. One announcement of the whole list does not help
   * Wine's list box (adding 500,000 entries after it took seconds more than
   * in batches: it gives back what an add does not need at once), and batches
   * of one size make it move its array once a batch; growing batches move it
   * a few times only. Windows' own list box takes the announcements as they
   * come.
   */
  static constexpr size_t kFirstStorageBatch = 32768;

  /// Announces the batch of at most `batch` entries from `from` with `send`;
  /// returns where the batch ends (a refusal shows at the adds).
  size_t reserve(const std::vector<std::string>& all, size_t from, size_t batch,
                 const std::function<LRESULT(UINT, WPARAM, LPARAM)>& send);
  void changed();
  /// Sorts a sorted list's new entries; returns whether entries moved.
  bool settle();
  void showSelection();
  /// Reports a pick; this list may be gone when it returns.
  void click();

  bool sorted_;
  /// The entries, in list order once settled (the TextList itself does not sort).
  TextList entries_;
  /// The first `settled_` entries are in order.
  size_t settled_ = 0;
  BackgroundSortKeys keys_;
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
