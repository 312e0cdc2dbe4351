#include "platform/qt/QtListBox.h"

#include <QItemSelectionModel>
#include <QMetaObject>

namespace corvale::qt {

QtListBox::QtListBox(bool sorted, std::function<void()> onClick)
    : entries_(sorted),
      model_(std::make_unique<TextListModel>(entries_)),
      onClick_(std::move(onClick)) {}

QtListBox::~QtListBox() {
  // The view may outlive the list until its deferred deletion; it must not read a dead model.
  if (view_) view_->setModel(nullptr);
}

void QtListBox::attachView(QListView* view) {
  view_ = view;
  view->setUniformItemSizes(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setModel(model_.get());
  QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, model_.get(),
                   [this] { userSelectionChanged(); });
}

void QtListBox::changed() {
  pending_ = true;
  if (posted_) return;
  posted_ = true;
  QMetaObject::invokeMethod(
      model_.get(),
      [this] {
        posted_ = false;
        refresh();
      },
      Qt::QueuedConnection);
}

void QtListBox::refresh() {
  if (!pending_) return;
  pending_ = false;
  applying_ = true;
  model_->refresh();
  applying_ = false;
  if (entries_.selectedIndex() >= 0) showSelection();
}

void QtListBox::showSelection() {
  if (!view_) return;
  applying_ = true;
  const int32_t selected = entries_.selectedIndex();
  QItemSelectionModel* selection = view_->selectionModel();
  if (selected < 0 || selected >= model_->rowCount()) {
    selection->clear();
  } else {
    const QModelIndex index = model_->index(selected);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    view_->scrollTo(index, QAbstractItemView::EnsureVisible);
  }
  applying_ = false;
}

void QtListBox::userSelectionChanged() {
  if (applying_ || !view_) return;
  const QModelIndexList rows = view_->selectionModel()->selectedRows();
  const int32_t row = rows.isEmpty() ? -1 : rows.first().row();
  if (row >= entries_.count()) return;
  entries_.select(row);
  if (row >= 0 && onClick_) onClick_();
}

void QtListBox::clear() {
  entries_.clear();
  changed();
}

void QtListBox::append(std::string text) {
  entries_.append(std::move(text));
  changed();
}

int32_t QtListBox::count() {
  refresh();
  return entries_.count();
}

const std::string& QtListBox::item(int32_t index) {
  refresh();
  return entries_.item(index);
}

int32_t QtListBox::selectedIndex() {
  refresh();
  return entries_.selectedIndex();
}

void QtListBox::select(int32_t index) {
  refresh();
  entries_.select(index);
  showSelection();
  if (index >= 0 && onClick_) onClick_();
}

std::string QtListBox::text() {
  refresh();
  return entries_.text();
}

}  // namespace corvale::qt
