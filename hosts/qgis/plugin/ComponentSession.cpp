#include "hosts/qgis/plugin/ComponentSession.h"

#include "host/Services.h"
#include "state/ProductState.h"
#include "windows/frmConfig.h"
#include "windows/frmMain.h"

namespace corvale::qgis {

namespace {
QString qs(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

ComponentSession::ComponentSession(const QgisContext& context,
                                   std::shared_ptr<qt::QtToolkit> toolkit,
                                   std::shared_ptr<host::IFileSystem> fileSystem)
    : toolkit_(std::move(toolkit)), host_(std::make_shared<QgisHost>(context)) {
  resetState();
  host::Services& services = host::services();
  services.hostClasses = host_;
  services.fileSystem = std::move(fileSystem);
  services.forms = toolkit_;
  command_ = std::make_shared<CorvaleStreetSearch>();
  command_->OnCreate(host_->createAppReference());
}

ComponentSession::~ComponentSession() {
  // The windows go first, while the toolkit and the host they need are still there.
  for (const char* name : {"frmConfig", "frmMain", "frmHelp", "frmResources"}) {
    for (const auto& form : toolkit_->forms(name)) toolkit_->unload(form);
  }
  command_.reset();
  resetState();
  host::services() = host::Services{};
}

QAction* ComponentSession::createAction(QObject* parent) {
  CorvaleStreetSearch& command = *command_;
  auto* action = new QAction(toolkit_->icon(command.Bitmap()), qs(command.Caption()), parent);
  action->setObjectName(qs(command.Name()));
  action->setToolTip(qs(command.Tooltip()));
  action->setStatusTip(qs(command.Message()));
  action->setEnabled(command.Enabled());
  action->setCheckable(false);
  std::weak_ptr<CorvaleStreetSearch> weak = command_;
  QObject::connect(action, &QAction::triggered, action, [weak] {
    if (auto alive = weak.lock()) alive->OnClick();
  });
  return action;
}

}  // namespace corvale::qgis
