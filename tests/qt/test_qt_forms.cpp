// The three windows' control tables built as Qt widgets: geometry, look, tab order.
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include "platform/qt/FormWidgets.h"
#include "platform/qt/QtPictures.h"
#include "qt/QtFixture.h"
#include "windows/Pictures.h"
#include "windows/frmConfig.h"
#include "windows/frmHelp.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

using qt::QtForm;

QColor rgb(int r, int g, int b) {
  return QColor(r, g, b);
}

/// The component's own pointing hand: a 32 x 32 picture pointing from (10, 10).
::testing::AssertionResult showsTheHand(const QCursor& cursor) {
  if (cursor.shape() != Qt::BitmapCursor) {
    return ::testing::AssertionFailure() << "cursor shape " << cursor.shape();
  }
  if (cursor.pixmap().size() != QSize(32, 32) || cursor.hotSpot() != QPoint(10, 10)) {
    return ::testing::AssertionFailure()
           << "pixmap " << cursor.pixmap().width() << "x" << cursor.pixmap().height()
           << ", hot spot " << cursor.hotSpot().x() << "," << cursor.hotSpot().y();
  }
  return ::testing::AssertionSuccess();
}

/// The names of the window's controls that take focus by Tab, in tab order from `first`.
std::vector<std::string> tabChain(QtForm& form, QWidget* first) {
  std::vector<std::string> names;
  QWidget* at = first;
  do {
    const std::string name = at->objectName().toStdString();
    if ((at->focusPolicy() & Qt::TabFocus) && form.layout().control(name)) names.push_back(name);
    at = at->nextInFocusChain();
  } while (at && at != first);
  return names;
}

TEST(PointingHand, ItsHotSpotIsTheTopmostPixelOfTheFingertip) {
  const Picture* hand = findPicture("pointer");
  ASSERT_NE(hand, nullptr);
  ASSERT_EQ(hand->width, 32);
  ASSERT_EQ(hand->height, 32);
  const QImage image = qt::pictureImage(*hand);
  EXPECT_EQ(qAlpha(image.pixel(kPointerHotSpotX, kPointerHotSpotY)), 255);
  for (int y = 0; y < kPointerHotSpotY; ++y) {
    for (int x = 0; x < 32; ++x)
      ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << "," << y;
  }
  EXPECT_TRUE(showsTheHand(qt::pointingHandCursor()));
}

class SearchWindowWidgets : public QtFixture {
 protected:
  SearchWindowWidgets() : form(load(frmMain::create()->layout())) {}
  std::shared_ptr<QtForm> form;
};

TEST_F(SearchWindowWidgets, TheScreenHasFifteenTwipsPerPixelAtNinetySixDpi) {
  EXPECT_DOUBLE_EQ(qt::QtToolkit::twipsPerPixel(), 15.0);
}

TEST_F(SearchWindowWidgets, TheClientAreaIsTheWindowSizeInPixels) {
  EXPECT_EQ(form->widget()->size(), QSize(331, 308));
  EXPECT_EQ(form->widget()->windowTitle(), "CorvaleStreetSearch");
  EXPECT_EQ(form->widthTwips(), 331 * 15);
  EXPECT_EQ(form->heightTwips(), 308 * 15);
}

TEST_F(SearchWindowWidgets, ControlsArePlacedFromTheirTwipsRectangles) {
  EXPECT_EQ(form->control("Frame1")->geometry(), QRect(8, 8, 313, 233));
  EXPECT_EQ(form->control("Label11")->geometry(), QRect(8, 20, 78, 17));
  EXPECT_EQ(form->control("Text1")->geometry(), QRect(12, 36, 234, 24));
  EXPECT_EQ(form->control("Command4")->geometry(), QRect(248, 37, 41, 23));
  EXPECT_EQ(form->control("List1")->geometry(), QRect(12, 84, 290, 134));
  EXPECT_EQ(form->control("Image2")->geometry(), QRect(8, 252, 120, 50));
  EXPECT_EQ(form->control("btnHelp2")->geometry(), QRect(293, 252, 29, 22));
  EXPECT_EQ(form->control("Command1")->geometry(), QRect(251, 280, 72, 21));
}

