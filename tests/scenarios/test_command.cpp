#include <gtest/gtest.h>

#include "command/CorvaleStreetSearch.h"
#include "scenarios/SampleCity.h"
#include "state/ProductState.h"
#include "windows/Pictures.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

using Command = SampleCity;

TEST_F(Command, PropertiesAnswerTheSameBeforeOnCreate) {
  CorvaleStreetSearch fresh;
  EXPECT_TRUE(fresh.Enabled());
  EXPECT_FALSE(fresh.Checked());
  EXPECT_EQ(fresh.Name(), "CorvaleGIS_CorvaleStreetSearch");
  EXPECT_EQ(fresh.Caption(), "CorvaleStreetSearch");
  EXPECT_EQ(fresh.Tooltip(), "CorvaleStreetSearch - Zoom to a street");
  EXPECT_EQ(fresh.Message(), "CorvaleGIS: www.corvalegis.example");
  EXPECT_EQ(fresh.HelpFile(), "");
  EXPECT_EQ(fresh.HelpContextID(), 0);
  EXPECT_EQ(fresh.Category(), "CorvaleGIS");
  EXPECT_EQ(state().ConfigFilePath, "");
  EXPECT_FALSE(state().IsConfigured);
  EXPECT_TRUE(messages().empty());
}

TEST_F(Command, TheBitmapHandleIsTheSameOnEveryCallAndTheResourceWindowStaysHidden) {
  CorvaleStreetSearch fresh;
  const int32_t handle = fresh.Bitmap();
  EXPECT_NE(handle, 0);
  EXPECT_EQ(fresh.Bitmap(), handle);
  EXPECT_FALSE(window("frmResources").visible());
}

TEST_F(Command, TheToolbarPictureIsA16By16TrueColourBitmap) {
  const Picture* picture = findPicture("toolbar");
  ASSERT_NE(picture, nullptr);
  const std::vector<uint8_t> dib = deviceIndependentBitmap(*picture);
  ASSERT_EQ(dib.size(), 40u + 16 * 16 * 3);
  auto word = [&](size_t at) { return dib[at] | dib[at + 1] << 8; };
  EXPECT_EQ(word(4), 16);   // width
  EXPECT_EQ(word(8), 16);   // height, rows from the bottom
  EXPECT_EQ(word(14), 24);  // bits per pixel
  EXPECT_EQ(word(16), 0);   // no compression
  EXPECT_EQ(word(32), 0);   // no palette
  // The bottom-left pixel (first in the file) is the yellow line of the street.
  EXPECT_EQ(dib[40 + 0], 0);
  EXPECT_EQ(dib[40 + 1], 220);
  EXPECT_EQ(dib[40 + 2], 255);
}

TEST_F(Command, OnCreateFillsTheProductStateInOrder) {
  createCommand();
  const ProductState& s = state();
  EXPECT_EQ(s.CompanyName, "CorvaleGIS");
  EXPECT_EQ(s.ProductName, "CorvaleStreetSearch");
  EXPECT_EQ(s.ProductVersion, "v2.15");
  EXPECT_EQ(s.ProductFolder, "C:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\");
  ASSERT_NE(s.SearchWindow, nullptr);
  EXPECT_FALSE(s.SearchWindow->isLoaded());
  EXPECT_EQ(command->hookApplication(), hostRef->application);
}

TEST_F(Command, ASecondOnCreateReplacesTheSearchWindowWithANewUnloadedOne) {
  createCommand();
  std::weak_ptr<frmMain> first = state().SearchWindow;
  command->OnCreate(hostRef->application);
  EXPECT_TRUE(first.expired());
  ASSERT_NE(state().SearchWindow, nullptr);
  EXPECT_FALSE(state().SearchWindow->isLoaded());
}

TEST_F(Command, AHookWithoutTheApplicationInterfaceLeavesEverythingUnset) {
  command = std::make_shared<CorvaleStreetSearch>();
  command->OnCreate(hostRef->document);
  EXPECT_EQ(messages(), std::vector<std::string>{"Error: ICommand_OnCreate()"});
  EXPECT_EQ(state().SearchWindow, nullptr);
  EXPECT_EQ(state().ProductName, "");
  EXPECT_FALSE(std::filesystem::exists(driveC() / "Program Files" / "CorvaleGIS"));
  command->OnCreate(nullptr);
  EXPECT_EQ(messages().size(), 2u);
}

TEST_F(Command, EachClickTakesTheDocumentOpenAtThatMoment) {
  configure("Streets", "FULLNAME");
  createCommand();
  click();
  auto first = state().HostDocument;
  auto replaced = host.replaceDocument();
  click();
  EXPECT_NE(state().HostDocument, first);
  EXPECT_EQ(state().HostDocument, replaced);
  auto appRef = state().HostAppReference;
  click();
  EXPECT_EQ(state().HostAppReference, appRef) << "the application reference is made once";
}

TEST_F(Command, APickAfterTheProjectWasReplacedFindsNoLayerAndLeavesTheMap) {
  configure("Streets", "FULLNAME");
  createCommand();
  click();
  host.replaceDocument();
  click();
  pick("Elm Street");
  EXPECT_TRUE(messages().empty());
  EXPECT_TRUE(host.map->extent().empty);
}

TEST_F(Command, EveryHostCallFailingDuringAClickIsToldAndTheNextClickShowsTheWindow) {
  configure("Streets", "FULLNAME");
  createCommand();
  const int64_t start = host.faults().hostCalls();
  click();
  const int64_t calls = host.faults().hostCalls() - start;
  ASSERT_GT(calls, 10);
  for (int64_t k = 1; k <= calls; ++k) {
    resetState();
    host.faults().reset();
    createCommand();
    const size_t before = messages().size();
    host.faults().failHostCall(host.faults().hostCalls() + k);
    command->OnClick();
    ASSERT_TRUE(host.faults().injected()) << k;
    const std::string failed = host.faults().injectedCall();
    // Only the frame's caption is cosmetic enough to be passed over in silence.
    if (failed != "IFrameWindow.setCaption") {
      EXPECT_GT(messages().size(), before) << "call " << k << " " << failed;
    }
    EXPECT_EQ(toolkit->pointer(), corvale::host::MousePointer::Default) << k;

    const size_t afterFailure = messages().size();
    command->OnClick();
    EXPECT_EQ(messages().size(), afterFailure) << "call " << k << " " << failed;
    ASSERT_FALSE(host.frames().empty()) << k;
    EXPECT_TRUE(host.frames().back()->isVisible()) << "call " << k << " " << failed;
    EXPECT_EQ(host.frames().back()->form(), toolkit->forms("frmMain").back()) << k;
  }
}

}  // namespace
}  // namespace corvale::testing
