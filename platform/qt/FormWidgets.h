#pragma once

#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <functional>

namespace corvale::qt::detail {

/**
 * The client area of a window built by the toolkit: its background colour
 * comes from its palette, its background picture is drawn at the top left.
 * The callbacks are optional; the owner clears them when it lets the widget go.
 */
class FormWidget : public QWidget {
 public:
  explicit FormWidget(QPixmap background = QPixmap());

  /// The user (or the system) asks to close the window; it is then hidden.
  std::function<void()> onClose;
  /// The widget became hidden, by whatever means.
  std::function<void()> onHide;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QPixmap background_;
};

/// A label that reports a click (press and release of the left button inside it).
class ClickLabel : public QLabel {
 public:
  using QLabel::QLabel;
  std::function<void()> onClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

/**
 * A picture control: its picture at the top left, vertically centred when
 * the control is taller, and its caption beside it in the control's font and
 * text colour. Its background is filled only when autoFillBackground is set.
 */
class PictureBox : public QWidget {
 public:
  PictureBox(QPixmap picture, QString caption, QWidget* parent);

  const QPixmap& picture() const { return picture_; }
  QString caption() const { return caption_; }
  void setCaption(const QString& caption);

  std::function<void()> onClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPixmap picture_;
  QString caption_;
};

}  // namespace corvale::qt::detail
