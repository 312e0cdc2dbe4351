#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/Services.h"
#include "hosts/qgis/ui/QgisFrameWindow.h"
#include "platform/qt/QtForm.h"
#include "platform/qt/QtToolkit.h"

namespace corvale::testing {

/// Receives a window's events: records each handler name and runs the action given for it.
class RecordingEvents : public host::IFormEvents {
 public:
  void fire(std::string_view handler) noexcept override;

  std::vector<std::string> fired;
  std::map<std::string, std::function<void()>, std::less<>> actions;
};

/// Host classes whose frame windows are QgisFrameWindows owned by one main window.
class QgisFrameClasses : public host::IHostClasses {
 public:
  explicit QgisFrameClasses(QWidget* mainWindow) : mainWindow_(mainWindow) {}
  ObjectRef createAppReference() override;
  std::shared_ptr<host::IQueryFilter> createQueryFilter() override;
  std::shared_ptr<host::IFrameWindow> createFrameWindow() override;

  std::vector<std::weak_ptr<qgis::QgisFrameWindow>> frames;

 private:
  QWidget* mainWindow_;
};

/**
 * The Qt toolkit, headless, as the calling thread's forms service, with
 * frame windows of the QGIS host over a stand-in main window, the POSIX file
 * system with drive C: in a fresh temporary folder, and the product state as
 * the command's creation leaves it. Everything the toolkit's observer hears
 * is written to `transcript`.
 */
class QtFixture : public ::testing::Test {
 protected:
  QtFixture();
  ~QtFixture() override;

  /// Builds the window from its table with `events` (a fresh recorder when none).
  std::shared_ptr<qt::QtForm> load(const host::FormLayout& layout,
                                   std::shared_ptr<RecordingEvents> events = nullptr);
  /// The control's widget, cast; fails the test when missing.
  template <class W>
  W* control(qt::QtForm& form, const std::string& name) {
    auto* widget = qobject_cast<W*>(form.control(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  /// Writes the configuration file with these bytes and points the product state at it.
  void writeConfigFile(const std::string& bytes);
  /// Runs posted events, deferred deletions included.
  static void settle();

  std::filesystem::path temp;
  std::unique_ptr<QWidget> mainWindow;
  std::shared_ptr<qt::QtToolkit> toolkit;
  std::shared_ptr<QgisFrameClasses> classes;
  std::vector<std::string> transcript;
};

}  // namespace corvale::testing
