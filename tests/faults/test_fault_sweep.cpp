// Every scenario of the product, rerun once for every host call and every
// file-system call it makes, with that one call failing. Whatever fails, the
// failure stays inside the component, the configuration file is the old or
// the new one byte for byte, the pointer comes back, and the same scenario run
// again afterwards ends as a clean run does.

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <optional>
#include <sstream>

#include "scenarios/SampleCity.h"
#include "state/ProductState.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

const std::string kStreetsConfig = "\"Streets\"\r\n\"FULLNAME\"\r\n";
const std::string kHydrantsConfig = "\"Hydrants\"\r\n\"HYDRANT_ID\"\r\n";

struct Scenario {
  std::string name;
  /// The configuration file before the scenario.
  std::string oldConfig;
  /// The file the scenario writes, or nothing when it writes none.
  std::optional<std::string> newConfig;
  /// The user's (and host's) actions, from the command's creation on.
  std::function<void(City&)> run;
};

/// What a user sees at the end of a scenario.
struct Outcome {
  std::vector<std::string> names;
  bool searchWindowVisible = false;
  std::string config;
  std::string extent;
  std::string helpVersion;
  std::string selected;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << "{names:" << o.names.size() << " visible:" << o.searchWindowVisible << " config:["
      << memory::oneLine(o.config) << "] extent:" << o.extent << " help:" << o.helpVersion
      << " selected:" << o.selected << "}";
  return out;
}

/// The host reads the button's properties and creates the command, as it does at start-up.
void startHost(City& city) {
  city.command = std::make_shared<CorvaleStreetSearch>();
  CorvaleStreetSearch& c = *city.command;
  (void)c.Enabled(), (void)c.Checked(), (void)c.Name(), (void)c.Caption(), (void)c.Tooltip();
  (void)c.Message(), (void)c.HelpFile(), (void)c.HelpContextID(), (void)c.Bitmap();
  (void)c.Category();
  c.OnCreate(city.hostRef->application);
}

/// Clicks the button and, when a search window is up, acts on it.
void clickAnd(City& city, const std::function<void(memory::ScriptedForm&)>& then) {
  city.command->OnClick();
  auto windows = city.toolkit->forms("frmMain");
  if (!windows.empty() && then) then(*windows.back());
}

std::vector<Scenario> scenarios() {
  auto cancel = [](memory::ScriptedForm& config) { config.press("Command2"); };
  // A user picks what the lists offer; when a list lacks the entry, the user
  // closes the window with its close control.
  auto choose = [](std::string layer, std::string field) {
    return [layer, field](memory::ScriptedForm& config) {
      if (!config.holds("List1", layer)) return;
      config.pick("List1", layer);
      if (!config.holds("List2", field)) return;
      config.pick("List2", field);
      config.press("Command1");
    };
  };
  auto chooseStreets = choose("Streets", "FULLNAME");
  auto chooseHydrants = choose("Hydrants", "HYDRANT_ID");
  return {
      {"first run", "", kStreetsConfig,
       [=](City& city) {
         city.toolkit->whenModal(chooseStreets);
         startHost(city);
         city.command->OnClick();
       }},
      {"search", kStreetsConfig, std::nullopt,
       [](City& city) {
         startHost(city);
         city.command->OnClick();
       }},
      {"go", kStreetsConfig, std::nullopt,
       [](City& city) {
         startHost(city);
         clickAnd(city, [](memory::ScriptedForm& w) {
           w.type("Text1", "main s");
           w.press("Command4");
         });
       }},
      {"pick and zoom", kStreetsConfig, std::nullopt,
       [](City& city) {
         startHost(city);
         clickAnd(city, [](memory::ScriptedForm& w) {
           if (w.list("List1").count() > 4) w.pick("List1", "Main Street");
         });
       }},
      {"configure and cancel", kStreetsConfig, std::nullopt,
       [=](City& city) {
         startHost(city);
         city.toolkit->whenModal(cancel);
         clickAnd(city, [](memory::ScriptedForm& w) { w.press("Command1"); });
       }},
      {"configure and continue", kStreetsConfig, kHydrantsConfig,
       [=](City& city) {
         startHost(city);
         city.toolkit->whenModal(chooseHydrants);
         clickAnd(city, [](memory::ScriptedForm& w) { w.press("Command1"); });
       }},
      {"help", kStreetsConfig, std::nullopt,
       [](City& city) {
         startHost(city);
         clickAnd(city, [](memory::ScriptedForm& w) { w.press("btnHelp2"); });
       }},
  };
}

