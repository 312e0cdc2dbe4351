#include <gtest/gtest.h>

#include "scenarios/SampleCity.h"
#include "state/ProductState.h"
#include "windows/frmHelp.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

class OpenSearchWindow : public SampleCity {
 protected:
  OpenSearchWindow() {
    configure("Streets", "FULLNAME");
    createCommand();
    click();
    host.recorder().clear();
  }
};

TEST_F(OpenSearchWindow, ConfigureThenCancelShowsTheSameWindowAsItWas) {
  auto before = toolkit->forms("frmMain").at(0);
  auto frame = host.frames().at(0);
  type("elm");
  go();
  toolkit->whenModal([&](memory::ScriptedForm& config) {
    EXPECT_FALSE(frame->isVisible()) << "Configure hides the search window first";
    EXPECT_EQ(config.list("List1").selectedIndex(), -1);
    act("cancel");
    config.press("Command2");
  });
  pressConfigure();
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(toolkit->forms("frmMain").at(0), before);
  EXPECT_EQ(before->text("Text1"), "elm");
  EXPECT_EQ(before->list("List1").text(), "Elm Street");
  EXPECT_EQ(readBytes(productFolder() / "config"), "\"Streets\"\r\n\"FULLNAME\"\r\n");
  expectTranscript("configure_cancel");
}

TEST_F(OpenSearchWindow, ConfigureThenContinueReplacesTheWindowWithTheNewNames) {
  auto oldWindow = state().SearchWindow;
  toolkit->whenModal(chooseAndContinue("Hydrants", "HYDRANT_ID"));
  pressConfigure();
  EXPECT_NE(state().SearchWindow, oldWindow);
  EXPECT_FALSE(oldWindow->isLoaded());
  ASSERT_EQ(toolkit->forms("frmMain").size(), 1u);
  EXPECT_EQ(entries("frmMain", "List1"), std::vector<std::string>{"H-1"});
  auto frames = host.frames();
  ASSERT_EQ(frames.size(), 1u) << "the old window's frame goes with it";
  EXPECT_TRUE(frames[0]->isVisible());
  EXPECT_EQ(frames[0]->left(), 794);
  EXPECT_EQ(readBytes(productFolder() / "config"), "\"Hydrants\"\r\n\"HYDRANT_ID\"\r\n");
  expectTranscript("configure_continue");
}

TEST_F(OpenSearchWindow, ContinueTwiceLeavesExactlyTwoFields) {
  toolkit->whenModal(chooseAndContinue("Mains", "DIAMETER"));
  pressConfigure();
  toolkit->whenModal(chooseAndContinue("Streets", "FULLNAME"));
  pressConfigure();
  EXPECT_EQ(readBytes(productFolder() / "config"), "\"Streets\"\r\n\"FULLNAME\"\r\n");
  EXPECT_EQ(entries("frmMain", "List1").size(), 8u);
}

TEST_F(OpenSearchWindow, ClosingTheConfigurationWindowKeepsTheSearchWindowHidden) {
  auto frame = host.frames().at(0);
  toolkit->whenModal([](memory::ScriptedForm&) {});
  pressConfigure();
  EXPECT_FALSE(frame->isVisible());
  click();
  EXPECT_TRUE(frame->isVisible());
}

TEST_F(OpenSearchWindow, AFieldNamedShapeIsRefused) {
  toolkit->whenModal(chooseAndContinue("Streets", "Shape"));
  pressConfigure();
  EXPECT_EQ(messages(), std::vector<std::string>{"Shape field is not accessible"});
  EXPECT_TRUE(entries("frmMain", "List1").empty());
}

TEST_F(OpenSearchWindow, ANumericFieldListsItsNumbersAsText) {
  toolkit->whenModal(chooseAndContinue("Streets", "LANES"));
  pressConfigure();
  EXPECT_EQ(entries("frmMain", "List1"), (std::vector<std::string>{"0", "1", "2", "4"}));
  act("pick 4");
  window("frmMain").pick("List1", "4");
  EXPECT_EQ(memory::boundsText(host.map->extent()), "80 190 320 310");
}

