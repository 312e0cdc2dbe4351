#include "scenarios/SampleCity.h"

#include "host/Data.h"
#include "support/Golden.h"
#include "state/ProductState.h"

namespace corvale::testing {

using host::fieldtype::kDate;
using host::fieldtype::kDouble;
using host::fieldtype::kGeometry;
using host::fieldtype::kInteger;
using host::fieldtype::kObjectId;
using host::fieldtype::kText;

City::City() {
  resetState();

  streets = host.table();
  streets->addField("OBJECTID", kObjectId)
      .addField("FULLNAME", kText)
      .addField("LANES", kInteger)
      .addField("LENGTH", kDouble)
      .addField("BUILT", kDate)
      .addField("Shape", kGeometry);
  auto add = [&](Variant name, std::vector<std::pair<double, double>> line, int lanes = 2) {
    streets->addRow({{"FULLNAME", name}, {"LANES", lanes}, {"LENGTH", 120.5},
                     {"BUILT", Date{1998, 4, 1}}},
                    host.line(std::move(line)));
  };
  add("Main Street", {{100, 200}, {300, 300}}, 4);
  add("Elm Street", {{0, 0}, {50, 100}});
  add("main street", {{500, 500}, {520, 540}});
  add("Main Street", {{300, 200}, {400, 260}}, 4);  // the same street, a second feature
  add("O'Brien Road", {{10, 10}, {30, 20}});
  add(Variant::null(), {{1, 1}, {2, 2}});
  add("", {{3, 3}, {4, 4}});
  add(" Quay Lane", {{60, 60}, {70, 90}});
  add("Ålesund Allé", {{80, 10}, {95, 30}}, 1);
  streets->addRow({{"FULLNAME", "Market Square"}, {"LANES", 0}}, host.point(250, 250));
  add("Birch Avenue", {{-50, -40}, {-10, 0}});
  streetLayer = host.featureLayer("Streets", streets);

  hydrants = host.table();
  hydrants->addField("OBJECTID", kObjectId).addField("HYDRANT_ID", kText).addField("Shape", kGeometry);
  hydrants->addRow({{"HYDRANT_ID", "H-1"}}, host.point(5, 5));
  auto mains = host.table();
  mains->addField("OBJECTID", kObjectId).addField("DIAMETER", kDouble).addField("Shape", kGeometry);
  auto utilities = host.groupLayer("Utilities");
  utilities->add(host.featureLayer("Hydrants", hydrants)).add(host.featureLayer("Mains", mains));

  host.map->add(streetLayer).add(utilities).add(host.otherLayer("Orthophoto 2024"));
}

City::~City() { command.reset(); }

void City::createCommand() {
  command = std::make_shared<CorvaleStreetSearch>();
  command->OnCreate(hostRef->application);
}

void City::configure(const std::string& layer, const std::string& field) {
  prepareConfigFile("\"" + layer + "\"\r\n\"" + field + "\"\r\n");
}

std::vector<std::string> City::entries(const std::string& windowName,
                                             const std::string& list) {
  return window(windowName).list(list).entries();
}

memory::ScriptedToolkit::ModalScript City::chooseAndContinue(std::string layer,
                                                                   std::string field) {
  return [this, layer, field](memory::ScriptedForm& config) {
    act("choose layer " + layer);
    config.pick("List1", layer);
    act("choose field " + field);
    config.pick("List2", field);
    act("continue");
    config.press("Command1");
  };
}

void City::act(const std::string& action) { host.recorder().record("> " + action); }

void City::click() {
  act("click");
  command->OnClick();
}

void City::type(const std::string& text) {
  act("type \"" + text + "\"");
  window("frmMain").type("Text1", text);
}

void City::go() {
  act("go");
  window("frmMain").press("Command4");
}

void City::pick(const std::string& name) {
  act("pick \"" + name + "\"");
  window("frmMain").pick("List1", name);
}

void City::pressConfigure() {
  act("configure");
  window("frmMain").press("Command1");
}

void City::pressHelp() {
  act("help");
  window("frmMain").press("btnHelp2");
}

std::string City::transcript() {
  std::string text;
  for (const auto& line : host.recorder().lines()) text += line + "\n";
  text += "-- state\n";
  auto windows = toolkit->forms("frmMain");
  if (windows.empty()) {
    text += "search window: not loaded\n";
  } else {
    auto& list = windows.back()->list("List1");
    text += "search list (" + std::to_string(list.count()) + "):";
    for (const auto& entry : list.entries()) text += " [" + entry + "]";
    text += "\nselected: " + std::to_string(list.selectedIndex()) + "\n";
    text += "search text: [" + windows.back()->text("Text1") + "]\n";
  }
  const auto config = productFolder() / "config";
  text += "config: " + (std::filesystem::exists(config)
                            ? "[" + memory::oneLine(readBytes(config)) + "]"
                            : std::string("absent")) + "\n";
  text += "map extent: " + memory::boundsText(host.map->extent()) + "\n";
  text += "pointer: " +
          std::string(toolkit->pointer() == corvale::host::MousePointer::Default ? "default" : "hourglass") +
          "\n";
  return text;
}

void City::expectTranscript(const std::string& name) {
  expectMatchesGolden(CORVALE_GOLDEN_DIR, name, transcript());
}

}  // namespace corvale::testing
