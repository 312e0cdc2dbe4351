#include "windows/frmConfig.h"

#include "errors/ErrorHandling.h"
#include "files/ConfigFile.h"
#include "host/Services.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "state/ProductState.h"
#include "windows/frmMain.h"

namespace corvale {

namespace {

/// The event handlers, each once: the layout's list and the dispatch come from here.
constexpr Handler<frmConfig> kHandlers[] = {
    {"List1_Click", &frmConfig::List1_Click},
    {"Command1_Click", &frmConfig::Command1_Click},
    {"Command2_Click", &frmConfig::Command2_Click},
};

constexpr host::Rgb kWindowColour{171, 181, 193};
constexpr host::Rgb kDarkRed{128, 0, 0};
const host::Font kBoldFont{"MS Sans Serif", 8.25, true, false};

host::FormLayout makeLayout() {
  using host::ControlKind;
  host::FormLayout layout;
  layout.name = kConfigModule;
  layout.caption = "CorvaleStreetSearch - Configure";
  layout.clientWidth = 6630;
  layout.clientHeight = 3150;
  layout.backColor = kWindowColour;

  host::ControlLayout frame = host::ControlLayout::make(
      ControlKind::Frame, "Frame1", "Choose layer and field:", "", "", 120, 180, 6375, 2415);
  frame.backColor = kWindowColour;
  frame.foreColor = kDarkRed;
  frame.font = kBoldFont;

  host::ControlLayout layerLabel = host::ControlLayout::make(
      ControlKind::Label, "Label1", "Street layer:", "", "Frame1", 180, 300, 1605, 270);
  layerLabel.font = kBoldFont;
  layerLabel.transparent = true;

  host::ControlLayout layers = host::ControlLayout::make(ControlKind::ListBox, "List1", "", "",
                                                     "Frame1", 180, 600, 2235, 1620);
  layers.tabIndex = 0;
  layers.handPointer = true;

  host::ControlLayout fieldLabel = host::ControlLayout::make(
      ControlKind::Label, "Label2", "Street Name field:", "", "Frame1", 2580, 300, 2070, 240);
  fieldLabel.font = kBoldFont;
  fieldLabel.transparent = true;

  host::ControlLayout fields = host::ControlLayout::make(ControlKind::ListBox, "List2", "", "",
                                                     "Frame1", 2580, 600, 3615, 1620);
  fields.tabIndex = 1;
  fields.handPointer = true;

  host::ControlLayout cancel = host::ControlLayout::make(ControlKind::Button, "Command2", "Cancel", "",
                                                     "", 3720, 2700, 945, 345);
  cancel.tabIndex = 3;
  cancel.handPointer = true;
  cancel.picture = "cancel";

  host::ControlLayout proceed = host::ControlLayout::make(ControlKind::Button, "Command1", "Continue",
                                                      "", "", 4740, 2700, 1710, 345);
  proceed.tabIndex = 2;
  proceed.handPointer = true;
  proceed.picture = "continue";

  layout.controls = {frame, layerLabel, layers, fieldLabel, fields, cancel, proceed};
  layout.handlers = handlerNames<frmConfig>(kHandlers);
  return layout;
}

/// Whether any entry of the list is selected, testing each from the first to the last.
bool anySelected(host::IListBox& list) {
  const int32_t selected = list.selectedIndex();
  const int32_t count = list.count();
  for (int32_t i = 0; i < count; ++i) {
    if (i == selected) return true;
  }
  return false;
}

}  // namespace

std::shared_ptr<frmConfig> frmConfig::instance() {
  auto& shared = state().ConfigWindow;
  if (!shared) shared = std::shared_ptr<frmConfig>(new frmConfig());
  return shared;
}

const host::FormLayout& frmConfig::layout() const {
  static const host::FormLayout layout = makeLayout();
  return layout;
}

void frmConfig::dispatch(std::string_view handler) {
  dispatchHandler<frmConfig>(*this, kHandlers, handler);
}

void frmConfig::Form_Load() {
  Trap trap("Form_Load", kConfigModule);
  auto failure = trap.run([&] {
    trap.line(1);
    form().listBox("List2").clear();
    trap.line(2);
    LoadListWithLayers(form().listBox("List1"));
  });
  if (failure) trap.report(*failure);
}

void frmConfig::List1_Click() {
  Trap trap("List1_Click", kConfigModule);
  auto failure = trap.run([&] {
    trap.line(1);
    const std::string layerName = form().listBox("List1").text();
    trap.line(2);
    auto layer = GetLayerByName(layerName);
    trap.line(3);
    LoadListWithFields(form().listBox("List2"), layer);
  });
  if (failure) trap.report(*failure);
}

void frmConfig::Command1_Click() {
  Trap trap("Command1_Click", kConfigModule);
  auto failure = trap.run([&] {
    trap.line(1);
    host::IListBox& layers = form().listBox("List1");
    host::IListBox& fields = form().listBox("List2");
    const bool layerChosen = anySelected(layers);
    const bool fieldChosen = anySelected(fields);
    trap.line(2);
    if (!layerChosen) {
      host::forms().messageBox("Please choose a layer");
      return;
    }
    trap.line(3);
    if (!fieldChosen) {
      host::forms().messageBox("Please choose a field");
      return;
    }
    trap.line(4);
    // Writes the file and then stores both names in the shared state.
    ConfigFile::WriteConfiguration(layers.text(), fields.text());
    trap.line(6);
    host::forms().hide(hWnd());
    Unload();
    trap.line(7);
    ProductState& s = state();
    if (s.SearchWindow) s.SearchWindow->Unload();
    s.SearchWindow = nullptr;
    s.SearchWindow = frmMain::create();
    trap.line(8);
    need(s.SearchWindow->Frame()).setVisible(true);
  });
  if (failure) trap.report(*failure);
}

void frmConfig::Command2_Click() {
  Trap trap("Command2_Click", kConfigModule);
  auto failure = trap.run([&] {
    trap.line(1);
    Unload();
    trap.line(2);
    need(need(state().SearchWindow).Frame()).setVisible(true);
  });
  if (failure) trap.report(*failure);
}

}  // namespace corvale
