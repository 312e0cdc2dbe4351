#include "platform/qt/FormWidgets.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

namespace corvale::qt::detail {

namespace {

bool isLeftRelease(const QWidget& widget, const QMouseEvent& event) {
  return event.button() == Qt::LeftButton && widget.rect().contains(event.pos());
}

}  // namespace

FormWidget::FormWidget(QPixmap background) : background_(std::move(background)) {}

void FormWidget::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (background_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}

void FormWidget::closeEvent(QCloseEvent* event) {
  event->accept();
  if (auto handler = onClose) handler();
}

void FormWidget::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (auto handler = onHide) handler();
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && onClick) {
    event->accept();
    return;
  }
  QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (onClick && isLeftRelease(*this, *event)) {
    event->accept();
    auto handler = onClick;
    handler();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

PictureBox::PictureBox(QPixmap picture, QString caption, QWidget* parent)
    : QWidget(parent), picture_(std::move(picture)), caption_(std::move(caption)) {}

void PictureBox::setCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  int textLeft = 0;
  if (!picture_.isNull()) {
    const int top = std::max(0, (height() - picture_.height()) / 2);
    painter.drawPixmap(0, top, picture_);
    textLeft = picture_.width() + fontMetrics().averageCharWidth();
  }
  if (caption_.isEmpty()) return;
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::WindowText));
  const QRect textArea(textLeft, 0, std::max(0, width() - textLeft), height());
  painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, caption_);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && onClick) {
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  if (onClick && isLeftRelease(*this, *event)) {
    event->accept();
    auto handler = onClick;
    handler();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

}  // namespace corvale::qt::detail
