#include <gtest/gtest.h>

#include "scenarios/SampleCity.h"
#include "state/ProductState.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

/// A configured tool whose search window is open on the sample city's street names.
class SearchRoad : public SampleCity {
 protected:
  SearchRoad() {
    configure("Streets", "FULLNAME");
    createCommand();
    click();
    host.recorder().clear();
  }
  memory::ScriptedListBox& list() { return window("frmMain").list("List1"); }
  std::string selected() { return list().text(); }
  const memory::Bounds& extent() { return host.map->extent(); }
};

TEST_F(SearchRoad, GoWithAnEmptySearchBoxAsksForTextAndChangesNothing) {
  pick("Elm Street");
  go();
  EXPECT_EQ(messages().back(), "Please enter text to search for");
  EXPECT_EQ(selected(), "Elm Street");
  EXPECT_EQ(toolkit->pointer(), corvale::host::MousePointer::Default);
}

TEST_F(SearchRoad, GoFindsTheFirstEntryThatBeginsWithTheTextInAnyCase) {
  type("main");
  go();
  EXPECT_EQ(selected(), "Main Street");
  type("MAIN S");
  go();
  EXPECT_EQ(selected(), "Main Street");
  type("å");
  go();
  EXPECT_EQ(selected(), "Ålesund Allé");
  EXPECT_TRUE(messages().empty());
}

TEST_F(SearchRoad, GoCountsBlanksAndMatchesOnlyAtTheBeginning) {
  type(" ");
  go();
  EXPECT_EQ(selected(), " Quay Lane");
  type("  ");
  go();
  EXPECT_EQ(messages().back(), "No matching feature found");
  EXPECT_EQ(selected(), " Quay Lane") << "the selection stays as it was";
  type("Street");
  go();
  EXPECT_EQ(messages().back(), "No matching feature found");
}

TEST_F(SearchRoad, GoWithATextLongerThanAnyEntryFindsNothing) {
  type("Main Street Extension");
  go();
  EXPECT_EQ(messages(), std::vector<std::string>{"No matching feature found"});
  EXPECT_EQ(list().selectedIndex(), -1);
}

TEST_F(SearchRoad, GoTwiceSelectsTheSameEntryAndNeverZooms) {
  type("m");
  go();
  const int32_t first = list().selectedIndex();
  go();
  EXPECT_EQ(list().selectedIndex(), first);
  EXPECT_EQ(selected(), "Main Street");
  EXPECT_TRUE(extent().empty) << "a search selects, it does not zoom";
  EXPECT_FALSE(state().SearchWindow->searchInProgress());
}

TEST_F(SearchRoad, PickingANameZoomsToItsFirstFeatureEnlargedByATenthEachSide) {
  pick("Main Street");
  // First feature: (100 200)-(300 300); 1.2 times its size about its centre (200 250).
  EXPECT_EQ(memory::boundsText(extent()), "80 190 320 310");
  EXPECT_EQ(host.map->refreshCount(), 1);
  EXPECT_EQ(toolkit->pointer(), corvale::host::MousePointer::Default);
}

TEST_F(SearchRoad, NamesDifferingOnlyInCaseAreDistinctStreets) {
  pick("main street");
  EXPECT_EQ(memory::boundsText(extent()), "498 496 522 544");
}

TEST_F(SearchRoad, ANameWithAnApostropheIsFound) {
  pick("O'Brien Road");
  EXPECT_EQ(memory::boundsText(extent()), "8 9 32 21");
  EXPECT_TRUE(messages().empty());
}

TEST_F(SearchRoad, APointFeatureIsHandedToTheViewWithoutSize) {
  pick("Market Square");
  EXPECT_EQ(memory::boundsText(extent()), "250 250 250 250");
}

TEST_F(SearchRoad, WithThePageLayoutActiveTheFocusMapZooms) {
  host.document->showLayout(true);
  pick("Elm Street");
  EXPECT_EQ(memory::boundsText(extent()), "-5 -10 55 110");
  EXPECT_TRUE(host.document->layout()->extent().empty);
}

TEST_F(SearchRoad, AStreetLayerRemovedAfterListingLeavesTheMapAlone) {
  host.map->removeLayer(streetLayer);
  pick("Elm Street");
  EXPECT_TRUE(extent().empty);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(toolkit->pointer(), corvale::host::MousePointer::Default);
}

TEST_F(SearchRoad, TheSearchRoadTranscript) {
  type("");
  go();
  type("b");
  go();
  pick("Birch Avenue");
  type("zz");
  go();
  pick("Market Square");
  expectTranscript("search_road");
}

TEST_F(SearchRoad, EditingTheLayerDoesNotChangeTheOpenList) {
  streets->addRow({{"FULLNAME", "New Road"}}, host.point(1, 1));
  click();
  EXPECT_EQ(list().count(), 8);
}

TEST_F(SearchRoad, TheFrameCloseControlHidesTheWindowAndTheNextClickShowsItAsItWas) {
  type("elm");
  go();
  auto frame = host.frames().at(0);
  frame->closeByUser();
  EXPECT_FALSE(frame->isVisible());
  click();
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(selected(), "Elm Street");
  EXPECT_EQ(window("frmMain").text("Text1"), "elm");
  EXPECT_EQ(host.frames().size(), 1u);
}

TEST_F(SearchRoad, TheLogoOpensTheMakersHomePage) {
  act("logo");
  window("frmMain").press("Image2");
  EXPECT_EQ(toolkit->shellOpens(), std::vector<std::string>{"https://www.corvalegis.example"});
}

TEST(Centring, HalvesGoToTheEvenNeighbour) {
  const corvale::host::ScreenMetrics screen{1921 * 15, 1081 * 15, 15, 15};
  // (960.5 - 165.5, 540.5 - 154) = (795, 386.5)
  const CentredPosition p = centreOnScreen(screen, 4965, 4620);
  EXPECT_EQ(p.left, 795);
  EXPECT_EQ(p.top, 386);
  const CentredPosition q = centreOnScreen({1024 * 15, 769 * 15, 15, 15}, 4965, 4620);
  EXPECT_EQ(q.left, 346);  // 512 - 165.5 = 346.5
  EXPECT_EQ(q.top, 230);   // 384.5 - 154 = 230.5
}

}  // namespace
}  // namespace corvale::testing
