// The QGIS frame window around the component's windows, and the search window working in it.
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QEventLoop>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "qt/QtFixture.h"
#include "state/ProductState.h"
#include "windows/frmConfig.h"
#include "windows/frmHelp.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

using qgis::QgisFrameWindow;

/// A window that counts its loads and, like frmMain, moves its frame while it loads.
class CountingWindow : public host::IWindow {
 public:
  CountingWindow(qt::QtToolkit& toolkit, std::shared_ptr<QgisFrameWindow> frame)
      : toolkit_(toolkit), frame_(std::move(frame)) {}
  std::shared_ptr<host::IForm> hWnd() override {
    if (!form_) {
      form_ = toolkit_.load(frmHelp::create()->layout(), std::make_shared<RecordingEvents>());
      ++loads;
      frame_->move(40, 30, 0, 0);
    }
    return form_;
  }
  int loads = 0;

 private:
  qt::QtToolkit& toolkit_;
  std::shared_ptr<QgisFrameWindow> frame_;
  std::shared_ptr<host::IForm> form_;
};

class Frame : public QtFixture {
 protected:
  std::shared_ptr<QgisFrameWindow> frame = std::make_shared<QgisFrameWindow>(mainWindow.get());
};

TEST_F(Frame, TheFrameIsAToolWindowOwnedByTheMainWindow) {
  QWidget* tool = frame->toolWindow();
  ASSERT_NE(tool, nullptr);
  EXPECT_EQ(tool->parentWidget(), mainWindow.get());
  EXPECT_EQ(tool->windowType(), Qt::Tool);
  EXPECT_FALSE(frame->visible());
}

TEST_F(Frame, AttachLoadsTheWindowOnceAndItsLoadMayMoveTheFrame) {
  auto window = std::make_shared<CountingWindow>(*toolkit, frame);
  frame->attach(window);
  EXPECT_EQ(window->loads, 1);
  EXPECT_EQ(frame->toolWindow()->pos(), QPoint(40, 30));
  frame->attach(window);
  EXPECT_EQ(window->loads, 1);
}

TEST_F(Frame, TheAttachedWindowIsEmbeddedAndTheFrameSizedToIt) {
  frame->attach(std::make_shared<CountingWindow>(*toolkit, frame));
  QWidget* content = frame->form()->widget();
  EXPECT_EQ(content->parentWidget(), frame->toolWindow());
  EXPECT_FALSE(content->isWindow());
  frame->setVisible(true);
  EXPECT_EQ(frame->toolWindow()->size(), QSize(643, 516));
  EXPECT_TRUE(content->isVisible());
}

TEST_F(Frame, AWindowThatIsNotTheQtToolkitsIsATypeMismatch) {
  class Foreign : public host::IWindow {
    std::shared_ptr<host::IForm> hWnd() override { return nullptr; }
  };
  try {
    frame->attach(std::make_shared<Foreign>());
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kTypeMismatch);
  }
}

TEST_F(Frame, TheCaptionIsTheToolWindowsTitle) {
  frame->setCaption("CorvaleStreetSearch - Help");
  EXPECT_EQ(frame->toolWindow()->windowTitle(), "CorvaleStreetSearch - Help");
}

TEST_F(Frame, MovePlacesTheFrameAndZeroKeepsTheSize) {
  frame->attach(std::make_shared<CountingWindow>(*toolkit, frame));
  const QSize size = frame->toolWindow()->size();
  frame->move(10, 20, 0, 0);
  EXPECT_EQ(frame->toolWindow()->pos(), QPoint(10, 20));
  EXPECT_EQ(frame->toolWindow()->size(), size);
  frame->move(15, 25, 700, 0);
  EXPECT_EQ(frame->toolWindow()->pos(), QPoint(15, 25));
  EXPECT_EQ(frame->toolWindow()->size(), QSize(700, size.height()));
}

TEST_F(Frame, SetVisibleShowsAndHidesAndIsObserved) {
  frame->attach(std::make_shared<CountingWindow>(*toolkit, frame));
  frame->setVisible(true);
  EXPECT_TRUE(frame->visible());
  EXPECT_TRUE(frame->toolWindow()->isVisible());
  frame->setVisible(false);
  EXPECT_FALSE(frame->visible());
  EXPECT_EQ(transcript, (std::vector<std::string>{"window: frmHelp loaded", "window: frmHelp shown",
                                                   "window: frmHelp hidden"}));
}

