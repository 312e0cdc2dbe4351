// The component's DLL as the map application starts and uses it, against the
// host double: start-up through the registry and the command category, the
// user's roads through the real windows with golden JSON Lines transcripts,
// and the references the component holds on the host's objects.

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <set>
#include <sstream>

#include "double/HostObject.h"
#include "double/Transcript.h"
#include "scenarios/ComHost.h"
#include "scenarios/GoldenFacts.h"

namespace corvale::windouble {
namespace {

const std::string kStreets = "\"Streets\"\r\n\"FULLNAME\"\r\n";

class ComHost : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    World::get().buildSampleCity();
  }
  void SetUp() override {
    Ledger::get().failCall(0, S_OK);
    Ledger::get().clearErrors();
    clsid_ = registeredCommandClass();
    ASSERT_FALSE(IsEqualGUID(clsid_, GUID_NULL))
        << "no class with the ProgID " << kProgId << " in the command category after regsvr32 " << commandDll();
  }
  void TearDown() override { EXPECT_EQ(Ledger::get().errors(), std::vector<std::string>{}); }

  ScenarioOutcome run(const std::string& config, const std::function<void(User&)>& script) {
    ScenarioOutcome out;
    inFreshApartment([&] { out = runScenario(clsid_, {config, true, true}, script); });
    for (HRESULT hr : out.statuses) EXPECT_EQ(hr, S_OK) << "every ICommand call reports success";
    EXPECT_EQ(out.problems, std::vector<std::string>{});
    EXPECT_EQ(out.framesHeldAfterRelease, std::vector<std::string>{})
        << "every frame window is let go when its window unloads, at the latest with the command";
    return out;
  }

  CLSID clsid_ = GUID_NULL;
};

TEST_F(ComHost, TheCommandFromTheCategoryAnswersItsPropertiesAndItsBitmapIsOneLasting16x16Picture) {
  CommandProperties props;
  BITMAP bm{};
  int bitmapBytes = 0, bitmapBytesAfterRelease = -1;
  inFreshApartment([&] {
    Command command;
    ASSERT_EQ(Command::create(clsid_, command), S_OK);
    props = command.readProperties();
    // The same answers after OnCreate; the bitmap handle too.
    World::get().start();
    EXPECT_EQ(command.onCreate(World::get().application()), S_OK);
    const CommandProperties again = command.readProperties();
    EXPECT_EQ(again.caption, props.caption);
    EXPECT_EQ(again.bitmap, props.bitmap);
    // The picture lasts while the thread's command does; the release of the thread's
    // last command ends its instance of the component, and the picture with it.
    const auto picture = reinterpret_cast<HBITMAP>(static_cast<ULONG_PTR>(props.bitmap));
    bitmapBytes = GetObjectW(picture, sizeof bm, &bm);
    command.reset();
    BITMAP gone{};
    bitmapBytesAfterRelease = GetObjectW(picture, sizeof gone, &gone);
    World::get().stop();
  });
  for (HRESULT hr : props.statuses) EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(props.enabled, VARIANT_TRUE);
  EXPECT_EQ(props.checked, VARIANT_FALSE);
  EXPECT_EQ(props.caption, "CorvaleStreetSearch");
  EXPECT_EQ(props.category, "CorvaleGIS");
  EXPECT_EQ(props.name, props.category + "_" + props.caption);
  EXPECT_EQ(props.tooltip, props.caption + " - Zoom to a street");
  EXPECT_EQ(props.message.rfind("CorvaleGIS: ", 0), 0u) << props.message;
  EXPECT_GT(props.message.size(), std::string("CorvaleGIS: ").size()) << "the maker's host name follows";
  EXPECT_EQ(props.helpFile, "");
  EXPECT_EQ(props.helpContextId, 0);
  ASSERT_NE(props.bitmap, 0u);
  EXPECT_EQ(props.bitmap, props.bitmapAgain) << "the same handle on every call";
  ASSERT_EQ(bitmapBytes, static_cast<int>(sizeof bm));
  EXPECT_EQ(bitmapBytesAfterRelease, 0) << "no picture outlives the thread's last command";
  EXPECT_EQ(bm.bmWidth, 16);
  EXPECT_EQ(bm.bmHeight, 16);
  EXPECT_EQ(bm.bmBitsPixel, 24);
}

/// The names under a registry key, one level down.
std::set<std::string> subkeys(HKEY root, const wchar_t* path) {
  std::set<std::string> names;
  HKEY key;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD n = 256;
    if (RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.insert(utf8Of(name, static_cast<int>(n)));
  }
  RegCloseKey(key);
  return names;
}

struct RegistryView {
  std::set<std::string> classes, typeLibs, interfaces, root;
  friend bool operator==(const RegistryView&, const RegistryView&) = default;
};

RegistryView registryView() {
  return {subkeys(HKEY_CLASSES_ROOT, L"CLSID"), subkeys(HKEY_CLASSES_ROOT, L"TypeLib"),
          subkeys(HKEY_CLASSES_ROOT, L"Interface"), subkeys(HKEY_CLASSES_ROOT, L"")};
}

