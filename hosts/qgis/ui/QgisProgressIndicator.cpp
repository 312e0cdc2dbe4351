#include "hosts/qgis/ui/QgisProgressIndicator.h"

#include <algorithm>
#include <ctime>
#include <limits>

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/common/QgisText.h"

namespace corvale::qgis {

namespace {
constexpr int64_t kPaintIntervalMs = 50;

/// Milliseconds of a clock that is cheap to read: a read costs a few nanoseconds.
int64_t coarseNowMs() {
  timespec now{};
#ifdef CLOCK_MONOTONIC_COARSE
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
#else
  clock_gettime(CLOCK_MONOTONIC, &now);
#endif
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
}  // namespace

QgisProgressIndicator::QgisProgressIndicator(QStatusBar* statusBar,
                                             std::shared_ptr<QgisObserver> observer)
    : statusBar_(statusBar), observer_(std::move(observer)) {
  if (!statusBar_) hostFailure("The application has no status bar.");
  label_ = new QLabel(statusBar_);
  bar_ = new QProgressBar(statusBar_);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  bar_->setMaximumWidth(200);
  statusBar_->addWidget(label_);
  statusBar_->addWidget(bar_);
  label_->hide();
  bar_->hide();
}

QgisProgressIndicator::~QgisProgressIndicator() {
  // The widgets belong to the status bar; take them away when it outlives the indicator.
  delete label_.data();
  delete bar_.data();
}

void QgisProgressIndicator::checkAlive() const {
  if (!statusBar_ || !label_ || !bar_) hostFailure("The status bar is gone.");
}

void QgisProgressIndicator::paint() {
  lastPaintMs_ = coarseNowMs();
  bar_->setValue(std::clamp(position_, 0, bar_->maximum()));
  if (shown_) {
    label_->repaint();
    bar_->repaint();
  }
}

void QgisProgressIndicator::setMessage(const std::string& message) {
  checkAlive();
  label_->setText(qstringOf(message));
  if (shown_) label_->repaint();
}

void QgisProgressIndicator::show() {
  checkAlive();
  shown_ = true;
  label_->show();
  bar_->show();
  paint();
  if (observer_ && observer_->progressShown) {
    observer_->progressShown(label_->text().toStdString(), maximum_);
  }
}

void QgisProgressIndicator::step() {
  // Saturating: a position past the int32 range stays at its end.
  const int64_t next = int64_t{position_} + stepSize_;
  position_ = static_cast<int32_t>(std::clamp<int64_t>(next, std::numeric_limits<int32_t>::min(),
                                                       std::numeric_limits<int32_t>::max()));
  if (!shown_) return;
  if (coarseNowMs() - lastPaintMs_ < kPaintIntervalMs) return;
  checkAlive();
  paint();
}

void QgisProgressIndicator::hide() {
  checkAlive();
  shown_ = false;
  label_->hide();
  bar_->hide();
  if (observer_ && observer_->progressHidden) observer_->progressHidden(position_);
}

void QgisProgressIndicator::setMaximum(int32_t maximum) {
  checkAlive();
  maximum_ = std::max(maximum, 0);
  // A range of 0..0 would turn the bar into a busy indicator that animates.
  bar_->setRange(0, std::max(maximum_, 1));
  if (shown_) paint();
}

void QgisProgressIndicator::setStepSize(int32_t stepSize) {
  checkAlive();
  stepSize_ = stepSize;
}

void QgisProgressIndicator::setPosition(int32_t position) {
  checkAlive();
  position_ = position;
  if (shown_) paint();
}

std::shared_ptr<host::IProgressIndicator> QgisStatusBar::progressIndicator() {
  if (!statusBar_) hostFailure("The application has no status bar.");
  if (!progress_) progress_ = std::make_shared<QgisProgressIndicator>(statusBar_, observer_);
  return progress_;
}

}  // namespace corvale::qgis
