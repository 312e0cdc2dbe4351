#include "platform/qt/QtToolkit.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/qt/FormWidgets.h"
#include "platform/qt/SafeDelete.h"
#include "runtime/Failure.h"

namespace corvale::qt {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kClassicDpi = 96.0;

std::shared_ptr<QtForm> own(const std::shared_ptr<host::IForm>& form) {
  auto result = std::dynamic_pointer_cast<QtForm>(form);
  if (!result) raise(err::kTypeMismatch);
  return result;
}

/// CR LF and lone CR as the line breaks Qt shows.
QString displayText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

void centreOnPrimaryScreen(QWidget& window) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace

QtToolkit::QtToolkit(Mode mode) : mode_(mode) {}

QtToolkit::~QtToolkit() {
  for (const auto& weak : built_) {
    if (auto form = weak.lock()) form->toolkit_ = nullptr;
  }
  if (hourglass_) QApplication::restoreOverrideCursor();
}

double QtToolkit::twipsPerPixel() {
  QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen && screen->logicalDotsPerInchX() > 0 ? screen->logicalDotsPerInchX()
                                                                  : kClassicDpi;
  return kTwipsPerInch / dpi;
}

std::shared_ptr<host::IForm> QtToolkit::load(const host::FormLayout& layout,
                                             std::shared_ptr<host::IFormEvents> events) {
  auto form = std::make_shared<QtForm>(*this, layout, events);
  form->build();
  built_.erase(std::remove_if(built_.begin(), built_.end(),
                              [](const std::weak_ptr<QtForm>& weak) { return weak.expired(); }),
               built_.end());
  built_.push_back(form);
  loaded_.push_back({form, std::move(events)});
  notifyWindow(*form, WindowEvent::Loaded);
  return form;
}

void QtToolkit::showModal(const std::shared_ptr<host::IForm>& form) {
  auto shown = own(form);
  if (!shown->loaded_ || !shown->window_) return;
  QPointer<QWidget> window = shown->window_->window();
  window->setWindowModality(Qt::ApplicationModal);
  if (window == shown->window_) centreOnPrimaryScreen(*window);
  window->show();
  window->raise();
  window->activateWindow();
  notifyWindow(*shown, WindowEvent::ShownModally);

  ModalScope modal;
  QEventLoop loop;
  shown->modalLoops_.push_back(&loop);
  if (shown->loaded_ && window && window->isVisible()) loop.exec(QEventLoop::DialogExec);
  shown->modalLoops_.erase(
      std::remove(shown->modalLoops_.begin(), shown->modalLoops_.end(), &loop),
      shown->modalLoops_.end());
  if (window && !window->isVisible()) window->setWindowModality(Qt::NonModal);
}

void QtToolkit::hide(const std::shared_ptr<host::IForm>& form) {
  auto hidden = own(form);
  if (hidden->window_) hidden->window_->window()->hide();
  hidden->quitModalLoops();
  notifyWindow(*hidden, WindowEvent::Hidden);
}

void QtToolkit::unload(const std::shared_ptr<host::IForm>& form) {
  auto unloaded = own(form);
  if (!unloaded->loaded_) return;
  unloaded->loaded_ = false;
  unloaded->quitModalLoops();
  unloaded->releaseWidgets();
  // The window's events object goes last, after this call: it may be the caller.
  std::vector<Loaded> released;
  auto keep = std::stable_partition(loaded_.begin(), loaded_.end(),
                                    [&](const Loaded& entry) { return entry.form != unloaded; });
  std::move(keep, loaded_.end(), std::back_inserter(released));
  loaded_.erase(keep, loaded_.end());
  notifyWindow(*unloaded, WindowEvent::Unloaded);
}

void QtToolkit::closedByUser(const std::shared_ptr<QtForm>& form) {
  notifyWindow(*form, WindowEvent::ClosedByUser);
  unload(form);
}

void QtToolkit::messageBox(const std::string& text) {
  messages_.push_back(text);
  if (observer_.messageBox) observer_.messageBox(text);
  if (mode_ == Mode::Headless) return;
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kMessageBoxTitle), displayText(text),
                  QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  ModalScope modal;
  box.exec();
}

void QtToolkit::setMousePointer(host::MousePointer pointer) {
  if (observer_.mousePointer) observer_.mousePointer(pointer);
  const bool wanted = pointer == host::MousePointer::Hourglass;
  if (wanted == hourglass_) return;
  hourglass_ = wanted;
  if (wanted) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

host::ScreenMetrics QtToolkit::screen() {
  const auto perPixel = static_cast<int32_t>(std::lround(twipsPerPixel()));
  host::ScreenMetrics metrics;
  metrics.twipsPerPixelX = perPixel;
  metrics.twipsPerPixelY = perPixel;
  QScreen* primary = QGuiApplication::primaryScreen();
  const QSize size = primary ? primary->geometry().size() : QSize(1920, 1080);
  metrics.widthTwips = size.width() * perPixel;
  metrics.heightTwips = size.height() * perPixel;
  return metrics;
}

void QtToolkit::shellOpen(const std::shared_ptr<host::IForm>&, const std::string& address) {
  shellOpens_.push_back(address);
  if (observer_.shellOpen) observer_.shellOpen(address);
  if (mode_ == Mode::Headless) return;
  QDesktopServices::openUrl(QUrl(QString::fromStdString(address), QUrl::TolerantMode));
}

int32_t QtToolkit::registerPicture(QPixmap pixmap) {
  const int32_t handle = nextPicture_++;
  pictures_.emplace(handle, std::move(pixmap));
  return handle;
}

QPixmap QtToolkit::pixmap(int32_t handle) const {
  auto found = pictures_.find(handle);
  return found == pictures_.end() ? QPixmap() : found->second;
}

QIcon QtToolkit::icon(int32_t handle) const {
  const QPixmap picture = pixmap(handle);
  return picture.isNull() ? QIcon() : QIcon(picture);
}

std::vector<std::shared_ptr<QtForm>> QtToolkit::forms(std::string_view name) const {
  std::vector<std::shared_ptr<QtForm>> found;
  for (const auto& entry : loaded_) {
    if (entry.form->name() == name) found.push_back(entry.form);
  }
  return found;
}

std::shared_ptr<QtForm> QtToolkit::form(std::string_view name) const {
  auto found = forms(name);
  return found.empty() ? nullptr : found.back();
}

void QtToolkit::notifyWindow(const QtForm& form, WindowEvent event) {
  if (observer_.window) observer_.window(form.name(), event);
}

}  // namespace corvale::qt
