#include "hosts/qgis/ui/QgisFrameWindow.h"

#include <QCloseEvent>
#include <functional>
#include <QVBoxLayout>

#include "platform/qt/QtForm.h"
#include "platform/qt/SafeDelete.h"
#include "runtime/Failure.h"

namespace corvale::qgis {

namespace {

/// The tool window: its close control hides it and tells the frame.
class ToolWindow : public QWidget {
 public:
  explicit ToolWindow(QWidget* owner) : QWidget(owner, Qt::Tool) {}
  std::function<void()> onClose;

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->accept();  // accepted: the window hides; it is not deleted
    if (auto handler = onClose) handler();
  }
};

}  // namespace

QgisFrameWindow::QgisFrameWindow(QWidget* mainWindow) {
  auto* tool = new ToolWindow(mainWindow);
  tool->setAttribute(Qt::WA_DeleteOnClose, false);
  auto* layout = new QVBoxLayout(tool);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tool->onClose = [this] {
    if (form_) form_->announce(qt::WindowEvent::ClosedByUser);
  };
  tool_ = tool;
}

QgisFrameWindow::~QgisFrameWindow() {
  release();
  if (tool_) {
    static_cast<ToolWindow*>(tool_.data())->onClose = nullptr;
    tool_->hide();
    qt::deleteWhenSafe(tool_);
  }
}

QWidget* QgisFrameWindow::toolWindow() const {
  return tool_;
}

void QgisFrameWindow::release() {
  if (!form_) return;
  auto form = std::move(form_);
  QWidget* content = form->widget();
  if (content && tool_ && content->parentWidget() == tool_) {
    tool_->layout()->removeWidget(content);
    content->hide();
    content->setParent(nullptr);
  }
}

void QgisFrameWindow::attach(const std::shared_ptr<host::IWindow>& window) {
  // Loading runs the window's Form_Load, which may move this frame already.
  auto form = std::dynamic_pointer_cast<qt::QtForm>(need(window).hWnd());
  if (!form) raise(err::kTypeMismatch);
  if (form == form_) return;
  release();
  if (!tool_) raise(err::kObjectNotSet);
  QWidget* content = form->widget();
  if (!content) raise(err::kObjectNotSet);
  form_ = std::move(form);
  content->setParent(tool_, Qt::Widget);
  tool_->layout()->addWidget(content);
  content->show();
  tool_->resize(content->size());
}

void QgisFrameWindow::setVisible(bool visible) {
  if (!tool_) raise(err::kObjectNotSet);
  if (visible) {
    tool_->show();
    tool_->raise();
  } else {
    tool_->hide();
  }
  if (form_) form_->announce(visible ? qt::WindowEvent::Shown : qt::WindowEvent::Hidden);
}

bool QgisFrameWindow::visible() {
  return tool_ && tool_->isVisible();
}

void QgisFrameWindow::setCaption(const std::string& caption) {
  if (!tool_) raise(err::kObjectNotSet);
  tool_->setWindowTitle(QString::fromStdString(caption));
}

void QgisFrameWindow::move(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (!tool_) raise(err::kObjectNotSet);
  tool_->move(left, top);
  if (width != 0 || height != 0) {
    tool_->resize(width != 0 ? width : tool_->width(), height != 0 ? height : tool_->height());
  }
}

}  // namespace corvale::qgis
