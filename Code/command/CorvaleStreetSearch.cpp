#include "command/CorvaleStreetSearch.h"

#include "command/frmResources.h"
#include "errors/ErrorHandling.h"
#include "files/ConfigFile.h"
#include "files/CorvaleGIS_IO.h"
#include "host/Services.h"
#include "runtime/FileChannel.h"
#include "state/Maker.h"
#include "state/ProductState.h"
#include "windows/frmConfig.h"
#include "windows/frmMain.h"

namespace corvale {

namespace {

constexpr const char* kCategory = "CorvaleGIS";
constexpr const char* kCaption = "CorvaleStreetSearch";

/// Shows the short message of a failed member; a message box that fails too is passed over.
void tellFailure(const char* message) noexcept {
  (void)Trap::run([&] { host::forms().messageBox(message); });
}

/// Runs a property getter: its result, or the type's empty value after the failure message.
template <class T, class Getter>
T property(const char* failureMessage, Getter getter) noexcept {
  T result{};
  if (Trap::run([&] { result = getter(); })) {
    result = T{};
    tellFailure(failureMessage);
  }
  return result;
}

}  // namespace

CorvaleStreetSearch::~CorvaleStreetSearch() {
  Class_Terminate();
}

void CorvaleStreetSearch::Class_Terminate() noexcept {
  // Nothing is cleared: the shared state and the windows live until the component is unloaded.
  if (Trap::run([] {})) tellFailure("Error: Class_Termniate()");
}

bool CorvaleStreetSearch::Enabled() {
  return property<bool>("Error: ICommand_Enabled()", [] { return true; });
}

bool CorvaleStreetSearch::Checked() {
  return property<bool>("Error: ICommand_Checked", [] { return false; });
}

std::string CorvaleStreetSearch::Name() {
  return property<std::string>("Error: ICommand_Name()",
                               [] { return std::string(kCategory) + "_" + kCaption; });
}

std::string CorvaleStreetSearch::Caption() {
  return property<std::string>("Error: ICommand_Caption()", [] { return std::string(kCaption); });
}

std::string CorvaleStreetSearch::Tooltip() {
  return property<std::string>("Error: ICommand_Tooltip()",
                               [] { return std::string(kCaption) + " - Zoom to a street"; });
}

std::string CorvaleStreetSearch::Message() {
  return property<std::string>("Error: ICommand_Message()",
                               [] { return std::string("CorvaleGIS: ") + maker::kWebSiteHost; });
}

std::string CorvaleStreetSearch::HelpFile() {
  return property<std::string>("Error: ICommand_HelpFile()", [] { return std::string(); });
}

int32_t CorvaleStreetSearch::HelpContextID() {
  return property<int32_t>("Error: ICommand_HelpContextID()", [] { return 0; });
}

int32_t CorvaleStreetSearch::Bitmap() {
  // A failure here is silent; the result is then 0.
  int32_t handle = 0;
  if (Trap::run([&] { handle = frmResources::instance()->pictureHandle(); })) handle = 0;
  return handle;
}

std::string CorvaleStreetSearch::Category() {
  return property<std::string>("Error: ICommand_Category()", [] { return std::string(kCategory); });
}

void CorvaleStreetSearch::OnCreate(const ObjectRef& hook) {
  auto failure = Trap::run([&] {
    HookApplication = query<host::IApplication>(hook);
    ProductState& s = state();
    s.SearchWindow = frmMain::create();
    s.CompanyName = "CorvaleGIS";
    s.ProductName = "CorvaleStreetSearch";
    s.ProductVersion = "v2.15";
    fSetupProductFolder("CorvaleGIS", "CorvaleStreetSearch", "config", "");
  });
  if (failure) tellFailure("Error: ICommand_OnCreate()");
}

void CorvaleStreetSearch::OnClick() {
  auto failure = Trap::run([&] {
    ProductState& s = state();
    if (!s.HostAppReference) s.HostAppReference = host::hostClasses().createAppReference();
    s.HostApplication = query<host::IApplication>(s.HostAppReference);
    s.HostDocument = query<host::IDocument>(s.HostApplication->document());
    const int32_t fields = ConfigFile::CountFields();
    if (fields == 2) s.IsConfigured = true;
    if (s.IsConfigured) {
      need(need(s.SearchWindow).Frame()).setVisible(true);
      return;
    }
    host::forms().messageBox("Tool is not configured.\r\nConfiguration window will now load.");
    auto config = frmConfig::instance();
    config->Load();
    host::forms().showModal(config->hWnd());
  });
  if (failure) {
    fileChannel().close();
    tellFailure("Error: ICommand_OnClick()");
  }
}

}  // namespace corvale
