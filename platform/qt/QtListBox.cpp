#include "platform/qt/QtListBox.h"

#include <QEvent>

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
  delete pressWatcher_.data();  // it calls back into this list
}

namespace {
/// Tells of every mouse press on a widget before the widget itself handles it.
class PressWatcher : public QObject {
 public:
  PressWatcher(QObject* parent, std::function<void()> onPress)
      : QObject(parent), onPress_(std::move(onPress)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) onPress_();
    return false;
  }

 private:
  std::function<void()> onPress_;
};
}  // namespace

void QtListBox::attachView(QListView* view) {
  view_ = view;
  view->setUniformItemSizes(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setModel(model_.get());
  QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, model_.get(),
                   [this] { userSelectionChanged(); });
  // A click on the entry that is already selected changes no selection, yet it is a pick:
  // after "Go" has selected a name, clicking it zooms to it.
  QObject::connect(view, &QAbstractItemView::clicked, model_.get(),
                   [this](const QModelIndex& index) { userClicked(index); });
  pressWatcher_ = new PressWatcher(view->viewport(), [this] { changesAtPress_ = userChanges_; });
  view->viewport()->installEventFilter(pressWatcher_);
}

void QtListBox::userClicked(const QModelIndex& index) {
  if (applying_ || !view_ || !index.isValid()) return;
  // The press that began this click changed the selection and was reported then.
  if (userChanges_ != changesAtPress_) return;
  const int32_t row = index.row();
  if (row < 0 || row >= entries_.count() || row != entries_.selectedIndex()) return;
  if (onClick_) onClick_();
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
  ++userChanges_;
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
