// The list control over TextList: collation order, bulk fill, selection and its click event.
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <random>

#include "qt/QtFixture.h"
#include "runtime/Text.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

class StreetList : public QtFixture {
 protected:
  StreetList()
      : events(std::make_shared<RecordingEvents>()),
        form(load(frmMain::create()->layout(), events)),
        list(form->listBox("List1")),
        view(qobject_cast<QListView*>(form->control("List1"))) {}

  void fill(const std::vector<std::string>& names) {
    list.clear();
    for (const auto& name : names) list.append(name);
  }
  std::vector<std::string> entries() {
    std::vector<std::string> all;
    for (int32_t i = 0; i < list.count(); ++i) all.push_back(list.item(i));
    return all;
  }
  /// The text the view shows in that row.
  std::string shown(int row) {
    return view->model()->index(row, 0).data().toString().toStdString();
  }

  std::shared_ptr<RecordingEvents> events;
  std::shared_ptr<qt::QtForm> form;
  host::IListBox& list;
  QListView* view;
};

TEST_F(StreetList, TheSortedListKeepsCollationOrderWhateverTheAppendOrder) {
  std::vector<std::string> names = {"main street", "Elm Street", "Main Street", " Quay Lane",
                                    "Ålesund Allé", "birch avenue", "O'Brien Road"};
  fill(names);
  std::vector<std::string> expected = names;
  Collation::sort(expected);
  EXPECT_EQ(entries(), expected);
  settle();
  ASSERT_EQ(view->model()->rowCount(), 7);
  for (int row = 0; row < 7; ++row) EXPECT_EQ(shown(row), expected[static_cast<size_t>(row)]);
}

TEST_F(StreetList, AFillIsOneModelResetAndNoRowInsertions) {
  QSignalSpy resets(view->model(), &QAbstractItemModel::modelReset);
  QSignalSpy inserts(view->model(), &QAbstractItemModel::rowsInserted);
  fill({"c", "b", "a"});
  EXPECT_EQ(resets.count(), 0) << "appends alone tell the view nothing";
  EXPECT_EQ(list.count(), 3);
  EXPECT_EQ(resets.count(), 1);
  settle();
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(inserts.count(), 0);
}

TEST_F(StreetList, TheViewLearnsOfAFillWhenTheEventLoopRuns) {
  fill({"b", "a"});
  settle();
  EXPECT_EQ(view->model()->rowCount(), 2);
  EXPECT_EQ(shown(0), "a");
}

TEST_F(StreetList, FiveHundredThousandNamesFillAndSortInOnePass) {
  constexpr int kNames = 500000;
  std::vector<std::string> names;
  names.reserve(kNames);
  for (int i = 0; i < kNames; ++i) {
    names.push_back((i % 2 ? "street " : "Street ") + std::to_string(int64_t{i} * 7919 % kNames));
  }
  std::shuffle(names.begin(), names.end(), std::mt19937(42));
  QSignalSpy resets(view->model(), &QAbstractItemModel::modelReset);
  fill(names);
  ASSERT_EQ(list.count(), kNames);
  std::vector<std::string> expected = names;
  Collation::sort(expected);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), entries().begin()));
  form->widget()->show();
  settle();
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(view->model()->rowCount(), kNames);
  list.select(kNames / 2);
  EXPECT_EQ(list.text(), expected[kNames / 2]);
  EXPECT_TRUE(view->viewport()->rect().intersects(view->visualRect(view->currentIndex())));
}

TEST_F(StreetList, SelectChoosesTheEntryScrollsToItAndFiresTheClickOnce) {
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) names.push_back("Road " + std::to_string(1000 + i));
  fill(names);
  form->widget()->show();
  settle();
  list.select(150);
  EXPECT_EQ(events->fired, std::vector<std::string>{"List1_Click"});
  EXPECT_EQ(list.selectedIndex(), 150);
  EXPECT_EQ(list.text(), "Road 1150");
  EXPECT_EQ(view->currentIndex().row(), 150);
  EXPECT_TRUE(view->selectionModel()->isRowSelected(150, QModelIndex()));
  EXPECT_TRUE(view->viewport()->rect().intersects(view->visualRect(view->currentIndex())));
}

