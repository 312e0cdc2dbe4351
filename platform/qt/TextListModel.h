#pragma once

#include <QAbstractListModel>

#include "runtime/TextList.h"

namespace corvale::qt {

/**
 * A read-only list model over a TextList, for a QListView. The list may
 * change without the model saying so (bulk appends); refresh() then tells the
 * views in one model reset. Until then the views keep the row count of the
 * last refresh and rows past the list's end show nothing. Reading a row
 * settles (sorts) the list, so a sorted list is sorted once, when first shown.
 */
class TextListModel : public QAbstractListModel {
 public:
  explicit TextListModel(TextList& list, QObject* parent = nullptr)
      : QAbstractListModel(parent), list_(list) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  /// One model reset: the views take the list's entries and count as they are now.
  void refresh();

 private:
  TextList& list_;
  int shown_ = 0;
};

}  // namespace corvale::qt
