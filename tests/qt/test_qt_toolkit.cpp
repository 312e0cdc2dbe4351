// The toolkit's services: message box, mouse pointer, screen, shell, pictures, modal show, unload.
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "command/frmResources.h"
#include "platform/qt/SafeDelete.h"
#include "qt/QtFixture.h"
#include "windows/frmConfig.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

using host::MousePointer;

class Toolkit : public QtFixture {};

TEST_F(Toolkit, TwoHourglassesThenTheDefaultLeaveNoOverrideCursor) {
  toolkit->setMousePointer(MousePointer::Hourglass);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  toolkit->setMousePointer(MousePointer::Hourglass);
  toolkit->setMousePointer(MousePointer::Default);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(toolkit->hourglass());
}

TEST_F(Toolkit, TheDefaultPointerRemovesNoOverrideCursorOfSomeoneElse) {
  QApplication::setOverrideCursor(Qt::CrossCursor);
  toolkit->setMousePointer(MousePointer::Default);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
  QApplication::restoreOverrideCursor();
}

TEST_F(Toolkit, EveryPointerChangeIsObserved) {
  toolkit->setMousePointer(MousePointer::Hourglass);
  toolkit->setMousePointer(MousePointer::Default);
  toolkit->setMousePointer(MousePointer::Default);
  EXPECT_EQ(transcript, (std::vector<std::string>{"pointer: hourglass", "pointer: default",
                                                   "pointer: default"}));
}

TEST_F(Toolkit, HeadlessMessageBoxesAreRecordedObservedAndAnsweredAtOnce) {
  toolkit->messageBox("Tool is not configured.\r\nConfiguration window will now load.");
  EXPECT_EQ(toolkit->messages(), std::vector<std::string>{
                                     "Tool is not configured.\r\nConfiguration window will now load."});
  EXPECT_EQ(transcript.size(), 1u);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Toolkit, AMessageBoxHasTheOkButtonAloneNoIconAndTheProductAsTitle) {
  toolkit->setMode(qt::QtToolkit::Mode::Interactive);
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen = true;
    EXPECT_EQ(box->windowTitle(), "CorvaleStreetSearch");
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->text(), "Line one\nLine <two>");
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    box->button(QMessageBox::Ok)->click();
  });
  toolkit->messageBox("Line one\r\nLine <two>");
  EXPECT_TRUE(seen);
  EXPECT_EQ(toolkit->messages().size(), 1u);
}

TEST_F(Toolkit, TheScreenIsMeasuredInTwipsOfTheLogicalDpi) {
  const host::ScreenMetrics metrics = toolkit->screen();
  const QSize pixels = QGuiApplication::primaryScreen()->geometry().size();
  EXPECT_EQ(metrics.twipsPerPixelX, 15);
  EXPECT_EQ(metrics.twipsPerPixelY, 15);
  EXPECT_EQ(metrics.widthTwips, pixels.width() * 15);
  EXPECT_EQ(metrics.heightTwips, pixels.height() * 15);
}

TEST_F(Toolkit, ShellOpensAreRecordedAndObservedAndNotOpenedHeadless) {
  toolkit->shellOpen(nullptr, "mailto:info@example.com");
  EXPECT_EQ(toolkit->shellOpens(), std::vector<std::string>{"mailto:info@example.com"});
  EXPECT_EQ(transcript, std::vector<std::string>{"shell: open mailto:info@example.com"});
}

TEST_F(Toolkit, APictureHandleStaysTheSameAndGivesTheToolbarPicture) {
  auto resources = load(frmResources::instance()->layout());
  const int32_t handle = resources->pictureHandle("Picture1");
  EXPECT_NE(handle, 0);
  EXPECT_EQ(resources->pictureHandle("Picture1"), handle);
  const QPixmap picture = toolkit->pixmap(handle);
  ASSERT_EQ(picture.size(), QSize(16, 16));
  const QImage image = picture.toImage();
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "key colour transparent";
  EXPECT_EQ(QColor(image.pixel(12, 0)), QColor(96, 96, 96));
  EXPECT_FALSE(toolkit->icon(handle).isNull());
  EXPECT_TRUE(toolkit->pixmap(handle + 1000).isNull());
}

TEST_F(Toolkit, OnlyAPictureControlHasAPictureHandle) {
  auto search = load(frmMain::create()->layout());
  EXPECT_THROW(search->pictureHandle("Command4"), Failure);
  EXPECT_NE(search->pictureHandle("Image2"), 0);
}

TEST_F(Toolkit, TheToolkitKeepsTheEventsAliveWhileTheWindowIsLoaded) {
  auto events = std::make_shared<RecordingEvents>();
  std::weak_ptr<RecordingEvents> watch = events;
  auto form = load(frmMain::create()->layout(), std::move(events));
  EXPECT_FALSE(watch.expired());
  toolkit->unload(form);
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(form->isLoaded());
}

