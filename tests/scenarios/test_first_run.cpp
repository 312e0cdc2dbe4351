#include <gtest/gtest.h>

#include "runtime/FileChannel.h"
#include "scenarios/SampleCity.h"
#include "state/ProductState.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

using FirstRun = SampleCity;

const std::vector<std::string> kStreetNames = {" Quay Lane",  "Ålesund Allé", "Birch Avenue",
                                               "Elm Street",  "Main Street",  "main street",
                                               "Market Square", "O'Brien Road"};

TEST_F(FirstRun, CreatesTheProductFolderAndAnEmptyConfigurationFile) {
  createCommand();
  EXPECT_EQ(state().ProgramFilesDrive, "C");
  EXPECT_EQ(state().ConfigFilePath, kConfigPath);
  ASSERT_TRUE(std::filesystem::exists(productFolder() / "config"));
  EXPECT_EQ(std::filesystem::file_size(productFolder() / "config"), 0u);
  EXPECT_TRUE(messages().empty());
}

TEST_F(FirstRun, AnUnconfiguredToolLeadsThroughTheConfigurationToTheSortedNames) {
  createCommand();
  toolkit->whenModal(chooseAndContinue("Streets", "FULLNAME"));
  click();

  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0], "Tool is not configured.\r\nConfiguration window will now load.");
  EXPECT_EQ(entries("frmMain", "List1"), kStreetNames);
  EXPECT_EQ(readBytes(productFolder() / "config"), "\"Streets\"\r\n\"FULLNAME\"\r\n");
  EXPECT_EQ(state().StreetLayerName, "Streets");
  EXPECT_EQ(state().StreetFieldName, "FULLNAME");
  EXPECT_TRUE(toolkit->forms("frmConfig").empty()) << "the configuration window unloads";

  auto frames = host.frames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0]->isVisible());
  EXPECT_EQ(frames[0]->caption(), "CorvaleStreetSearch");
  // 1920 x 1080 pixels at 15 twips each: (960 - 165.5, 540 - 154), the half to even.
  EXPECT_EQ(frames[0]->left(), 794);
  EXPECT_EQ(frames[0]->top(), 386);
  EXPECT_EQ(toolkit->pointer(), corvale::host::MousePointer::Default);
  expectTranscript("first_run");
}

TEST_F(FirstRun, TheConfigurationWindowListsFeatureLayersOnlyWithGroupMembersInPlace) {
  createCommand();
  std::vector<std::string> layers, fields;
  toolkit->whenModal([&](memory::ScriptedForm& config) {
    layers = config.list("List1").entries();
    config.pick("List1", "Hydrants");
    fields = config.list("List2").entries();
    config.press("Command2");
  });
  click();
  EXPECT_EQ(layers, (std::vector<std::string>{"Streets", "Hydrants", "Mains"}));
  EXPECT_EQ(fields, (std::vector<std::string>{"OBJECTID", "HYDRANT_ID", "Shape"}));
}

TEST_F(FirstRun, ContinueWithoutAChoiceAsksForItAndWritesNothing) {
  createCommand();
  toolkit->whenModal([&](memory::ScriptedForm& config) {
    config.press("Command1");
    config.pick("List1", "Streets");
    config.press("Command1");
    config.press("Command2");
  });
  click();
  EXPECT_EQ(messages(), (std::vector<std::string>{
                            "Tool is not configured.\r\nConfiguration window will now load.",
                            "Please choose a layer", "Please choose a field"}));
  EXPECT_EQ(readBytes(productFolder() / "config"), "");
}

TEST_F(FirstRun, ChoosingAnotherLayerReplacesTheFieldsAndDropsTheFieldChoice) {
  createCommand();
  toolkit->whenModal([&](memory::ScriptedForm& config) {
    config.pick("List1", "Streets");
    config.pick("List2", "FULLNAME");
    config.pick("List1", "Mains");
    EXPECT_EQ(config.list("List2").entries(),
              (std::vector<std::string>{"OBJECTID", "DIAMETER", "Shape"}));
    EXPECT_EQ(config.list("List2").selectedIndex(), -1);
    config.press("Command1");
    config.press("Command2");
  });
  click();
  EXPECT_EQ(messages().back(), "Please choose a field");
}

TEST_F(FirstRun, CancelShowsAnEmptySearchWindowWithoutAMessage) {
  createCommand();
  toolkit->whenModal([](memory::ScriptedForm& config) { config.press("Command2"); });
  click();
  EXPECT_EQ(messages().size(), 1u);
  EXPECT_TRUE(entries("frmMain", "List1").empty());
  ASSERT_EQ(host.frames().size(), 1u);
  EXPECT_TRUE(host.frames()[0]->isVisible());
  EXPECT_EQ(readBytes(productFolder() / "config"), "");
}

TEST_F(FirstRun, ClosingTheConfigurationWindowWritesNothingAndShowsNoSearchWindow) {
  createCommand();
  toolkit->whenModal([](memory::ScriptedForm& config) { config.pick("List1", "Streets"); });
  click();
  EXPECT_TRUE(toolkit->forms("frmConfig").empty());
  EXPECT_TRUE(host.frames().empty());
  EXPECT_EQ(readBytes(productFolder() / "config"), "");
}

TEST_F(FirstRun, ALaterClickOfAConfiguredToolShowsTheSearchWindowDirectly) {
  configure("Streets", "FULLNAME");
  createCommand();
  click();
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(entries("frmMain", "List1"), kStreetNames);
  EXPECT_TRUE(state().IsConfigured);
}

TEST_F(FirstRun, OnceConfiguredTheToolStaysConfiguredWhileTheFileCanBeRead) {
  configure("Streets", "FULLNAME");
  createCommand();
  click();
  writeBytes(productFolder() / "config", "");
  click();
  EXPECT_TRUE(messages().empty());
  std::filesystem::remove(productFolder() / "config");
  click();
  EXPECT_EQ(messages(), std::vector<std::string>{"Error: ICommand_OnClick()"});
}

TEST_F(FirstRun, FilesWithOneOrThreeFieldsDoNotCountAsConfigured) {
  for (const std::string bytes : {"\"Streets\"\r\n", "\"Streets\"\r\n\"FULLNAME\"\r\n\"x\"\r\n"}) {
    resetState();
    toolkit->whenModal([](memory::ScriptedForm& config) { config.press("Command2"); });
    prepareConfigFile(bytes);
    createCommand();
    click();
    EXPECT_EQ(messages().back(), "Tool is not configured.\r\nConfiguration window will now load.")
        << bytes;
  }
}

TEST_F(FirstRun, AMissingConfigurationFileGivesTheClickFailureAndNoWindow) {
  createCommand();
  std::filesystem::remove(productFolder() / "config");
  click();
  EXPECT_EQ(messages(), std::vector<std::string>{"Error: ICommand_OnClick()"});
  EXPECT_TRUE(toolkit->forms("frmConfig").empty());
  EXPECT_TRUE(toolkit->forms("frmMain").empty());
  EXPECT_FALSE(fileChannel().isOpen());
}

TEST_F(FirstRun, NoProgramFilesFolderLeavesThePathEmptyAndTheClickFails) {
  std::filesystem::remove_all(driveC() / "Program Files");
  createCommand();
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0],
            "Sorry, CorvaleStreetSearch can't find your local Program Files directory. Please "
            "email support@corvalegis.example. Thanks!");
  EXPECT_EQ(state().ConfigFilePath, "");
  click();
  EXPECT_EQ(messages().back(), "Error: ICommand_OnClick()");
}

}  // namespace
}  // namespace corvale::testing