TEST_F(Frame, TheFramesCloseControlOnlyHidesItAndTheWindowShowsAgainAsItWas) {
  auto search = frmMain::create();
  state().SearchWindow = search;
  writeConfigFile("");
  auto frame1 = search->Frame();
  frame1->setVisible(true);
  auto own = std::dynamic_pointer_cast<QgisFrameWindow>(frame1);
  auto* box = qobject_cast<QLineEdit*>(own->form()->control("Text1"));
  box->setText("elm");
  own->toolWindow()->close();
  EXPECT_FALSE(frame1->visible());
  EXPECT_TRUE(search->isLoaded());
  frame1->setVisible(true);
  EXPECT_TRUE(frame1->visible());
  EXPECT_EQ(own->form()->control("Text1"), box);
  EXPECT_EQ(box->text(), "elm");
  EXPECT_EQ(transcript.back(), "window: frmMain shown");
}

TEST_F(Frame, DestroyingTheFrameDestroysTheToolWindow) {
  QPointer<QWidget> tool = frame->toolWindow();
  frame.reset();
  settle();
  EXPECT_TRUE(tool.isNull());
}

TEST_F(Frame, AFrameLetGoWhileItsWindowIsLoadedHandsTheWindowBackFirst) {
  frame->attach(std::make_shared<CountingWindow>(*toolkit, frame));
  auto form = frame->form();
  frame.reset();
  settle();
  ASSERT_NE(form->widget(), nullptr);
  EXPECT_TRUE(form->widget()->isWindow());
  EXPECT_FALSE(form->widget()->isVisible());
}

/// The real search window in its QGIS frame, over an empty configuration.
class SearchWindowInFrame : public QtFixture {
 protected:
  SearchWindowInFrame() {
    writeConfigFile("");
    search = frmMain::create();
    state().SearchWindow = search;
    frame = std::dynamic_pointer_cast<QgisFrameWindow>(search->Frame());
    form = frame->form();
  }
  void fill(const std::vector<std::string>& names) {
    host::IListBox& list = form->listBox("List1");
    for (const auto& name : names) list.append(name);
  }
  void type(const std::string& text) {
    qobject_cast<QLineEdit*>(form->control("Text1"))->setText(QString::fromStdString(text));
  }
  void go() { QTest::mouseClick(form->control("Command4"), Qt::LeftButton); }

  std::shared_ptr<frmMain> search;
  std::shared_ptr<QgisFrameWindow> frame;
  std::shared_ptr<qt::QtForm> form;
};