TEST_F(SearchWindowWidgets, ControlsInsideTheFrameAreChildrenOfTheFrameWidget) {
  QWidget* frame = form->control("Frame1");
  for (const char* inside : {"Label11", "Text1", "Command4", "Label1", "List1"}) {
    EXPECT_EQ(form->control(inside)->parentWidget(), frame) << inside;
  }
  for (const char* outside : {"Frame1", "Image2", "btnHelp2", "Command1"}) {
    EXPECT_EQ(form->control(outside)->parentWidget(), form->widget()) << outside;
  }
}

TEST_F(SearchWindowWidgets, TheWindowAndTheFrameHaveTheirGreyBlueBackground) {
  EXPECT_TRUE(form->widget()->autoFillBackground());
  EXPECT_EQ(form->widget()->palette().color(QPalette::Window), rgb(171, 181, 193));
  auto* frame = control<QGroupBox>(*form, "Frame1");
  EXPECT_TRUE(frame->autoFillBackground());
  EXPECT_EQ(frame->palette().color(QPalette::Window), rgb(171, 181, 193));
}

TEST_F(SearchWindowWidgets, TheFrameIsAGroupBoxWithADarkRedBoldCaption) {
  auto* frame = control<QGroupBox>(*form, "Frame1");
  EXPECT_EQ(frame->title(), "Street search:");
  EXPECT_EQ(frame->palette().color(QPalette::WindowText), rgb(128, 0, 0));
  EXPECT_EQ(frame->palette().color(QPalette::Text), rgb(128, 0, 0));
  EXPECT_DOUBLE_EQ(frame->font().pointSizeF(), 8.25);
  EXPECT_TRUE(frame->font().bold());
}

TEST_F(SearchWindowWidgets, LabelsAreWhiteTransparentAndTakeNoFontFromTheFrame) {
  for (const char* name : {"Label11", "Label1"}) {
    auto* label = control<QLabel>(*form, name);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), rgb(255, 255, 255)) << name;
    EXPECT_FALSE(label->autoFillBackground()) << name;
    EXPECT_FALSE(label->font().bold()) << name;
    EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 8.25) << name;
  }
  EXPECT_EQ(control<QLabel>(*form, "Label11")->text(), " Search:");
  EXPECT_EQ(control<QLabel>(*form, "Label1")->text(), " Street Name:");
}

TEST_F(SearchWindowWidgets, TheSearchBoxIsLightGreyWithItsTooltipAndStartsEmpty) {
  auto* box = control<QLineEdit>(*form, "Text1");
  EXPECT_EQ(box->palette().color(QPalette::Base), rgb(224, 224, 224));
  EXPECT_EQ(box->toolTip(), "Enter text and click Go to search the list");
  EXPECT_EQ(box->text(), "");
  EXPECT_NE(box->palette().color(QPalette::Text), rgb(128, 0, 0)) << "no colour from the frame";
}