TEST_F(ComHost, Regsvr32WritesTheClassInTheCommandCategoryAndItsUndoingLeavesTheRegistryAsBefore) {
  ASSERT_EQ(runRegsvr32(commandDll(), true), 0u);
  const RegistryView before = registryView();
  EXPECT_TRUE(IsEqualGUID(findCommandClass(), GUID_NULL));

  ASSERT_EQ(runRegsvr32(commandDll(), false), 0u);
  const RegistryView registered = registryView();
  const CLSID clsid = findCommandClass();
  ASSERT_FALSE(IsEqualGUID(clsid, GUID_NULL));
  EXPECT_TRUE(registered.classes.count(textOf(clsid)));
  EXPECT_TRUE(registered.root.count(kProgId));
  EXPECT_EQ(registered.typeLibs.size(), before.typeLibs.size() + 1) << "the type library CorvaleGIS";
  CLSID fromProgId = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(L"CorvaleGIS.CorvaleStreetSearch", &fromProgId), S_OK);
  EXPECT_TRUE(IsEqualGUID(fromProgId, clsid));

  ASSERT_EQ(runRegsvr32(commandDll(), true), 0u);
  EXPECT_TRUE(registryView() == before) << "regsvr32 /u leaves the registry as it found it";
  ASSERT_EQ(runRegsvr32(commandDll(), false), 0u);
}

/// Runs a road and compares its transcript with tests/windows/golden/<name>.jsonl.
void expectGolden(const std::string& name, const ScenarioOutcome& out) {
  const std::string file = goldenDir() + "/" + name + ".jsonl";
  if (const char* update = std::getenv("CORVALE_UPDATE_GOLDEN"); update && std::string(update) == "1") {
    std::ofstream(windowsPath(file).c_str(), std::ios::binary) << out.transcript;
    return;
  }
  const std::string expected = readFile(file);
  ASSERT_FALSE(expected.empty()) << "no reference " << file << "; run with CORVALE_UPDATE_GOLDEN=1 to write it";
  EXPECT_EQ(out.transcript, expected) << "transcript of " << name;
}

TEST_F(ComHost, FirstRunAsksForTheLayerAndFieldThenOpensTheSearchWindowOnTheirNames) {
  const ScenarioOutcome out = run("", [](User& u) {
    u.click();
    u.chooseLayer("Streets");
    u.chooseField("FULLNAME");
    u.pressContinue();
  });
  expectGolden("first_run", out);
  EXPECT_EQ(out.config, kStreets);
  EXPECT_TRUE(out.searchWindowVisible);
  EXPECT_TRUE(out.extents.empty()) << "nothing zooms before a pick";
}

TEST_F(ComHost, SearchRoadGoesAndPicksAndTheViewReceivesTheEnlargedExtents) {
  const ScenarioOutcome out = run(kStreets, [](User& u) {
    u.click();
    u.startRecording();
    u.type("");
    u.go();
    u.type("b");
    u.go();
    u.pick("Birch Avenue");
    u.type("zz");
    u.go();
    u.pick("Market Square");
  });
  expectGolden("search_road", out);
  ASSERT_EQ(out.extents.size(), 2u);
  EXPECT_EQ(out.searchWindow.selectedText, "Market Square");
  EXPECT_EQ(out.config, kStreets) << "searching writes nothing";
}

TEST_F(ComHost, ConfigureAndCancelShowsTheSameSearchWindowAgain) {
  const ScenarioOutcome out = run(kStreets, [](User& u) {
    u.click();
    u.startRecording();
    u.type("elm");
    u.go();
    u.pressConfigure();
    u.pressCancel();
  });
  expectGolden("configure_cancel", out);
  EXPECT_TRUE(out.searchWindowVisible);
  EXPECT_EQ(out.searchWindow.selectedText, "Elm Street");
  EXPECT_EQ(out.searchWindow.text, "elm");
}

TEST_F(ComHost, ConfigureAndContinueWritesTheNewPairAndShowsANewWindowOnItsNames) {
  const ScenarioOutcome out = run(kStreets, [](User& u) {
    u.click();
    u.startRecording();
    u.pressConfigure();
    u.chooseLayer("Hydrants");
    u.chooseField("HYDRANT_ID");
    u.pressContinue();
  });
  expectGolden("configure_continue", out);
  EXPECT_EQ(out.config, "\"Hydrants\"\r\n\"HYDRANT_ID\"\r\n");
  EXPECT_EQ(out.searchWindow.list, std::vector<std::string>{"H-1"});
}

TEST_F(ComHost, EachPressOfHelpOpensOneMoreHelpWindow) {
  const ScenarioOutcome out = run(kStreets, [](User& u) {
    u.click();
    u.startRecording();
    u.pressHelp();
    u.pressHelp();
  });
  expectGolden("help", out);
  EXPECT_EQ(out.helpCaptions.size(), 2u);
}

TEST_F(ComHost, AfterTheRoadsAndTheCommandsReleaseEveryHostObjectIsBackToItsStartingCount) {
  const auto before = Object::alive();
  run(kStreets, [](User& u) {
    u.click();
    u.type("m");
    u.go();
    u.pick("Main Street");
    u.pressConfigure();
    u.chooseLayer("Hydrants");
    u.chooseField("HYDRANT_ID");
    u.pressContinue();
    u.pressHelp();
  });
  // The apartment has ended: the product's state for it is gone with it.
  CoFreeUnusedLibrariesEx(0, 0);
  CoFreeUnusedLibrariesEx(0, 0);
  auto after = Object::alive();
  auto sorted = [](std::vector<std::pair<std::string, LONG>> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  const bool unloaded = GetModuleHandleW(L"CorvaleStreetSearch.dll") == nullptr;
  EXPECT_EQ(sorted(after), sorted(before))
      << "no leak, no release too many (the DLL is " << (unloaded ? "unloaded" : "still loaded") << ")";
}

}  // namespace
}  // namespace corvale::windouble
