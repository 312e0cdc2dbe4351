// corvale_citygen: writes the sample city and large synthetic street layers.
//
//   corvale_citygen city <folder>
//       <folder>/city.gpkg and <folder>/city.qgs (see SampleCity.h, CityProject.h)
//   corvale_citygen streets <file.gpkg> [--features N] [--names K] [--seed S]
//                           [--nulls SHARE] [--layer NAME] [--last-alone 1]
//       one layer of N synthetic streets with K distinct names (see SyntheticStreets.h);
//       --last-alone 1 gives the last name to the last feature alone

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <qgsapplication.h>

#include "CityProject.h"
#include "SampleCity.h"
#include "SyntheticStreets.h"

// Under LeakSanitizer: QGIS, GDAL, PROJ, Qt and the libraries they load keep
// allocations for the process's life; they are theirs, not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libqgis_core\nleak:libqgis_gui\nleak:libgdal\nleak:libproj\nleak:libcrypto\n"
         "leak:libsqlite3\nleak:libspatialite\nleak:libgeos\nleak:libQt5Core\nleak:libQt5Gui\n"
         "leak:libQt5Widgets\nleak:libQt5Network\nleak:libQt5Sql\nleak:libqoffscreen\n"
         "leak:libfontconfig\nleak:libfreetype\nleak:libglib\n";
}

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: corvale_citygen city <folder>\n"
               "       corvale_citygen streets <file.gpkg> [--features N] [--names K] [--seed S]"
               " [--nulls SHARE] [--layer NAME] [--last-alone 1]\n");
  return 2;
}

int city(int argc, char** argv, const std::string& folder) {
  std::filesystem::create_directories(folder);
  const std::string gpkg = (std::filesystem::path(folder) / "city.gpkg").string();
  const std::string qgs = (std::filesystem::path(folder) / "city.qgs").string();
  corvale::tools::writeSampleCity(gpkg);
  // QGIS keeps a "~" copy of a project file it overwrites: start from none.
  std::filesystem::remove(qgs);
  std::filesystem::remove(qgs + "~");
  QgsApplication app(argc, argv, false);
  QgsApplication::initQgis();
  const bool written = corvale::tools::writeCityProject(gpkg, qgs);
  QgsApplication::exitQgis();
  return written ? 0 : 1;
}

int streets(int argc, char** argv) {
  corvale::tools::SyntheticStreetsOptions options;
  const std::string path = argv[2];
  for (int i = 3; i < argc; i += 2) {
    if (i + 1 >= argc) return usage();
    const std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--features")
      options.features = std::stoll(value);
    else if (flag == "--names")
      options.names = std::stoll(value);
    else if (flag == "--seed")
      options.seed = std::stoull(value);
    else if (flag == "--nulls")
      options.nullShare = std::stod(value);
    else if (flag == "--layer")
      options.layerName = value;
    else if (flag == "--last-alone")
      options.lastNameAlone = value == "1" || value == "yes";
    else
      return usage();
  }
  const auto start = std::chrono::steady_clock::now();
  corvale::tools::writeSyntheticStreets(path, options);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::fprintf(stderr, "%s: %lld features, %lld names, %.1f s\n", path.c_str(),
               static_cast<long long>(options.features), static_cast<long long>(options.names),
               took.count());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string mode = argv[1];
  if (mode == "city" && argc == 3) {
    // Qt writes XML attributes in hash order, seeded before main runs: start
    // again with a fixed seed so that the project file is the same every time.
    const char* seed = std::getenv("QT_HASH_SEED");
    if (!seed || std::string(seed) != "0") {
      setenv("QT_HASH_SEED", "0", 1);
      execv("/proc/self/exe", argv);
      std::perror("corvale_citygen: cannot restart itself");
      return 1;
    }
    return city(argc, argv, argv[2]);
  }
  if (mode != "streets") return usage();
  try {
    return streets(argc, argv);
  } catch (const std::exception&) {  // a number that std::stoll and friends cannot read
    return usage();
  }
}