TEST_F(SearchWindowWidgets, TheListShowsBlueBoldEntriesUnderAPointingHand) {
  auto* list = control<QListView>(*form, "List1");
  EXPECT_EQ(list->palette().color(QPalette::Text), rgb(0, 0, 255));
  EXPECT_TRUE(list->font().bold());
  EXPECT_DOUBLE_EQ(list->font().pointSizeF(), 8.25);
  EXPECT_TRUE(showsTheHand(list->cursor()));
  EXPECT_TRUE(showsTheHand(list->viewport()->cursor()));
  EXPECT_EQ(list->toolTip(), "Click to zoom to a street");
  EXPECT_TRUE(list->uniformItemSizes());
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(SearchWindowWidgets, TheThreeButtonsShowAPointingHandAndTheirPictures) {
  for (const char* name : {"Command4", "btnHelp2", "Command1"}) {
    auto* button = control<QPushButton>(*form, name);
    EXPECT_TRUE(showsTheHand(button->cursor())) << name;
    EXPECT_FALSE(button->icon().isNull()) << name;
  }
  EXPECT_EQ(control<QPushButton>(*form, "Command4")->text(), "Go");
  EXPECT_EQ(control<QPushButton>(*form, "Command4")->toolTip(),
            "Enter text and click Go to search the list");
  EXPECT_EQ(control<QPushButton>(*form, "btnHelp2")->toolTip(), "Help");
  EXPECT_EQ(control<QPushButton>(*form, "Command1")->text(), "Configure");
  EXPECT_FALSE(showsTheHand(form->control("Text1")->cursor()));
}

TEST_F(SearchWindowWidgets, ButtonPicturesAreTransparentWhereTheKeyColourIs) {
  const QImage go = control<QPushButton>(*form, "Command4")->icon().pixmap(16, 16).toImage();
  EXPECT_EQ(qAlpha(go.pixel(0, 0)), 0) << "a background pixel of the picture";
  EXPECT_EQ(QColor(go.pixel(8, 2)), rgb(0, 150, 40)) << "a green pixel of the arrow";
}

TEST_F(SearchWindowWidgets, TheHelpButtonCaptionIsNinePointSevenFiveRegular) {
  auto* help = control<QPushButton>(*form, "btnHelp2");
  EXPECT_EQ(help->text(), "?");
  EXPECT_DOUBLE_EQ(help->font().pointSizeF(), 9.75);
  EXPECT_FALSE(help->font().bold());
}

TEST_F(SearchWindowWidgets, FontsStandInForMsSansSerifWithASansSerifFace) {
  const QFont font = form->control("Label11")->font();
  EXPECT_EQ(font.styleHint(), QFont::SansSerif);
  EXPECT_FALSE(QFontInfo(font).fixedPitch());
  EXPECT_NE(font.family(), "MS Sans Serif");
}

TEST_F(SearchWindowWidgets, AnApplicationStyleSheetFontDoesNotOverrideTheControlsFonts) {
  // What QGIS sets when its user picks a font of their own.
  qApp->setStyleSheet("* { font: 14pt \"DejaVu Serif\"; } QGroupBox { font-weight: 600; }");
  auto own = load(frmMain::create()->layout());
  own->widget()->show();
  settle();
  const QFont label = own->control("Label11")->font();
  const QFont frame = own->control("Frame1")->font();
  const QFont list = own->control("List1")->font();
  const QFont help = own->control("btnHelp2")->font();
  qApp->setStyleSheet(QString());
  EXPECT_DOUBLE_EQ(label.pointSizeF(), 8.25);
  EXPECT_EQ(label.family(), form->control("Label11")->font().family());
  EXPECT_FALSE(label.bold());
  EXPECT_TRUE(frame.bold());
  EXPECT_DOUBLE_EQ(frame.pointSizeF(), 8.25);
  EXPECT_TRUE(list.bold());
  EXPECT_DOUBLE_EQ(help.pointSizeF(), 9.75);
}

TEST_F(SearchWindowWidgets, TheLogoDrawsItsPictureAndCaptionWithTheMakersTooltip) {
  auto* logo = dynamic_cast<qt::detail::PictureBox*>(form->control("Image2"));
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->picture().size(), QSize(48, 48));
  EXPECT_EQ(logo->caption(), "CorvaleGIS");
  EXPECT_TRUE(logo->toolTip().startsWith("For more information, please visit "));
  EXPECT_TRUE(logo->toolTip().contains(" or email "));
  EXPECT_FALSE(logo->autoFillBackground()) << "transparent";
  const QImage drawn = logo->grab().toImage();
  EXPECT_EQ(QColor(drawn.pixel(12 * 3 + 1, 2)), rgb(96, 96, 96)) << "a grey pixel of the street";
}

TEST_F(SearchWindowWidgets, TabOrderFollowsTheTabIndexes) {
  EXPECT_EQ(tabChain(*form, form->control("Text1")),
            (std::vector<std::string>{"Text1", "Command4", "List1", "btnHelp2", "Command1"}));
}

TEST_F(SearchWindowWidgets, ClickingTheLogoFiresItsHandler) {
  auto events = std::make_shared<RecordingEvents>();
  auto own = load(frmMain::create()->layout(), events);
  own->widget()->show();
  QTest::mouseClick(own->control("Image2"), Qt::LeftButton);
  QTest::mouseClick(own->control("Label1"), Qt::LeftButton);
  EXPECT_EQ(events->fired, std::vector<std::string>{"Image2_Click"});
}

TEST_F(SearchWindowWidgets, ButtonsFireTheirClickHandlers) {
  auto events = std::make_shared<RecordingEvents>();
  auto own = load(frmMain::create()->layout(), events);
  own->widget()->show();
  for (const char* name : {"Command4", "btnHelp2", "Command1"}) {
    QTest::mouseClick(own->control(name), Qt::LeftButton);
  }
  EXPECT_EQ(events->fired,
            (std::vector<std::string>{"Command4_Click", "btnHelp2_Click", "Command1_Click"}));
}