TEST_F(Toolkit, UnloadingLetsTheWidgetsGoAtTheNextEventLoop) {
  auto form = load(frmMain::create()->layout());
  QPointer<QWidget> widget = form->widget();
  toolkit->unload(form);
  EXPECT_EQ(form->widget(), nullptr);
  settle();
  EXPECT_TRUE(widget.isNull());
  EXPECT_EQ(toolkit->form("frmMain"), nullptr);
}

TEST_F(Toolkit, AWindowMayUnloadItselfInsideItsOwnHandler) {
  auto events = std::make_shared<RecordingEvents>();
  std::weak_ptr<RecordingEvents> watch = events;
  auto form = load(frmMain::create()->layout(), events);
  std::weak_ptr<qt::QtForm> weakForm = form;
  events->actions["Command1_Click"] = [&] { toolkit->unload(weakForm.lock()); };
  events.reset();
  QPointer<QWidget> button = form->control("Command1");
  form.reset();
  form = nullptr;
  qobject_cast<QPushButton*>(button.data())->click();
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(button.isNull()) << "deleted later, not inside its own signal";
  settle();
  EXPECT_TRUE(button.isNull());
}

TEST_F(Toolkit, WidgetsLetGoInsideAModalLoopLiveUntilTheOutermostLoopEnds) {
  QPointer<QObject> object = new QObject();
  {
    qt::ModalScope outer;
    {
      qt::ModalScope inner;
      qt::deleteWhenSafe(object);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(object.isNull());
  }
  EXPECT_FALSE(qt::ModalScope::active());
  settle();
  EXPECT_TRUE(object.isNull());
}

/// The configuration window shown modally; `whileShown` runs once the modal loop runs.
class ModalShow : public QtFixture {
 protected:
  ModalShow() : events(std::make_shared<RecordingEvents>()), form(load(frmConfig::instance()->layout(), events)) {}
  void showModalWhile(std::function<void()> whileShown) {
    QTimer::singleShot(0, std::move(whileShown));
    toolkit->showModal(form);
  }
  std::shared_ptr<RecordingEvents> events;
  std::shared_ptr<qt::QtForm> form;
};

TEST_F(ModalShow, TheWindowIsAnApplicationModalWindowWithNoOwnerAndItsCaption) {
  bool checked = false;
  showModalWhile([&] {
    QWidget* window = form->widget();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(QApplication::activeModalWidget(), window);
    EXPECT_EQ(window->windowTitle(), "CorvaleStreetSearch - Configure");
    checked = true;
    toolkit->hide(form);
  });
  EXPECT_TRUE(checked);
  EXPECT_EQ(form->widget()->windowModality(), Qt::NonModal);
}

TEST_F(ModalShow, AHandlerThatHidesTheWindowEndsTheModalShow) {
  events->actions["Command2_Click"] = [&] { toolkit->hide(form); };
  showModalWhile([&] { qobject_cast<QPushButton*>(form->control("Command2"))->click(); });
  EXPECT_TRUE(form->isLoaded());
  EXPECT_FALSE(form->widget()->isVisible());
  EXPECT_EQ(events->fired, std::vector<std::string>{"Command2_Click"});
}

TEST_F(ModalShow, AHandlerThatUnloadsTheWindowEndsTheModalShow) {
  events->actions["Command1_Click"] = [&] {
    toolkit->hide(form);
    toolkit->unload(form);
  };
  QPointer<QWidget> window = form->widget();
  showModalWhile([&] { QTest::mouseClick(form->control("Command1"), Qt::LeftButton); });
  EXPECT_FALSE(form->isLoaded());
  settle();
  EXPECT_TRUE(window.isNull());
  EXPECT_EQ(transcript, (std::vector<std::string>{
                            "window: frmConfig loaded", "window: frmConfig shown modally",
                            "window: frmConfig hidden", "window: frmConfig unloaded"}));
}

TEST_F(ModalShow, TheWindowsOwnCloseButtonUnloadsIt) {
  showModalWhile([&] { form->widget()->close(); });
  EXPECT_FALSE(form->isLoaded());
  EXPECT_EQ(transcript.back(), "window: frmConfig unloaded");
  EXPECT_EQ(transcript[transcript.size() - 2], "window: frmConfig closed by the user");
}

TEST_F(ModalShow, AMessageBoxInsideTheModalShowIsAnsweredAndTheShowGoesOn) {
  events->actions["Command1_Click"] = [&] { toolkit->messageBox("Please choose a layer"); };
  showModalWhile([&] {
    QTest::mouseClick(form->control("Command1"), Qt::LeftButton);
    EXPECT_TRUE(form->widget()->isVisible());
    toolkit->hide(form);
  });
  EXPECT_EQ(toolkit->messages(), std::vector<std::string>{"Please choose a layer"});
}

TEST_F(ModalShow, ShowingAnUnloadedWindowReturnsAtOnce) {
  toolkit->unload(form);
  toolkit->showModal(form);
  EXPECT_FALSE(form->isLoaded());
}

}  // namespace
}  // namespace corvale::testing
