#include "windows/frmMain.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "errors/ErrorHandling.h"
#include "files/ConfigFile.h"
#include "host/Services.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "runtime/FileChannel.h"
#include "runtime/Text.h"
#include "state/Maker.h"
#include "state/ProductState.h"
#include "windows/frmConfig.h"
#include "windows/frmHelp.h"

namespace corvale {

namespace {

/// The event handlers, each once: the layout's list and the dispatch come from here.
constexpr Handler<frmMain> kHandlers[] = {
    {"Command4_Click", &frmMain::Command4_Click}, {"List1_Click", &frmMain::List1_Click},
    {"Command1_Click", &frmMain::Command1_Click}, {"btnHelp2_Click", &frmMain::btnHelp2_Click},
    {"Image2_Click", &frmMain::Image2_Click},
};

constexpr host::Rgb kWindowColour{171, 181, 193};
constexpr host::Rgb kDarkRed{128, 0, 0};
constexpr host::Rgb kWhite{255, 255, 255};
constexpr host::Rgb kSearchBoxColour{224, 224, 224};
constexpr host::Rgb kBlue{0, 0, 255};
const host::Font kBoldFont{"MS Sans Serif", 8.25, true, false};
const host::Font kHelpButtonFont{"MS Sans Serif", 9.75, false, false};

constexpr double kZoomMargin = 0.2;
constexpr const char* kSearchTip = "Enter text and click Go to search the list";

host::FormLayout makeLayout() {
  using host::ControlKind;
  host::FormLayout layout;
  layout.name = kMainModule;
  layout.caption = "CorvaleStreetSearch";
  layout.clientWidth = 4965;
  layout.clientHeight = 4620;
  layout.backColor = kWindowColour;

  host::ControlLayout frame = host::ControlLayout::make(ControlKind::Frame, "Frame1",
                                                    "Street search:", "", "", 120, 120, 4695, 3495);
  frame.backColor = kWindowColour;
  frame.foreColor = kDarkRed;
  frame.font = kBoldFont;

  host::ControlLayout searchLabel = host::ControlLayout::make(
      ControlKind::Label, "Label11", " Search:", "", "Frame1", 120, 300, 1170, 255);
  searchLabel.foreColor = kWhite;
  searchLabel.transparent = true;

  host::ControlLayout searchBox = host::ControlLayout::make(ControlKind::TextBox, "Text1", "",
                                                        kSearchTip, "Frame1", 180, 540, 3510, 360);
  searchBox.backColor = kSearchBoxColour;
  searchBox.tabIndex = 0;

  host::ControlLayout go = host::ControlLayout::make(ControlKind::Button, "Command4", "Go", kSearchTip,
                                                 "Frame1", 3720, 550, 615, 345);
  go.tabIndex = 1;
  go.handPointer = true;
  go.picture = "go";

  host::ControlLayout nameLabel = host::ControlLayout::make(
      ControlKind::Label, "Label1", " Street Name:", "", "Frame1", 120, 1020, 1170, 255);
  nameLabel.foreColor = kWhite;
  nameLabel.transparent = true;

  host::ControlLayout list =
      host::ControlLayout::make(ControlKind::ListBox, "List1", "", "Click to zoom to a street",
                              "Frame1", 180, 1260, 4350, 2010);
  list.foreColor = kBlue;
  list.font = kBoldFont;
  list.sorted = true;
  list.tabIndex = 2;
  list.handPointer = true;

  host::ControlLayout logo =
      host::ControlLayout::make(ControlKind::Picture, "Image2", "CorvaleGIS",
                              std::string("For more information, please visit ") +
                                  maker::kWebSiteHost + " or email " + maker::kInfoEmail,
                              "", 120, 3780, 1800, 750);
  logo.picture = "logo";
  logo.transparent = true;

  host::ControlLayout help = host::ControlLayout::make(ControlKind::Button, "btnHelp2", "?", "Help", "",
                                                   4390, 3780, 435, 330);
  help.font = kHelpButtonFont;
  help.tabIndex = 3;
  help.handPointer = true;
  help.picture = "help";

  host::ControlLayout configure = host::ControlLayout::make(ControlKind::Button, "Command1",
                                                        "Configure", "", "", 3760, 4200, 1080, 315);
  configure.tabIndex = 4;
  configure.handPointer = true;
  configure.picture = "configure";

  layout.controls = {frame, searchLabel, searchBox, go, nameLabel, list, logo, help, configure};
  layout.handlers = handlerNames<frmMain>(kHandlers);
  return layout;
}

int32_t nearestEven(double value) {
  if (!std::isfinite(value) || value >= 2147483647.5 || value < -2147483648.5) {
    raise(err::kOverflow);
  }
  // Halves go to the even neighbour, as the classic conversion rounds them.
  const double rounded =
      value - std::floor(value) == 0.5
          ? (std::fmod(std::floor(value), 2.0) == 0 ? std::floor(value) : std::ceil(value))
          : std::round(value);
  return static_cast<int32_t>(rounded);
}

}  // namespace

CentredPosition centreOnScreen(const host::ScreenMetrics& screen, int32_t widthTwips,
                               int32_t heightTwips) {
  const double t = screen.twipsPerPixelX;
  const double left = screen.widthTwips / t / 2 - widthTwips / t / 2;
  const double top = screen.heightTwips / t / 2 - heightTwips / t / 2;
  return {nearestEven(left), nearestEven(top)};
}

std::shared_ptr<frmMain> frmMain::create() {
  return std::shared_ptr<frmMain>(new frmMain());
}

const host::FormLayout& frmMain::layout() const {
  static const host::FormLayout layout = makeLayout();
  return layout;
}

void frmMain::dispatch(std::string_view handler) {
  dispatchHandler<frmMain>(*this, kHandlers, handler);
}

std::shared_ptr<host::IFrameWindow> frmMain::Frame() {
  // A frame that could not take the window in is let go, so that the next
  // request tries anew instead of showing an empty frame for good.
  return frameWindow(state().ProductName, FrameFailures::Report);
}

void frmMain::Form_Load() {
  Trap trap("Form_Load", kMainModule);
  std::optional<BusyPointer> busy;
  auto failure = trap.run([&] {
    trap.line(1);
    auto frame = need(state().SearchWindow).Frame();
    auto position = query<host::IWindowPosition>(frame);
    trap.line(2);
    const CentredPosition centre =
        centreOnScreen(host::forms().screen(), form().widthTwips(), form().heightTwips());
    position->move(centre.left, centre.top, 0, 0);
    trap.line(3);
    busy.emplace();
    trap.line(4);
    const int32_t fields = ConfigFile::CountFields();
    trap.line(5);
    if (fields != 2) {
      busy->restore();
      return;
    }
    trap.line(6);
    ConfigFile::ReadConfiguration();
    trap.line(7);
    const ProductState& s = state();
    LoadListWithUniqueFieldValues(s.StreetLayerName, s.StreetFieldName, form().listBox("List1"),
                                  true, nullptr);
    trap.line(8);
    busy->restore();
  });
  if (failure) {
    // Back to the default also when the failure came before the hourglass.
    if (busy)
      busy->restore();
    else
      defaultPointer();
    fileChannel().close();
    trap.report(*failure);
  }
}

void frmMain::Command4_Click() {
  BusyPointer busy;
  const std::string searchText = form().text("Text1");
  if (searchText.empty()) {
    busy.restore();
    host::forms().messageBox("Please enter text to search for");
    return;
  }

  struct SearchFlag {
    bool& flag;
    explicit SearchFlag(bool& f) : flag(f) { flag = true; }
    ~SearchFlag() { flag = false; }
  } searching(searchInProgress_);

  const std::string upper = upperCase(searchText);
  host::IListBox& list = form().listBox("List1");
  const int32_t count = list.count();
  for (int32_t i = 0; i < count; ++i) {
    if (upperStartsWith(list.item(i), upper)) {
      // The list reports this selection as a pick; the flag turns that into nothing.
      list.select(i);
      searchInProgress_ = false;
      busy.restore();
      return;
    }
  }
  searchInProgress_ = false;
  busy.restore();
  host::forms().messageBox("No matching feature found");
}

void frmMain::List1_Click() {
  Trap trap("List1_Click", kMainModule);
  if (searchInProgress_) return;
  std::optional<BusyPointer> busy;
  auto failure = trap.run([&] {
    trap.line(1);
    busy.emplace();
    trap.line(2);
    const ProductState& s = state();
    auto layer = GetLayerByName(s.StreetLayerName);
    trap.line(3);
    const std::string name = form().listBox("List1").text();
    trap.line(4);
    auto feature = GetFeatureByValue(layer, state().StreetFieldName, name);
    trap.line(5);
    ZoomToFeaturePlus(feature, kZoomMargin);
    trap.line(6);
    busy->restore();
  });
  if (failure) {
    if (busy) busy->restore();
    trap.report(*failure);
  }
}

void frmMain::Command1_Click() {
  Trap trap("Command1_Click", kMainModule);
  auto failure = trap.run([&] {
    trap.line(1);
    need(need(state().SearchWindow).Frame()).setVisible(false);
    trap.line(2);
    auto config = frmConfig::instance();
    config->Load();
    trap.line(3);
    host::forms().showModal(config->hWnd());
  });
  if (failure) trap.report(*failure);
}

void frmMain::btnHelp2_Click() {
  auto help = frmHelp::create();
  need(help->Frame()).setVisible(true);
}

void frmMain::Image2_Click() {
  host::forms().shellOpen(hWnd(), maker::kWebSite);
}

}  // namespace corvale