TEST_F(SearchWindowWidgets, TextsAreReadAndWrittenThroughTheForm) {
  form->setText("Text1", "elm");
  EXPECT_EQ(control<QLineEdit>(*form, "Text1")->text(), "elm");
  EXPECT_EQ(form->text("Text1"), "elm");
  EXPECT_EQ(form->text("Frame1"), "Street search:");
  EXPECT_EQ(form->text("Command4"), "Go");
  EXPECT_EQ(form->text("Image2"), "CorvaleGIS");
}

TEST_F(SearchWindowWidgets, AControlThatIsNotAListIsNoListBox) {
  try {
    form->listBox("Text1");
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kTypeMismatch);
  }
}

class ConfigWindowWidgets : public QtFixture {
 protected:
  ConfigWindowWidgets() : form(load(frmConfig::instance()->layout())) {}
  std::shared_ptr<QtForm> form;
};

TEST_F(ConfigWindowWidgets, ItsControlsArePlacedFromTwips) {
  EXPECT_EQ(form->widget()->size(), QSize(442, 210));
  EXPECT_EQ(form->widget()->windowTitle(), "CorvaleStreetSearch - Configure");
  EXPECT_EQ(form->control("Frame1")->geometry(), QRect(8, 12, 425, 161));
  EXPECT_EQ(form->control("List1")->geometry(), QRect(12, 40, 149, 108));
  EXPECT_EQ(form->control("List2")->geometry(), QRect(172, 40, 241, 108));
  EXPECT_EQ(form->control("Command2")->geometry(), QRect(248, 180, 63, 23));
  EXPECT_EQ(form->control("Command1")->geometry(), QRect(316, 180, 114, 23));
  EXPECT_EQ(form->control("List1")->parentWidget(), form->control("Frame1"));
}

TEST_F(ConfigWindowWidgets, TheFrameAndLabelsAreBoldAndTheCaptionDarkRed) {
  auto* frame = control<QGroupBox>(*form, "Frame1");
  EXPECT_EQ(frame->title(), "Choose layer and field:");
  EXPECT_EQ(frame->palette().color(QPalette::WindowText), rgb(128, 0, 0));
  EXPECT_TRUE(frame->font().bold());
  EXPECT_TRUE(form->control("Label1")->font().bold());
  EXPECT_TRUE(form->control("Label2")->font().bold());
  EXPECT_EQ(form->widget()->palette().color(QPalette::Window), rgb(171, 181, 193));
}

TEST_F(ConfigWindowWidgets, ListsAndButtonsShowAPointingHand) {
  for (const char* name : {"List1", "List2", "Command1", "Command2"}) {
    EXPECT_TRUE(showsTheHand(form->control(name)->cursor())) << name;
  }
}

TEST_F(ConfigWindowWidgets, TheListsKeepTheOrderOfAppends) {
  host::IListBox& layers = form->listBox("List1");
  for (const char* name : {"Streets", "Hydrants", "Mains", "alleys"})
    layers.append(name);
  ASSERT_EQ(layers.count(), 4);
  EXPECT_EQ(layers.item(0), "Streets");
  EXPECT_EQ(layers.item(3), "alleys");
}

TEST_F(ConfigWindowWidgets, TabOrderIsLayersFieldsContinueCancel) {
  EXPECT_EQ(tabChain(*form, form->control("List1")),
            (std::vector<std::string>{"List1", "List2", "Command1", "Command2"}));
}

class HelpWindowWidgets : public QtFixture {
 protected:
  HelpWindowWidgets() : form(load(frmHelp::create()->layout())) {}
  std::shared_ptr<QtForm> form;
};

