#include "hosts/qgis/driver/Driver.h"

#include <fstream>
#include <iterator>

#include <sys/resource.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>

#include <QPainter>

#include <qgsdatasourceuri.h>
#include <qgsmaprenderercustompainterjob.h>
#include <qgsproject.h>
#include <qgsrasterlayer.h>
#include <qgsvectorlayer.h>

#include "hosts/qgis/ui/QgisFrameWindow.h"
#include "platform/posix/PosixFileSystem.h"
#include "state/ProductState.h"
#include "windows/frmMain.h"

namespace corvale::driver {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

/// A data source as the transcript may show it: without its password, the way
/// QGIS shows a layer's public source.
std::string publicSource(const QString& source) {
  return QgsDataSourceUri::removePassword(source).toStdString();
}

/// The layer's name: the layer name of a data source that names one, else the file's base name.
QString layerName(const QString& uri) {
  const int at = uri.indexOf(QStringLiteral("layername="));
  if (at >= 0) return uri.mid(at + 10).section('|', 0, 0);
  return QFileInfo(uri.section('|', 0, 0)).completeBaseName();
}

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

Driver::Driver(DriverOptions options, Transcript& transcript)
    : options_(std::move(options)), transcript_(transcript) {}

Driver::~Driver() {
  session_.reset();
  bridge_.reset();
  mainWindow_.reset();
}

void Driver::fail(const std::string& text) {
  transcript_.write({{"event", "error"}, {"text", qs(text)}});
}

bool Driver::open() {
  QgsProject* project = QgsProject::instance();
  if (!options_.project.empty() && !project->read(qs(options_.project))) {
    fail("cannot read the project " + options_.project + ": " + project->error().toStdString());
    return false;
  }
  for (const std::string& uri : options_.layers) {
    const QString source = qs(uri);
    const QString name = layerName(source);
    if (source.startsWith(QStringLiteral("postgres:"))) {
      const QString postgres = source.mid(9);
      auto layer = std::make_unique<QgsVectorLayer>(
          postgres, QgsDataSourceUri(postgres).table(), QStringLiteral("postgres"));
      if (!layer->isValid()) {
        // QgsError::summary() crashes in QGIS 3.22: the messages are joined here.
        QStringList reasons;
        for (const QgsErrorMessage& message : layer->error().messageList()) {
          reasons << message.message();
        }
        fail("cannot read the PostGIS layer " + publicSource(source) +
             (reasons.isEmpty()
                  ? std::string()
                  : ": " + QgsDataSourceUri::removePassword(reasons.join("; ")).toStdString()));
        return false;
      }
      project->addMapLayer(layer.release());
      continue;
    }
    auto vector = std::make_unique<QgsVectorLayer>(source, name, QStringLiteral("ogr"));
    if (vector->isValid()) {
      project->addMapLayer(vector.release());
      continue;
    }
    auto raster = std::make_unique<QgsRasterLayer>(source, name, QStringLiteral("gdal"));
    if (raster->isValid()) {
      project->addMapLayer(raster.release());
      continue;
    }
    fail("cannot read the layer " + publicSource(source));
    return false;
  }

  mainWindow_ = std::make_unique<QMainWindow>();
  mainWindow_->setWindowTitle(QStringLiteral("QGIS"));
  canvas_ = new QgsMapCanvas(mainWindow_.get());
  canvas_->setObjectName(QStringLiteral("theMapCanvas"));
  canvas_->setFixedSize(1024, 768);
  canvas_->setCanvasColor(Qt::white);
  mainWindow_->setCentralWidget(canvas_);
  // QGIS's status bar always holds its own widgets (the coordinate box among
  // them), taller than a progress bar: showing the command's progress there
  // does not make the window grow. An empty status bar would, and every first
  // progress of a session would pay for a new, larger window surface.
  auto* coordinates = new QLineEdit(QStringLiteral("0,0"));
  coordinates->setReadOnly(true);
  mainWindow_->statusBar()->addPermanentWidget(coordinates);
  mainWindow_->statusBar()->show();
  bridge_ = std::make_unique<QgsLayerTreeMapCanvasBridge>(project->layerTreeRoot(), canvas_);
  if (project->crs().isValid()) canvas_->setDestinationCrs(project->crs());
  mainWindow_->show();
  canvas_->zoomToFullExtent();
  canvas_->waitWhileRendering();

  observer_ = std::make_shared<qgis::QgisObserver>();
  observer_->extent = [this](const QgsRectangle& requested, const QgsRectangle& visible) {
    QJsonObject event = Transcript::rectangle(requested);
    event.insert("event", "extent");
    event.insert("canvas", Transcript::rectangle(visible));
    transcript_.write(event);
  };
  observer_->progressShown = [this](const std::string& message, int32_t maximum) {
    transcript_.write(
        {{"event", "progress"}, {"state", "shown"}, {"message", qs(message)}, {"maximum", maximum}});
  };
  observer_->progressHidden = [this](int32_t position) {
    transcript_.write({{"event", "progress"}, {"state", "hidden"}, {"position", position}});
  };

  qgis::QgisContext context;
  context.project = project;
  context.canvas = canvas_;
  context.mainWindow = mainWindow_.get();
  context.statusBar = mainWindow_->statusBar();
  context.observer = observer_;

  auto toolkit = std::make_shared<qt::QtToolkit>(qt::QtToolkit::Mode::Headless);
  qt::QtToolkitObserver seen;
  seen.messageBox = [this](const std::string& text) {
    transcript_.write({{"event", "message"}, {"text", qs(text)}});
  };
  seen.mousePointer = [this](host::MousePointer pointer) {
    transcript_.write({{"event", "pointer"},
                       {"pointer", pointer == host::MousePointer::Hourglass ? "hourglass" : "default"}});
  };
  seen.shellOpen = [this](const std::string& address) {
    transcript_.write({{"event", "shell"}, {"address", qs(address)}});
  };
  seen.window = [this](const std::string& window, qt::WindowEvent what) {
    transcript_.write(
        {{"event", "window"}, {"window", qs(window)}, {"state", qs(qt::toString(what))}});
  };
  toolkit->setObserver(std::move(seen));

  posix::DriveMap drives;
  if (options_.drives.empty()) {
    drives = posix::DriveMap::forUser();
  } else {
    for (const auto& [letter, folder] : options_.drives) drives.map(letter, folder);
  }
  session_ = std::make_unique<qgis::ComponentSession>(
      context, toolkit, std::make_shared<posix::PosixFileSystem>(std::move(drives)));
  return true;
}

int Driver::run() {
  QTimer::singleShot(0, this, &Driver::runNext);
  QCoreApplication::exec();
  return status_;
}

void Driver::runNext() {
  if (finished_) return;
  if (next_ >= options_.actions.size()) {
    finish(0);
    return;
  }
  const Action action = options_.actions[next_++];
  // An action that may open a modal window lets the next one run inside that
  // window's loop, as a user acts on it; any other lets it run only once it is
  // done, even if it waits in an event loop of its own (render).
  const bool mayOpenModal = action.name == "click" || action.name == "configure";
  if (mayOpenModal) QTimer::singleShot(0, this, &Driver::runNext);
  QJsonObject event{{"event", "action"}, {"action", qs(action.name)}};
  if (!action.argument.empty()) event.insert("argument", qs(action.argument));
  if (!action.argument2.empty()) event.insert("argument2", qs(action.argument2));
  transcript_.write(event);
  QElapsedTimer clock;
  clock.start();
  const bool done = perform(action);
  if (options_.timing) {
    transcript_.write({{"event", "timing"},
                       {"action", qs(action.name)},
                       {"us", static_cast<qint64>(clock.nsecsElapsed() / 1000)}});
  }
  if (!done) {
    finish(3);
    return;
  }
  if (!mayOpenModal) QTimer::singleShot(0, this, &Driver::runNext);
}

void Driver::finish(int status) {
  if (finished_) return;
  finished_ = true;
  status_ = status;
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  QJsonObject done{{"event", "done"}, {"status", status}};
  if (options_.timing) done.insert("peakKiB", static_cast<qint64>(usage.ru_maxrss));
  transcript_.write(done);
  QCoreApplication::exit(status);
}

bool Driver::perform(const Action& a) {
  CorvaleStreetSearch& command = session_->command();
  if (a.name == "click") {
    command.OnClick();
    settleList();
    return true;
  }
  if (a.name == "choose-layer") return selectEntry("frmConfig", "List1", a.argument);
  if (a.name == "choose-field") return selectEntry("frmConfig", "List2", a.argument);
  if (a.name == "continue") return press("frmConfig", "Command1");
  if (a.name == "cancel") return press("frmConfig", "Command2");
  if (a.name == "go") return press("frmMain", "Command4");
  if (a.name == "configure") return press("frmMain", "Command1");
  if (a.name == "help") return press("frmMain", "btnHelp2");
  if (a.name == "pick") return selectEntry("frmMain", "List1", a.argument);
  if (a.name == "type") {
    auto form = session_->toolkit().form("frmMain");
    if (!form) {
      fail("no search window is open to type into");
      return false;
    }
    form->setText("Text1", a.argument);
    return true;
  }
  if (a.name == "close-frame") {
    auto window = state().SearchWindow;
    auto frame = window ? std::dynamic_pointer_cast<qgis::QgisFrameWindow>(window->Frame()) : nullptr;
    if (!frame || !frame->toolWindow()) {
      fail("the search window has no frame to close");
      return false;
    }
    frame->toolWindow()->close();
    return true;
  }
  if (a.name == "state") {
    writeState();
    return true;
  }
  if (a.name == "shot") return shot(a.argument);
  if (a.name == "render") {
    canvas_->waitWhileRendering();
    return true;
  }
  if (a.name == "grab") return grab(a.argument, a.argument2);
  fail("unknown action " + a.name);
  return false;
}

void Driver::settleList() {
  // A list is sorted when it is first read, as the window does when it paints:
  // a click is done once its list is filled and sorted.
  if (auto form = session_->toolkit().form("frmMain")) {
    host::IListBox& list = form->listBox("List1");
    if (list.count() > 0) (void)list.item(0);
  }
}

bool Driver::selectEntry(const std::string& window, const std::string& list,
                         const std::string& entry) {
  auto form = session_->toolkit().form(window);
  if (!form) {
    fail("no window " + window + " is open");
    return false;
  }
  host::IListBox& box = form->listBox(list);
  const int32_t count = box.count();
  for (int32_t i = 0; i < count; ++i) {
    if (box.item(i) == entry) {
      box.select(i);
      return true;
    }
  }
  fail("the list " + list + " of " + window + " holds no entry \"" + entry + "\"");
  return false;
}

bool Driver::press(const std::string& window, const std::string& control) {
  auto form = session_->toolkit().form(window);
  auto* button = form ? qobject_cast<QAbstractButton*>(form->control(control)) : nullptr;
  if (!button) {
    fail("no button " + control + " in an open window " + window);
    return false;
  }
  button->click();
  return true;
}

void Driver::writeState() {
  QJsonObject event{{"event", "state"}};
  if (auto form = session_->toolkit().form("frmMain")) {
    host::IListBox& box = form->listBox("List1");
    QJsonArray entries;
    const int32_t count = box.count();
    for (int32_t i = 0; i < count; ++i) entries.append(qs(box.item(i)));
    event.insert("list", entries);
    event.insert("selected", box.selectedIndex());
    event.insert("selectedText", qs(box.text()));
    event.insert("text", qs(form->text("Text1")));
  }
  const std::string path = state().ConfigFilePath;
  event.insert("configPath", qs(path));
  if (!path.empty()) {
    auto fs = std::dynamic_pointer_cast<posix::PosixFileSystem>(host::services().fileSystem);
    if (auto native = fs ? fs->drives().resolve(path) : std::nullopt) {
      event.insert("configFile", qs(native->string()));
      if (std::filesystem::is_regular_file(*native)) {
        event.insert("configBytes", qs(readFile(*native)));
      }
    }
  }
  event.insert("layer", qs(state().StreetLayerName));
  event.insert("field", qs(state().StreetFieldName));
  transcript_.write(event);
}

bool Driver::shot(const std::string& file) {
  // Rendered here and now, without an event loop: the actions after this one must not run
  // before it is done.
  const QgsMapSettings settings = canvas_->mapSettings();
  QImage image(settings.deviceOutputSize(), settings.outputImageFormat());
  image.setDevicePixelRatio(settings.devicePixelRatio());
  image.fill(settings.backgroundColor());
  QPainter painter(&image);
  QgsMapRendererCustomPainterJob job(settings, &painter);
  job.renderSynchronously();
  painter.end();
  if (!image.save(qs(file), "PNG")) {
    fail("cannot write the picture " + file);
    return false;
  }
  transcript_.write({{"event", "shot"}, {"file", qs(file)}});
  return true;
}

bool Driver::grab(const std::string& window, const std::string& file) {
  auto form = session_->toolkit().form(window);
  QWidget* widget = form ? form->widget() : nullptr;
  if (!widget) {
    fail("no window " + window + " is open");
    return false;
  }
  if (!widget->window()->grab().save(qs(file), "PNG")) {
    fail("cannot write the picture " + file);
    return false;
  }
  transcript_.write({{"event", "grab"}, {"window", qs(window)}, {"file", qs(file)}});
  return true;
}

}  // namespace corvale::driver
