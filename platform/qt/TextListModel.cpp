#include "platform/qt/TextListModel.h"

namespace corvale::qt {

int TextListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_;
}

QVariant TextListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole) return {};
  const int row = index.row();
  if (!index.isValid() || row < 0 || row >= list_.count()) return {};
  return QString::fromStdString(list_.item(row));
}

Qt::ItemFlags TextListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

void TextListModel::refresh() {
  beginResetModel();
  shown_ = list_.count();
  endResetModel();
}

}  // namespace corvale::qt
