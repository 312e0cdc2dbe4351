#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <QWindow>

#include "hosts/qgis/ui/QgisProgressIndicator.h"
#include "runtime/Failure.h"

namespace corvale {
namespace {

/// The values a progress bar showed when it was painted (one paint may take several events).
class PaintCounter : public QObject {
 public:
  std::set<int> painted;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      painted.insert(static_cast<QProgressBar*>(watched)->value());
    return false;
  }
};

class QgisProgress : public ::testing::Test {
 protected:
  QgisProgress() {
    window.resize(600, 400);
    window.show();
    // Widgets paint only once their window is exposed, which takes events.
    for (int i = 0; i < 100 && !(window.windowHandle() && window.windowHandle()->isExposed());
         ++i) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QCoreApplication::processEvents();
  }
  QMainWindow window;
  qgis::QgisProgressIndicator progress{window.statusBar()};
};

TEST_F(QgisProgress, TheIndicatorLivesInTheStatusBarHiddenUntilShown) {
  ASSERT_TRUE(progress.label());
  ASSERT_TRUE(progress.bar());
  EXPECT_EQ(progress.label()->parent(), window.statusBar());
  EXPECT_EQ(progress.bar()->parent(), window.statusBar());
  EXPECT_FALSE(progress.label()->isVisible());
  EXPECT_FALSE(progress.bar()->isVisible());

  progress.setMessage("Loading List: name...");
  progress.setMaximum(200);
  progress.setStepSize(1);
  progress.setPosition(0);
  progress.show();
  EXPECT_TRUE(progress.label()->isVisible());
  EXPECT_TRUE(progress.bar()->isVisible());
  EXPECT_EQ(progress.label()->text().toStdString(), "Loading List: name...");
  EXPECT_EQ(progress.bar()->maximum(), 200);

  progress.setPosition(150);
  EXPECT_EQ(progress.bar()->value(), 150);
  progress.hide();
  EXPECT_FALSE(progress.label()->isVisible());
  EXPECT_FALSE(progress.bar()->isVisible());
}

TEST_F(QgisProgress, AMillionStepsCountExactlyAndRepaintAboutTwentyTimesASecond) {
  PaintCounter counter;
  progress.bar()->installEventFilter(&counter);
  progress.setMaximum(1000000);
  progress.setStepSize(1);
  progress.setPosition(0);
  progress.show();
  counter.painted.clear();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 1000000; ++i)
    progress.step();
  const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
  EXPECT_EQ(progress.position(), 1000000);
  // At most one repaint per 50 ms (the clock read is coarse: allow 40 ms and two more).
  EXPECT_LE(static_cast<int64_t>(counter.painted.size()), elapsedMs / 40 + 2);
  progress.bar()->removeEventFilter(&counter);
}

TEST_F(QgisProgress, SlowStepsAreShownAsTheyCome) {
  PaintCounter counter;
  progress.bar()->installEventFilter(&counter);
  progress.setMaximum(3);
  progress.show();
  counter.painted.clear();
  for (int i = 0; i < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(70));
    progress.step();
  }
  EXPECT_EQ(counter.painted, (std::set<int>{1, 2, 3}));
  EXPECT_EQ(progress.bar()->value(), 3);
  progress.bar()->removeEventFilter(&counter);
}

TEST_F(QgisProgress, AnEmptyRangeIsNoBusyIndicatorAndStepsSaturate) {
  progress.setMaximum(0);
  EXPECT_EQ(progress.maximum(), 0);
  EXPECT_GT(progress.bar()->maximum(), progress.bar()->minimum());
  progress.setMaximum(-5);
  EXPECT_EQ(progress.maximum(), 0);
  progress.setPosition(2147483647);
  progress.setStepSize(1);
  progress.step();
  EXPECT_EQ(progress.position(), 2147483647);
}

TEST_F(QgisProgress, AStatusBarThatIsGoneMakesEveryCallAHostFailure) {
  delete window.statusBar();
  EXPECT_THROW(progress.show(), Failure);
  EXPECT_THROW(progress.setMessage("x"), Failure);
  EXPECT_THROW(progress.hide(), Failure);
}

}  // namespace
}  // namespace corvale
