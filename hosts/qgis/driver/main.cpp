// corvale-streetsearch: the street search command in QGIS without a screen.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <qgsapplication.h>
#include <qgsconfig.h>

#include "hosts/qgis/driver/Driver.h"
#include "hosts/qgis/driver/DriverOptions.h"
#include "hosts/qgis/driver/Transcript.h"
#include "hosts/qgis/common/QgisPrefix.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string error;
  auto options = corvale::driver::parseOptions(arguments, error);
  if (!options) {
    std::fprintf(stderr, "corvale-streetsearch: %s\n\n%s", error.c_str(),
                 corvale::driver::usage().c_str());
    return 1;
  }
  if (options->help) {
    std::fputs(corvale::driver::usage().c_str(), stdout);
    return 0;
  }

  // Without a screen unless one is asked for; the windows' sizes follow 96 dots per inch.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_FONT_DPI", "96", 0);
  QgsApplication app(argc, argv, true);
  // Data providers other than OGR (postgres among them) are plugins under
  // QGIS's install prefix, which QGIS would otherwise look for beside this
  // program; QGIS_PREFIX_PATH, where set, still decides.
  if (qEnvironmentVariableIsEmpty("QGIS_PREFIX_PATH")) {
    QgsApplication::setPrefixPath(corvale::qgis::qgisInstallPrefix(), true);
  }
  QgsApplication::initQgis();
  int status = 0;
  {
    corvale::driver::Transcript transcript;
    corvale::driver::Driver driver(std::move(*options), transcript);
    status = driver.open() ? driver.run() : 2;
  }
  QgsApplication::exitQgis();
  return status;
}
