#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <QString>

#include "host/Application.h"
#include "hosts/qgis/QgisObserver.h"

namespace corvale::qgis {

/**
 * The progress indicator of a QStatusBar: a label for the message and a
 * QProgressBar, added to the status bar once and hidden until shown.
 *
 * step() runs once per row of a long read, so it only adds to the position
 * and, at most about 20 times a second, repaints the two widgets directly.
 * It never processes events: the user cannot act while a read is half done.
 * Once the status bar has been destroyed every call is a host failure.
 */
class QgisProgressIndicator : public host::IProgressIndicator {
 public:
  explicit QgisProgressIndicator(QStatusBar* statusBar,
                                 std::shared_ptr<QgisObserver> observer = nullptr);
  ~QgisProgressIndicator() override;

  void setMessage(const std::string& message) override;
  void show() override;
  void step() override;
  void hide() override;
  /// A negative maximum counts as 0.
  void setMaximum(int32_t maximum) override;
  void setStepSize(int32_t stepSize) override;
  /// The position is kept as given; the bar shows it within 0..maximum.
  void setPosition(int32_t position) override;

  int32_t maximum() const { return maximum_; }
  int32_t position() const { return position_; }
  int32_t stepSize() const { return stepSize_; }
  bool isShown() const { return shown_; }
  QLabel* label() const { return label_; }
  QProgressBar* bar() const { return bar_; }

 private:
  void checkAlive() const;
  /// Puts the values into the widgets and repaints them now.
  void paint();

  QPointer<QStatusBar> statusBar_;
  QPointer<QLabel> label_;
  QPointer<QProgressBar> bar_;
  int32_t maximum_ = 0;
  int32_t stepSize_ = 1;
  int32_t position_ = 0;
  bool shown_ = false;
  int64_t lastPaintMs_ = 0;
  std::shared_ptr<QgisObserver> observer_;
};

/// The status bar of the running QGIS; its one progress indicator is made on first use.
class QgisStatusBar : public host::IStatusBar {
 public:
  explicit QgisStatusBar(QStatusBar* statusBar, std::shared_ptr<QgisObserver> observer = nullptr)
      : statusBar_(statusBar), observer_(std::move(observer)) {}
  std::shared_ptr<host::IProgressIndicator> progressIndicator() override;

 private:
  QPointer<QStatusBar> statusBar_;
  std::shared_ptr<QgisProgressIndicator> progress_;
  std::shared_ptr<QgisObserver> observer_;
};

}  // namespace corvale::qgis