TEST_F(StreetList, SelectingTheSameEntryAgainFiresAgain) {
  fill({"a", "b"});
  list.select(1);
  list.select(1);
  EXPECT_EQ(events->fired, (std::vector<std::string>{"List1_Click", "List1_Click"}));
}

TEST_F(StreetList, SelectMinusOneClearsTheSelectionWithoutAnEvent) {
  fill({"a", "b"});
  list.select(0);
  events->fired.clear();
  list.select(-1);
  EXPECT_TRUE(events->fired.empty());
  EXPECT_EQ(list.selectedIndex(), -1);
  EXPECT_EQ(list.text(), "");
  EXPECT_FALSE(view->selectionModel()->hasSelection());
}

TEST_F(StreetList, APositionOutsideTheListIsFailureFive) {
  fill({"a"});
  for (int32_t outside : {1, -2}) {
    try {
      list.select(outside);
      FAIL() << "no failure for " << outside;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number, err::kInvalidProcedureCall);
    }
  }
  EXPECT_THROW(list.item(1), Failure);
  EXPECT_TRUE(events->fired.empty());
}

TEST_F(StreetList, AUsersClickOnAnEntrySelectsItAndFiresTheClick) {
  fill({"Cedar", "Birch", "Ash"});
  form->widget()->show();
  settle();
  const QRect birch = view->visualRect(view->model()->index(1, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, birch.center());
  EXPECT_EQ(events->fired, std::vector<std::string>{"List1_Click"});
  EXPECT_EQ(list.selectedIndex(), 1);
  EXPECT_EQ(list.text(), "Birch");
}

TEST_F(StreetList, AUsersClickOnTheEntryAlreadySelectedFiresTheClickAgain) {
  fill({"Cedar", "Birch", "Ash"});
  form->widget()->show();
  settle();
  list.select(1);  // as "Go" selects it
  events->fired.clear();
  const QRect birch = view->visualRect(view->model()->index(1, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, birch.center());
  EXPECT_EQ(events->fired, std::vector<std::string>{"List1_Click"});
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, birch.center());
  EXPECT_EQ(events->fired, (std::vector<std::string>{"List1_Click", "List1_Click"}));
  EXPECT_EQ(list.text(), "Birch");
}

TEST_F(StreetList, AKeyboardMoveFiresTheClickToo) {
  fill({"Cedar", "Birch", "Ash"});
  form->widget()->show();
  settle();
  list.select(0);
  events->fired.clear();
  view->setFocus();
  QTest::keyClick(view, Qt::Key_Down);
  EXPECT_EQ(events->fired, std::vector<std::string>{"List1_Click"});
  EXPECT_EQ(list.text(), "Birch");
}

TEST_F(StreetList, ClearingDropsTheEntriesAndTheSelectionWithoutAnEvent) {
  fill({"a", "b"});
  list.select(1);
  events->fired.clear();
  list.clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.selectedIndex(), -1);
  settle();
  EXPECT_EQ(view->model()->rowCount(), 0);
  EXPECT_TRUE(events->fired.empty());
}

TEST_F(StreetList, TheSelectionSurvivesTheSortOfLaterAppends) {
  fill({"b", "a"});
  list.select(1);
  list.append("0");
  EXPECT_EQ(list.text(), "b");
  EXPECT_EQ(list.selectedIndex(), 2);
  settle();
  EXPECT_EQ(view->currentIndex().row(), 2);
}

TEST_F(StreetList, AnEntryReadStaysValidUntilTheListChanges) {
  fill({"Elm", "Ash"});
  const std::string& first = list.item(0);
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.selectedIndex(), -1);
  EXPECT_EQ(first, "Ash");
}

}  // namespace
}  // namespace corvale::testing
