#include "platform/qt/QtForm.h"

#include <QEventLoop>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "platform/qt/FormWidgets.h"
#include "platform/qt/QtLook.h"
#include "platform/qt/QtPictures.h"
#include "platform/qt/QtToolkit.h"
#include "platform/qt/SafeDelete.h"
#include "runtime/Failure.h"

namespace corvale::qt {

using host::ControlKind;

namespace {

constexpr int kButtonIconSize = 16;

Qt::Alignment horizontal(host::Alignment alignment) {
  switch (alignment) {
    case host::Alignment::Right:
      return Qt::AlignRight;
    case host::Alignment::Center:
      return Qt::AlignHCenter;
    case host::Alignment::Left:
      break;
  }
  return Qt::AlignLeft;
}

bool takesFocus(ControlKind kind) {
  return kind == ControlKind::TextBox || kind == ControlKind::ListBox ||
         kind == ControlKind::Button;
}

}  // namespace

std::string toString(WindowEvent event) {
  switch (event) {
    case WindowEvent::Loaded:
      return "loaded";
    case WindowEvent::Shown:
      return "shown";
    case WindowEvent::ShownModally:
      return "shown modally";
    case WindowEvent::Hidden:
      return "hidden";
    case WindowEvent::ClosedByUser:
      return "closed by the user";
    case WindowEvent::Unloaded:
      return "unloaded";
  }
  return "?";
}

QtForm::QtForm(QtToolkit& toolkit, const host::FormLayout& layout,
               const std::shared_ptr<host::IFormEvents>& events)
    : toolkit_(&toolkit), layout_(layout), events_(events), guard_(std::make_unique<QObject>()) {}

QtForm::~QtForm() {
  quitModalLoops();
  lists_.clear();
  releaseWidgets();
}

int QtForm::pixels(int32_t twips) const {
  return static_cast<int>(std::lround(twips / twipsPerPixel_));
}

QRect QtForm::pixelRect(const host::ControlLayout& control) const {
  return QRect(pixels(control.left), pixels(control.top), pixels(control.width),
               pixels(control.height));
}

void QtForm::build() {
  twipsPerPixel_ = QtToolkit::twipsPerPixel();
  QPixmap background =
      layout_.backgroundPicture.empty() ? QPixmap() : picturePixmap(layout_.backgroundPicture);
  window_ = new detail::FormWidget(std::move(background));
  window_->setObjectName(QString::fromStdString(layout_.name));
  window_->setWindowTitle(QString::fromStdString(layout_.caption));
  window_->setFixedSize(pixels(layout_.clientWidth), pixels(layout_.clientHeight));
  QPalette palette = ownPalette(*window_);
  if (layout_.backColor) {
    palette.setColor(QPalette::Window, qtColor(*layout_.backColor));
    window_->setAutoFillBackground(true);
  }
  window_->setPalette(palette);
  window_->setFont(defaultFont());
  window_->onClose = [this] {
    if (!toolkit_ || !loaded_) return;
    toolkit_->closedByUser(shared_from_this());
  };
  window_->onHide = [this] {
    if (window_ && !window_->isVisible()) quitModalLoops();
  };

  QString fontRules = fontRule(window_->objectName(), window_->font());
  for (const auto& control : layout_.controls) {
    QWidget* parent = window_;
    if (!control.container.empty()) {
      auto holder = controls_.find(control.container);
      if (holder != controls_.end() && holder->second) parent = holder->second;
    }
    QWidget* widget = buildControl(control, parent);
    widget->setObjectName(QString::fromStdString(control.name));
    widget->setGeometry(pixelRect(control));
    if (!control.tooltip.empty()) widget->setToolTip(QString::fromStdString(control.tooltip));
    applyLook(*widget, control);
    if (control.handPointer) {
      const QCursor hand = pointingHandCursor();
      widget->setCursor(hand);
      if (auto* view = qobject_cast<QListView*>(widget)) view->viewport()->setCursor(hand);
    }
    if (takesFocus(control.kind) && control.tabIndex < 0) widget->setFocusPolicy(Qt::NoFocus);
    controls_.emplace(control.name, widget);
    fontRules += fontRule(widget->objectName(), widget->font());
  }
  window_->setStyleSheet(fontRules);
  applyTabOrder();
}

QWidget* QtForm::buildControl(const host::ControlLayout& control, QWidget* parent) {
  const QString caption = QString::fromStdString(control.caption);
  const std::string click = control.name + "_Click";
  switch (control.kind) {
    case ControlKind::Frame: {
      if (!caption.isEmpty()) {
        auto* box = new QGroupBox(caption, parent);
        box->setFlat(control.borderless);
        return box;
      }
      auto* panel = new QFrame(parent);
      panel->setFrameShape(control.borderless ? QFrame::NoFrame : QFrame::Box);
      panel->setFrameShadow(QFrame::Sunken);
      return panel;
    }
    case ControlKind::Label: {
      auto* label = new detail::ClickLabel(caption, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(horizontal(control.alignment) | Qt::AlignTop);
      if (handles(click)) label->onClick = [this, click] { fire(click); };
      return label;
    }
    case ControlKind::TextBox: {
      auto* box = new QLineEdit(caption, parent);
      box->setAlignment(horizontal(control.alignment) | Qt::AlignVCenter);
      return box;
    }
    case ControlKind::ListBox: {
      auto* view = new QListView(parent);
      auto list = std::make_unique<QtListBox>(control.sorted, [this, click] { fire(click); });
      list->attachView(view);
      lists_.emplace(control.name, std::move(list));
      return view;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(caption, parent);
      button->setAutoDefault(false);
      if (!control.picture.empty()) {
        const QPixmap picture = picturePixmap(control.picture);
        if (!picture.isNull()) {
          button->setIcon(QIcon(picture));
          const int side = std::min(kButtonIconSize, std::max(8, pixels(control.height) - 6));
          button->setIconSize(QSize(side, side));
        }
      }
      QObject::connect(button, &QPushButton::clicked, guard_.get(), [this, click] { fire(click); });
      return button;
    }
    case ControlKind::Picture: {
      auto* picture = new detail::PictureBox(picturePixmap(control.picture), caption, parent);
      if (handles(click)) picture->onClick = [this, click] { fire(click); };
      return picture;
    }
  }
  raise(err::kTypeMismatch);
}

void QtForm::applyLook(QWidget& widget, const host::ControlLayout& control) {
  widget.setFont(control.font ? qtFont(*control.font) : defaultFont());
  QPalette palette = ownPalette(widget);
  if (control.backColor) {
    const QColor back = qtColor(*control.backColor);
    palette.setColor(QPalette::Window, back);
    palette.setColor(QPalette::Base, back);
    palette.setColor(QPalette::Button, back);
  }
  if (control.foreColor) {
    const QColor fore = qtColor(*control.foreColor);
    palette.setColor(QPalette::WindowText, fore);
    palette.setColor(QPalette::Text, fore);
    palette.setColor(QPalette::ButtonText, fore);
  }
  widget.setPalette(palette);
  const bool opaque = control.backColor && !control.transparent;
  switch (control.kind) {
    case ControlKind::Frame:
    case ControlKind::Label:
    case ControlKind::Picture:
      widget.setAutoFillBackground(opaque);
      break;
    case ControlKind::TextBox:
    case ControlKind::ListBox:
    case ControlKind::Button:
      break;
  }
  if (auto* label = qobject_cast<QLabel*>(&widget)) {
    // A label one line high shows one line, as the classic label clips; taller ones wrap.
    const int lineHeight = QFontMetrics(label->font()).lineSpacing();
    label->setWordWrap(label->height() >= 2 * lineHeight);
  }
}

void QtForm::applyTabOrder() {
  std::vector<std::pair<int32_t, QWidget*>> order;
  for (const auto& control : layout_.controls) {
    if (control.tabIndex < 0) continue;
    auto found = controls_.find(control.name);
    if (found != controls_.end() && found->second)
      order.emplace_back(control.tabIndex, found->second);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(order[i - 1].second, order[i].second);
}

const host::ControlLayout& QtForm::controlLayout(std::string_view name) const {
  const host::ControlLayout* control = layout_.control(name);
  if (!control) raise(err::kTypeMismatch);
  return *control;
}

host::IListBox& QtForm::listBox(std::string_view name) {
  QtListBox* found = list(name);
  if (!found) raise(err::kTypeMismatch);
  return *found;
}

QtListBox* QtForm::list(std::string_view name) {
  auto found = lists_.find(name);
  return found == lists_.end() ? nullptr : found->second.get();
}

QWidget* QtForm::widget() const {
  return window_;
}

QWidget* QtForm::control(std::string_view name) const {
  auto found = controls_.find(name);
  return found == controls_.end() ? nullptr : found->second.data();
}

std::string QtForm::text(std::string_view name) {
  const host::ControlLayout& layout = controlLayout(name);
  if (layout.kind == ControlKind::ListBox) return listBox(name).text();
  QWidget* widget = control(name);
  if (!widget) raise(err::kObjectNotSet);
  QString text;
  if (auto* box = qobject_cast<QLineEdit*>(widget)) {
    text = box->text();
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    text = label->text();
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    text = button->text();
  } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
    text = group->title();
  } else if (auto* picture = dynamic_cast<detail::PictureBox*>(widget)) {
    text = picture->caption();
  } else {
    return layout.caption;
  }
  return text.toStdString();
}

void QtForm::setText(std::string_view name, const std::string& value) {
  const host::ControlLayout& layout = controlLayout(name);
  if (layout.kind == ControlKind::ListBox) raise(err::kTypeMismatch);
  QWidget* widget = control(name);
  if (!widget) raise(err::kObjectNotSet);
  const QString text = QString::fromStdString(value);
  if (auto* box = qobject_cast<QLineEdit*>(widget)) {
    box->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
    group->setTitle(text);
  } else if (auto* picture = dynamic_cast<detail::PictureBox*>(widget)) {
    picture->setCaption(text);
  }
}

int32_t QtForm::widthTwips() {
  const int32_t perPixel = static_cast<int32_t>(std::lround(twipsPerPixel_));
  if (!window_) return layout_.clientWidth;
  return window_->window()->frameGeometry().width() * perPixel;
}

int32_t QtForm::heightTwips() {
  const int32_t perPixel = static_cast<int32_t>(std::lround(twipsPerPixel_));
  if (!window_) return layout_.clientHeight;
  return window_->window()->frameGeometry().height() * perPixel;
}

int32_t QtForm::pictureHandle(std::string_view name) {
  const host::ControlLayout& layout = controlLayout(name);
  if (layout.kind != ControlKind::Picture) raise(err::kTypeMismatch);
  auto found = pictureHandles_.find(name);
  if (found != pictureHandles_.end()) return found->second;
  if (!toolkit_) raise(err::kObjectNotSet);
  const int32_t handle = toolkit_->registerPicture(picturePixmap(layout.picture));
  pictureHandles_.emplace(std::string(name), handle);
  return handle;
}

bool QtForm::handles(std::string_view handler) const {
  return std::find(layout_.handlers.begin(), layout_.handlers.end(), handler) != layout_.handlers.end();
}

void QtForm::fire(const std::string& handler) {
  if (!loaded_ || !handles(handler)) return;
  // The handler may unload this window and drop every other reference to it.
  auto self = shared_from_this();
  if (auto events = events_.lock()) events->fire(handler);
}

void QtForm::announce(WindowEvent event) {
  if (toolkit_) toolkit_->notifyWindow(*this, event);
}

void QtForm::quitModalLoops() {
  for (QEventLoop* loop : modalLoops_)
    loop->quit();
}

void QtForm::releaseWidgets() {
  guard_.reset();
  if (!window_) return;
  window_->onClose = nullptr;
  window_->onHide = nullptr;
  for (auto& [name, widget] : controls_) {
    if (auto* label = dynamic_cast<detail::ClickLabel*>(widget.data())) label->onClick = nullptr;
    if (auto* picture = dynamic_cast<detail::PictureBox*>(widget.data()))
      picture->onClick = nullptr;
  }
  window_->hide();
  deleteWhenSafe(window_);
  window_ = nullptr;
}

}  // namespace corvale::qt
