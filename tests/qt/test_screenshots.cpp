// Pictures of the three windows for a person to look at: <build>/tests/qt/screenshots/*.png.
#include <QLineEdit>

#include "qt/QtFixture.h"
#include "qt/Screenshot.h"
#include "windows/frmConfig.h"
#include "windows/frmHelp.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

const std::filesystem::path kFolder = CORVALE_SCREENSHOT_DIR;

class Screenshots : public QtFixture {};

TEST_F(Screenshots, TheSearchWindowWithStreetNamesAndASelection) {
  auto form = load(frmMain::create()->layout());
  host::IListBox& list = form->listBox("List1");
  for (const char* name : {"Main Street", "Elm Street", "main street", "O'Brien Road",
                           " Quay Lane", "Ålesund Allé", "Market Square", "Birch Avenue",
                           "Cedar Lane", "Dogwood Drive", "Fir Court", "Hawthorn Way"}) {
    list.append(name);
  }
  form->setText("Text1", "elm");
  list.select(3);
  EXPECT_TRUE(saveScreenshot(*form->widget(), kFolder / "frmMain.png"));
}

TEST_F(Screenshots, TheConfigurationWindowWithALayerChosen) {
  auto form = load(frmConfig::instance()->layout());
  for (const char* name : {"Streets", "Hydrants", "Mains"}) form->listBox("List1").append(name);
  for (const char* name : {"OBJECTID", "FULLNAME", "LANES", "LENGTH", "BUILT", "Shape"}) {
    form->listBox("List2").append(name);
  }
  form->listBox("List1").select(0);
  EXPECT_TRUE(saveScreenshot(*form->widget(), kFolder / "frmConfig.png"));
}

TEST_F(Screenshots, TheHelpWindowWithItsVersion) {
  auto form = load(frmHelp::create()->layout());
  form->setText("txtVersion", "v2.15");
  EXPECT_TRUE(saveScreenshot(*form->widget(), kFolder / "frmHelp.png"));
}

}  // namespace
}  // namespace corvale::testing