TEST_F(HelpWindowWidgets, TheWhiteStripIsABorderlessPanelHoldingTheFirstTwoLinks) {
  QWidget* strip = form->control("Frame1");
  auto* panel = qobject_cast<QFrame*>(strip);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(qobject_cast<QGroupBox*>(strip), nullptr);
  EXPECT_EQ(panel->frameShape(), QFrame::NoFrame);
  EXPECT_TRUE(panel->autoFillBackground());
  EXPECT_EQ(panel->palette().color(QPalette::Window), rgb(255, 255, 255));
  EXPECT_EQ(strip->geometry(), QRect(132, 48, 333, 21));
  EXPECT_EQ(form->control("Label2")->parentWidget(), strip);
  EXPECT_EQ(form->control("Label3")->parentWidget(), strip);
  EXPECT_EQ(form->control("Label3")->geometry(), QRect(152, 0, 173, 17));
}

TEST_F(HelpWindowWidgets, LinksAreBlueUnderlinedNinePointSevenFiveUnderAPointingHand) {
  for (const char* name : {"Label2", "Label3", "Label4", "Label6"}) {
    auto* link = control<QLabel>(*form, name);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), rgb(0, 0, 192)) << name;
    EXPECT_TRUE(link->font().underline()) << name;
    EXPECT_FALSE(link->font().bold()) << name;
    EXPECT_DOUBLE_EQ(link->font().pointSizeF(), 9.75) << name;
    EXPECT_TRUE(showsTheHand(link->cursor())) << name;
  }
  EXPECT_EQ(form->control("Label2")->toolTip(), "Visit us!");
  EXPECT_EQ(form->control("Label6")->toolTip(),
            "Visit the CorvaleGIS Forum discussion for this tool");
}

TEST_F(HelpWindowWidgets, RightAlignedLinksAndTheCentredNoteKeepTheirAlignment) {
  EXPECT_TRUE(control<QLabel>(*form, "Label4")->alignment() & Qt::AlignRight);
  EXPECT_TRUE(control<QLabel>(*form, "Label6")->alignment() & Qt::AlignRight);
  EXPECT_TRUE(control<QLabel>(*form, "txtVersion")->alignment() & Qt::AlignRight);
  auto* note = control<QLabel>(*form, "Label5");
  EXPECT_TRUE(note->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(note->wordWrap()) << "two lines high";
  EXPECT_FALSE(control<QLabel>(*form, "Label4")->wordWrap()) << "one line high";
  EXPECT_EQ(note->palette().color(QPalette::WindowText), rgb(128, 0, 0));
  EXPECT_TRUE(note->font().bold());
  EXPECT_TRUE(note->autoFillBackground());
}

TEST_F(HelpWindowWidgets, TransparentLabelsFillNoBackground) {
  for (const char* name : {"Label4", "Label6", "txtVersion"}) {
    EXPECT_FALSE(form->control(name)->autoFillBackground()) << name;
  }
  EXPECT_EQ(form->control("txtVersion")->palette().color(QPalette::WindowText), rgb(0, 0, 0));
}

TEST_F(HelpWindowWidgets, TheLinksAreClickableAndTheNoteIsNot) {
  auto events = std::make_shared<RecordingEvents>();
  auto own = load(frmHelp::create()->layout(), events);
  own->widget()->show();
  for (const char* name : {"Label2", "Label3", "Label4", "Label6", "Label5", "txtVersion"}) {
    QTest::mouseClick(own->control(name), Qt::LeftButton);
  }
  EXPECT_EQ(events->fired, (std::vector<std::string>{"Label2_Click", "Label3_Click", "Label4_Click",
                                                     "Label6_Click"}));
}

TEST_F(HelpWindowWidgets, TheBackgroundPictureIsDrawnAtTheTopLeftUnscaled) {
  const QImage drawn = form->widget()->grab().toImage();
  const Picture* background = findPicture("helpbackground");
  ASSERT_NE(background, nullptr);
  // Points that no control covers: the top corner, the emblem, the map below the links.
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{
           {0, 0}, {40, 40}, {5, 300}, {420, 300}, {600, 500}, {300, 200}}) {
    const host::Rgb want = background->pixel(x, y);
    EXPECT_EQ(QColor(drawn.pixel(x, y)), rgb(want.r, want.g, want.b)) << x << "," << y;
  }
}

TEST_F(HelpWindowWidgets, TheVersionLabelTakesItsCaptionFromSetText) {
  form->setText("txtVersion", "v2.15");
  EXPECT_EQ(control<QLabel>(*form, "txtVersion")->text(), "v2.15");
  EXPECT_EQ(form->text("txtVersion"), "v2.15");
}

}  // namespace
}  // namespace corvale::testing
