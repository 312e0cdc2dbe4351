#include "windows/frmHelp.h"

#include "errors/ErrorHandling.h"
#include "host/Services.h"
#include "state/Maker.h"
#include "state/ProductState.h"

namespace corvale {

namespace {

/// The event handlers, each once: the layout's list and the dispatch come from here.
constexpr Handler<frmHelp> kHandlers[] = {
    {"Label2_Click", &frmHelp::Label2_Click},
    {"Label3_Click", &frmHelp::Label3_Click},
    {"Label4_Click", &frmHelp::Label4_Click},
    {"Label6_Click", &frmHelp::Label6_Click},
};

constexpr host::Rgb kWhite{255, 255, 255};
constexpr host::Rgb kBlack{0, 0, 0};
constexpr host::Rgb kLinkBlue{0, 0, 192};
constexpr host::Rgb kDarkRed{128, 0, 0};
const host::Font kLinkFont{"MS Sans Serif", 9.75, false, true};

host::ControlLayout link(std::string name, std::string caption, std::string tooltip,
                       std::string container, int32_t left, int32_t top, int32_t width,
                       int32_t height) {
  host::ControlLayout layout =
      host::ControlLayout::make(host::ControlKind::Label, std::move(name), std::move(caption),
                              std::move(tooltip), std::move(container), left, top, width, height);
  layout.font = kLinkFont;
  layout.foreColor = kLinkBlue;
  layout.handPointer = true;
  return layout;
}

host::FormLayout makeLayout() {
  using host::ControlKind;
  host::FormLayout layout;
  layout.name = kHelpModule;
  layout.caption = "CorvaleStreetSearch - Help";
  layout.clientWidth = 9645;
  layout.clientHeight = 7740;
  layout.backColor = kWhite;
  layout.backgroundPicture = "helpbackground";

  host::ControlLayout strip =
      host::ControlLayout::make(ControlKind::Frame, "Frame1", "", "", "", 1980, 720, 4995, 315);
  strip.backColor = kWhite;
  strip.borderless = true;

  host::ControlLayout site =
      link("Label2", maker::kWebSiteHost, "Visit us!", "Frame1", 0, 0, 2295, 255);
  site.backColor = kWhite;
  host::ControlLayout mail =
      link("Label3", maker::kInfoEmail, "Email us!", "Frame1", 2280, 0, 2595, 255);
  mail.backColor = kWhite;

  host::ControlLayout updates =
      link("Label4", "Check for Updates", "Get the latest version", "", 7440, 420, 2055, 255);
  updates.alignment = host::Alignment::Right;
  updates.transparent = true;

  host::ControlLayout forum =
      link("Label6", "Product Forum", "Visit the CorvaleGIS Forum discussion for this tool", "",
           7860, 720, 1635, 255);
  forum.alignment = host::Alignment::Right;
  forum.transparent = true;

  host::ControlLayout version =
      host::ControlLayout::make(ControlKind::Label, "txtVersion", "", "", "", 8780, 1080, 675, 255);
  version.foreColor = kBlack;
  version.alignment = host::Alignment::Right;
  version.transparent = true;

  host::ControlLayout note = host::ControlLayout::make(
      ControlKind::Label, "Label5",
      "This tool can be customized - Just let us know what you would like it to do!", "", "", 3240,
      1200, 3315, 435);
  note.font = host::Font{"MS Sans Serif", 8.25, true, false};
  note.foreColor = kDarkRed;
  note.backColor = kWhite;
  note.alignment = host::Alignment::Center;

  layout.controls = {strip, site, mail, updates, forum, version, note};
  layout.handlers = handlerNames<frmHelp>(kHandlers);
  return layout;
}

}  // namespace

std::shared_ptr<frmHelp> frmHelp::create() {
  return std::shared_ptr<frmHelp>(new frmHelp());
}

const host::FormLayout& frmHelp::layout() const {
  static const host::FormLayout layout = makeLayout();
  return layout;
}

void frmHelp::dispatch(std::string_view handler) {
  dispatchHandler<frmHelp>(*this, kHandlers, handler);
}

std::shared_ptr<host::IFrameWindow> frmHelp::Frame() {
  return frameWindow(state().ProductName + " - Help", FrameFailures::Raise);
}

void frmHelp::Form_Load() {
  Trap trap("Form_Load", kHelpModule);
  auto failure = trap.run([&] {
    trap.line(1);
    form().setText("txtVersion", state().ProductVersion);
  });
  if (failure) trap.report(*failure);
}

std::string frmHelp::webSiteAddress() {
  return maker::kWebSite;
}
std::string frmHelp::mailAddress() {
  return std::string("mailto:") + maker::kInfoEmail;
}
std::string frmHelp::updateAddress() {
  return std::string(maker::kWebSite) + "/Products/ArcGIS/" + state().ProductName + "/index.htm";
}
std::string frmHelp::forumAddress() {
  return std::string(maker::kForumSite) + "/forum/b-" + maker::kBoardName + "/";
}

void frmHelp::Label2_Click() {
  host::forms().shellOpen(hWnd(), webSiteAddress());
}
void frmHelp::Label3_Click() {
  host::forms().shellOpen(hWnd(), mailAddress());
}
void frmHelp::Label4_Click() {
  host::forms().shellOpen(hWnd(), updateAddress());
}
void frmHelp::Label6_Click() {
  host::forms().shellOpen(hWnd(), forumAddress());
}

}  // namespace corvale