Outcome observe(City& city) {
  Outcome o;
  const auto config = city.productFolder() / "config";
  o.config = std::filesystem::exists(config) ? readBytes(config) : "<absent>";
  o.extent = memory::boundsText(city.host.map->extent());
  if (auto window = state().SearchWindow; window && window->isLoaded()) {
    auto form = std::dynamic_pointer_cast<memory::ScriptedForm>(window->hWnd());
    o.names = form->list("List1").entries();
    o.selected = form->list("List1").text();
    for (const auto& frame : city.host.frames()) {
      if (frame->form() == form && frame->isVisible()) o.searchWindowVisible = true;
    }
  }
  auto helps = city.toolkit->forms("frmHelp");
  if (!helps.empty()) o.helpVersion = helps.back()->text("txtVersion");
  return o;
}

enum class Target { Host, FileSystem };

struct Counts {
  int64_t host = 0, files = 0;
};

struct Totals {
  int scenarios = 0;
  int64_t injected = 0;
  int64_t failuresFound = 0;
};

Totals& totals() {
  static Totals t;
  return t;
}

/// Runs the scenario in a fresh city; returns the calls it made.
Counts runClean(const Scenario& scenario, Outcome* outcome) {
  City city;
  city.prepareConfigFile(scenario.oldConfig);
  scenario.run(city);
  if (outcome) *outcome = observe(city);
  return {city.host.faults().hostCalls(), city.host.faults().fileSystemCalls()};
}

/// Runs the scenario with call k of the target failing, checks what it left, and
/// runs it again cleanly in the same world. Returns the number of broken promises.
int runWithFault(const Scenario& scenario, Target target, int64_t k, const Outcome& clean) {
  City city;
  city.prepareConfigFile(scenario.oldConfig);
  if (target == Target::Host) {
    city.host.faults().failHostCall(k);
  } else {
    city.host.faults().failFileSystemCall(k);
  }
  std::string where = scenario.name + (target == Target::Host ? ", host call " : ", file call ") +
                      std::to_string(k);
  int broken = 0;
  auto check = [&](bool ok, const std::string& what) {
    if (!ok) {
      ++broken;
      ADD_FAILURE() << where << ": " << what;
    }
  };

  bool escaped = false;
  try {
    scenario.run(city);
  } catch (...) {
    escaped = true;
  }
  check(!escaped, "a failure reached the host");
  check(city.host.faults().injected(), "the chosen call never came");
  where += " (" + city.host.faults().injectedCall() + ")";

  const auto configFile = city.productFolder() / "config";
  const bool present = std::filesystem::exists(configFile);
  const std::string bytes = present ? readBytes(configFile) : "";
  check(present, "the configuration file is gone");
  check(bytes == scenario.oldConfig || (scenario.newConfig && bytes == *scenario.newConfig),
        "the configuration file holds [" + memory::oneLine(bytes) + "]");
  if (scenario.newConfig && bytes == *scenario.newConfig && bytes != scenario.oldConfig) {
    const std::string expected = "\"" + state().StreetLayerName + "\"\r\n\"" +
                                 state().StreetFieldName + "\"\r\n";
    check(expected == bytes, "the shared names do not match the file written");
  }
  check(city.toolkit->pointer() == corvale::host::MousePointer::Default,
        "the pointer is left as the hourglass");

  // The same scenario again, without faults, in what the failed run left behind.
  city.host.faults().reset();
  city.toolkit->clearScripts();
  city.host.map->resetView();
  escaped = false;
  try {
    scenario.run(city);
  } catch (...) {
    escaped = true;
  }
  check(!escaped, "a failure reached the host on the clean rerun");
  const Outcome again = observe(city);
  std::ostringstream seen;
  seen << "the clean rerun ends as " << again << " instead of " << clean;
  check(again == clean, seen.str());
  return broken;
}

class FaultSweep : public ::testing::TestWithParam<size_t> {};

TEST_P(FaultSweep, EveryFailingCallStaysInsideAndLeavesTheToolUsable) {
  const Scenario scenario = scenarios().at(GetParam());
  Outcome clean;
  const Counts counts = runClean(scenario, &clean);
  ASSERT_GT(counts.host, 0);
  ASSERT_GT(counts.files, 0);

  int64_t broken = 0;
  for (int64_t k = 1; k <= counts.host; ++k) broken += runWithFault(scenario, Target::Host, k, clean);
  for (int64_t k = 1; k <= counts.files; ++k) {
    broken += runWithFault(scenario, Target::FileSystem, k, clean);
  }
  Totals& t = totals();
  ++t.scenarios;
  t.injected += counts.host + counts.files;
  t.failuresFound += broken;
  std::cout << "[ sweep    ] " << scenario.name << ": " << counts.host << " host calls, "
            << counts.files << " file-system calls, " << broken << " broken promises\n"
            << "[ totals   ] scenarios " << t.scenarios << ", injected faults " << t.injected
            << ", failures found " << t.failuresFound << "\n";
}

INSTANTIATE_TEST_SUITE_P(AllScenarios, FaultSweep, ::testing::Range<size_t>(0, scenarios().size()),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                           std::string name = scenarios().at(param.param).name;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace corvale::testing
