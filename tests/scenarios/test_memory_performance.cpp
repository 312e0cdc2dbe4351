// The time a user waits on a large street layer on the in-memory host: the
// yardstick for the Windows host's figures, on the same list. 500,000
// distinct names in the scrambled order the Windows host double uses, the
// click until the search window's list is filled and sorted, Go on the last
// entry, and the process's peak memory.
// Runs only when CORVALE_PERF=1 (CORVALE_PERF_NAMES changes the count).

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scenarios/SampleCity.h"
#include "windows/double/ScrambledNames.h"

namespace corvale::testing {
namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(MemoryPerformance, FiveHundredThousandNamesFillTheListAndGoFindsTheLast) {
  const char* wanted = std::getenv("CORVALE_PERF");
  if (!wanted || std::string(wanted) != "1") GTEST_SKIP() << "set CORVALE_PERF=1 to measure";
  int names = 500000;
  if (const char* n = std::getenv("CORVALE_PERF_NAMES")) names = std::atoi(n);

  City city;
  auto streets = city.host.table();
  streets->addField("OBJECTID", host::fieldtype::kObjectId)
      .addField("FULLNAME", host::fieldtype::kText)
      .addField("Shape", host::fieldtype::kGeometry);
  for (int k = 0; k < names; ++k) {
    const long long j = scrambledNumber(k, names);
    const double x = static_cast<double>(j % 1000), y = static_cast<double>(j / 1000);
    streets->addRow({{"FULLNAME", scrambledStreetName(j)}}, city.host.line({{x, y}, {x + 1, y + 1}}));
  }
  city.host.map->add(city.host.featureLayer("Many Streets", streets));
  city.configure("Many Streets", "FULLNAME");
  city.createCommand();

  const auto start = Clock::now();
  city.command->OnClick();
  const double returned = millisecondsSince(start);
  // The list sorts when it is first read, as a list control does when it is shown.
  memory::ScriptedListBox& list = city.window("frmMain").list("List1");
  const std::vector<std::string>& entries = list.entries();
  const double click = millisecondsSince(start);
  ASSERT_EQ(entries.size(), static_cast<size_t>(names)) << "every distinct name is listed";
  const std::string last = entries.back();

  city.window("frmMain").type("Text1", last);
  const auto before = Clock::now();
  city.window("frmMain").press("Command4");
  const double go = millisecondsSince(before);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("[ perf     ] names %d, listed %zu\n", names, entries.size());
  std::printf("[ perf     ] click until the list is filled and sorted: %.0f ms (OnClick %.0f ms, the sort at "
              "the first read %.0f ms)\n",
              click, returned, click - returned);
  std::printf("[ perf     ] go on the last entry: %.1f ms\n", go);
  std::printf("[ perf     ] peak resident set %.0f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
  EXPECT_EQ(list.selectedIndex(), names - 1) << "Go selects the last entry";
}

}  // namespace
}  // namespace corvale::testing