TEST_F(SearchWindowInFrame, LoadingRunsOnceCentresTheFrameAndShowsNoMessage) {
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(search->Frame(), frame);
  const CentredPosition centre =
      centreOnScreen(toolkit->screen(), form->widthTwips(), form->heightTwips());
  EXPECT_EQ(frame->toolWindow()->pos(), QPoint(centre.left, centre.top));
  EXPECT_EQ(frame->toolWindow()->windowTitle(), "CorvaleStreetSearch");
  EXPECT_TRUE(toolkit->messages().empty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(std::count(transcript.begin(), transcript.end(), "window: frmMain loaded"), 1);
}

TEST_F(SearchWindowInFrame, GoSelectsTheFirstNameThatBeginsWithTheTextWithoutZooming) {
  fill({"Main Street", "Elm Street", "elm court", "Birch Avenue"});
  frame->setVisible(true);
  settle();
  transcript.clear();
  type("ELM");
  go();
  host::IListBox& list = form->listBox("List1");
  EXPECT_EQ(list.text(), "elm court");
  auto* view = qobject_cast<QListView*>(form->control("List1"));
  EXPECT_EQ(view->currentIndex().row(), list.selectedIndex());
  EXPECT_EQ(transcript, (std::vector<std::string>{"pointer: hourglass", "pointer: default"}))
      << "the list's click inside the search does nothing";
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SearchWindowInFrame, GoWithAnEmptySearchBoxAsksForText) {
  go();
  EXPECT_EQ(toolkit->messages(), std::vector<std::string>{"Please enter text to search for"});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SearchWindowInFrame, GoWithoutAMatchSaysSoAndKeepsTheSelection) {
  fill({"Elm Street"});
  form->listBox("List1").select(0);  // a pick: its zoom finds no layer and says so
  const size_t before = toolkit->messages().size();
  type("Oak");
  go();
  ASSERT_EQ(toolkit->messages().size(), before + 1);
  EXPECT_EQ(toolkit->messages().back(), "No matching feature found");
  EXPECT_EQ(form->listBox("List1").selectedIndex(), 0);
}

TEST_F(SearchWindowInFrame, TheHelpButtonOpensOneMoreHelpFrameEachTime) {
  frame->setVisible(true);
  QTest::mouseClick(form->control("btnHelp2"), Qt::LeftButton);
  QTest::mouseClick(form->control("btnHelp2"), Qt::LeftButton);
  auto helps = toolkit->forms("frmHelp");
  ASSERT_EQ(helps.size(), 2u);
  for (const auto& help : helps) {
    QWidget* tool = help->widget()->window();
    EXPECT_TRUE(tool->isVisible());
    EXPECT_EQ(tool->windowTitle(), "CorvaleStreetSearch - Help");
    EXPECT_EQ(help->text("txtVersion"), "v2.15");
  }
  EXPECT_NE(helps[0]->widget()->window(), helps[1]->widget()->window());
}

TEST_F(SearchWindowInFrame, UnloadingTheSearchWindowHidesItsFrameAndLetsItGo) {
  frame->setVisible(true);
  QPointer<QWidget> tool = frame->toolWindow();
  frame.reset();
  search->Unload();
  EXPECT_FALSE(tool->isVisible());
  state().SearchWindow = nullptr;
  search.reset();
  form.reset();
  settle();
  EXPECT_TRUE(tool.isNull());
}

/// The configuration window's lists are filled by hand: this suite has no map.
void chooseInConfigWindow(qt::QtToolkit& toolkit) {
  auto config = toolkit.form("frmConfig");
  ASSERT_NE(config, nullptr);
  config->listBox("List1").append("Streets");
  config->listBox("List1").select(0);
  config->listBox("List2").append("FULLNAME");
  config->listBox("List2").select(0);
}

TEST_F(SearchWindowInFrame, ConfigureThenCancelShowsTheSameWindowAgainAsItWas) {
  frame->setVisible(true);
  type("elm");
  bool hiddenMeanwhile = false;
  QTimer::singleShot(0, [&] {
    hiddenMeanwhile = !frame->visible();
    auto config = toolkit->form("frmConfig");
    ASSERT_NE(config, nullptr);
    QTest::mouseClick(config->control("Command2"), Qt::LeftButton);
  });
  QTest::mouseClick(form->control("Command1"), Qt::LeftButton);
  EXPECT_TRUE(hiddenMeanwhile);
  EXPECT_TRUE(frame->visible());
  EXPECT_EQ(state().SearchWindow, search);
  EXPECT_EQ(form->text("Text1"), "elm");
  EXPECT_EQ(toolkit->form("frmConfig"), nullptr);
}

TEST_F(SearchWindowInFrame, ConfigureThenContinueReplacesTheWindowThatOpenedTheConfiguration) {
  frame->setVisible(true);
  QPointer<QWidget> oldTool = frame->toolWindow();
  QPointer<QWidget> configureButton = form->control("Command1");
  auto whileConfiguring = [&] {
    chooseInConfigWindow(*toolkit);
    QTest::mouseClick(toolkit->form("frmConfig")->control("Command1"), Qt::LeftButton);
    EXPECT_FALSE(configureButton.isNull()) << "still on the stack of its own click";
    EXPECT_FALSE(oldTool.isNull());
  };
  // The click comes from the application's event loop, as it does in QGIS.
  QEventLoop application;
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(0, whileConfiguring);
    QTest::mouseClick(configureButton, Qt::LeftButton);
    EXPECT_FALSE(configureButton.isNull()) << "deleted only once its own click has returned";
    application.quit();
  });
  application.exec();
  ASSERT_NE(state().SearchWindow, search);
  EXPECT_FALSE(search->isLoaded());
  EXPECT_FALSE(oldTool->isVisible());
  auto newFrame = std::dynamic_pointer_cast<QgisFrameWindow>(state().SearchWindow->Frame());
  ASSERT_NE(newFrame, nullptr);
  EXPECT_TRUE(newFrame->visible());
  EXPECT_NE(newFrame->toolWindow(), oldTool.data());
  std::ifstream file(temp / "drive_c" / "Program Files" / "CorvaleGIS" / "CorvaleStreetSearch" /
                     "config", std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  EXPECT_EQ(bytes.str(), "\"Streets\"\r\n\"FULLNAME\"\r\n");
  frame.reset();
  form.reset();
  search.reset();
  settle();
  EXPECT_TRUE(oldTool.isNull());
  EXPECT_TRUE(configureButton.isNull());
}

}  // namespace
}  // namespace corvale::testing