TEST_F(OpenSearchWindow, HelpTwiceOpensTwoHelpWindowsWithAFrameEach) {
  pressHelp();
  pressHelp();
  auto helps = toolkit->forms("frmHelp");
  ASSERT_EQ(helps.size(), 2u);
  auto frames = host.frames();
  ASSERT_EQ(frames.size(), 3u);
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(frames[i]->caption(), "CorvaleStreetSearch - Help");
    EXPECT_EQ(frames[i]->captionChanges(), 1);
    EXPECT_TRUE(frames[i]->isVisible());
    EXPECT_EQ(frames[i]->form(), helps[i - 1]);
    EXPECT_EQ(helps[i - 1]->text("txtVersion"), "v2.15");
  }
  expectTranscript("help");
}

TEST_F(OpenSearchWindow, HelpLinksOpenTheMakersPages) {
  pressHelp();
  auto& help = window("frmHelp");
  for (const char* label : {"Label2", "Label3", "Label4", "Label5", "Label6"})
    help.press(label);
  EXPECT_EQ(toolkit->shellOpens(),
            (std::vector<std::string>{
                "https://www.corvalegis.example", "mailto:info@corvalegis.example",
                "https://www.corvalegis.example/Products/ArcGIS/CorvaleStreetSearch/index.htm",
                "https://forum.corvalegis.example/forum/b-corvalestreetsearch/"}));
}

TEST_F(OpenSearchWindow, TheUpdateLinkFollowsTheProductNameAtTheMomentOfTheClick) {
  pressHelp();
  state().ProductName = "Other";
  window("frmHelp").press("Label4");
  EXPECT_EQ(toolkit->shellOpens().back(),
            "https://www.corvalegis.example/Products/ArcGIS/Other/index.htm");
}

TEST_F(OpenSearchWindow, AFailureInAHandlerWithoutATrapIsReportedWithItsName) {
  // The next host call is the creation of the help window's frame.
  host.faults().failHostCall(host.faults().hostCalls() + 1);
  pressHelp();
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_NE(messages()[0].find("ERROR NUMBER: -2147467259\r\nMODULE: btnHelp2_Click frmMain \r\n"),
            std::string::npos)
      << messages()[0];
  EXPECT_EQ(host.frames().size(), 1u);
  host.faults().reset();
  pressHelp();
  EXPECT_EQ(toolkit->forms("frmHelp").size(), 1u);
  EXPECT_EQ(host.frames().size(), 2u);
}

TEST_F(OpenSearchWindow, AFailingPickIsReportedAndThePointerComesBack) {
  host.faults().failHostCall(host.faults().hostCalls() + 1);
  pick("Elm Street");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0], "Error: Could not find layer Streets");
  EXPECT_EQ(toolkit->pointer(), corvale::host::MousePointer::Default);
  EXPECT_TRUE(host.map->extent().empty);
}

TEST(SearchWindowLoad, AFailureBeforeTheHourglassStillPutsThePointerBackToTheDefault) {
  // Placing the window comes before the hourglass; fail it on the first click.
  for (int64_t call = 1; call < 200; ++call) {
    City city;
    city.configure("Streets", "FULLNAME");
    city.createCommand();
    city.host.faults().reset();
    city.host.faults().failHostCall(call);
    city.click();
    if (city.host.faults().injectedCall() != "IWindowPosition.move") continue;
    ASSERT_EQ(city.messages().size(), 1u);
    EXPECT_NE(city.messages()[0].find("MODULE: Form_Load frmMain Line : 2\r\n"), std::string::npos)
        << city.messages()[0];
    EXPECT_EQ(city.host.recorder().linesStartingWith("pointer: "),
              std::vector<std::string>{"pointer: default"});
    return;
  }
  FAIL() << "the first click never placed the window";
}

}  // namespace
}  // namespace corvale::testing
