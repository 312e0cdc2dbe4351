#pragma once

#include <QListView>
#include <QModelIndex>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>

#include "host/Forms.h"
#include "platform/qt/TextListModel.h"
#include "runtime/TextList.h"

namespace corvale::qt {

/**
 * A list control on a QListView over a TextList. Appends and clears only
 * change the TextList; the view learns of them in one model reset, at the
 * list's next read through this interface or, at the latest, when the event
 * loop next runs. A fill of any size is thus one reset and, for a sorted
 * list, one sort.
 *
 * A selection change by the user (mouse or keyboard) updates the selection
 * and calls `onClick`; so does select() with an entry, as the contract asks.
 * select(-1) and the list's own changes call nothing.
 */
class QtListBox : public host::IListBox {
 public:
  QtListBox(bool sorted, std::function<void()> onClick);
  ~QtListBox() override;
  QtListBox(const QtListBox&) = delete;
  QtListBox& operator=(const QtListBox&) = delete;

  /// Shows the list in the view (single selection, uniform rows, not editable).
  void attachView(QListView* view);
  /// The view, or null once the window's widgets are gone.
  QListView* view() const { return view_; }
  TextListModel& model() { return *model_; }

  void clear() override;
  void append(std::string text) override;
  int32_t count() override;
  const std::string& item(int32_t index) override;
  int32_t selectedIndex() override;
  void select(int32_t index) override;
  std::string text() override;

 private:
  /// The list changed: a refresh is due, and is posted to the event loop once.
  void changed();
  /// Resets the model when the list changed since the last refresh.
  void refresh();
  /// Makes the view's selection the list's, scrolled into view, without events.
  void showSelection();
  void userSelectionChanged();
  void userClicked(const QModelIndex& index);

  TextList entries_;
  std::unique_ptr<TextListModel> model_;
  QPointer<QListView> view_;
  std::function<void()> onClick_;
  bool pending_ = false;
  bool posted_ = false;
  bool applying_ = false;
  /// Selection changes the user made, and their number at the latest mouse press: a click
  /// whose press changed the selection was reported with that change.
  uint64_t userChanges_ = 0;
  uint64_t changesAtPress_ = 0;
  QPointer<QObject> pressWatcher_;
};

}  // namespace corvale::qt
