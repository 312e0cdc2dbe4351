#include "hosts/qgis/driver/DriverOptions.h"

#include <cctype>
#include <map>

namespace corvale::driver {

namespace {
/// Each action and the number of arguments it takes.
const std::map<std::string, int>& actionArity() {
  static const std::map<std::string, int> arity = {
      {"click", 0},       {"choose-layer", 1}, {"choose-field", 1}, {"continue", 0},
      {"cancel", 0},      {"type", 1},         {"go", 0},           {"pick", 1},
      {"configure", 0},   {"help", 0},         {"state", 0},        {"shot", 1},
      {"grab", 2},        {"close-frame", 0},  {"render", 0},
  };
  return arity;
}
}  // namespace

std::string usage() {
  return R"(Usage: corvale-streetsearch [options] action...

Opens a QGIS project or data files in QGIS without a screen, creates the
street search command as the plugin does, performs the actions in order
(message boxes are answered OK) and prints a transcript as JSON Lines.

Options:
  --project FILE       a QGIS project (.qgs, .qgz)
  --layer URI          a layer to add (repeatable): a GDAL/OGR source such as
                       city.gpkg|layername=streets, or a plain file; a PostGIS
                       table as postgres:<QGIS data source>, e.g.
                       postgres:dbname='gis' host=localhost table="public"."streets" (geom)
  --drive C=DIR        the folder behind a drive letter (repeatable); without
                       it C: is the per-user folder CorvaleGIS/drive_c under
                       the XDG data home
  --timing             after each action, print how long it took (microseconds)
  --help               this text

Actions:
  click                press the toolbar button
  choose-layer NAME    pick a layer in the configuration window
  choose-field NAME    pick a field in the configuration window
  continue | cancel    press Continue or Cancel in the configuration window
  type TEXT            type into the search box (replacing its text)
  go                   press Go
  pick NAME            pick a street name in the list (zooms the map)
  configure            press Configure in the search window
  help                 press ? in the search window
  close-frame          close the search window's frame
  state                print the search window's list, selection and text, and
                       the configuration file's path and bytes
  shot FILE.png        render the map canvas to a picture
  grab WINDOW FILE.png picture of a window (frmMain, frmConfig, frmHelp)
  render               wait until the map canvas has drawn what it was told

Exit status: 0 when every action ran; 1 for a bad command line; 2 for a
project or layer that cannot be read; 3 when an action could not be performed.
)";
}

std::optional<DriverOptions> parseOptions(const std::vector<std::string>& arguments,
                                          std::string& error) {
  DriverOptions options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    auto value = [&](const char* option) -> const std::string* {
      if (i + 1 >= arguments.size()) {
        error = std::string(option) + " needs a value";
        return nullptr;
      }
      return &arguments[++i];
    };
    if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (a == "--timing") {
      options.timing = true;
    } else if (a == "--project") {
      const std::string* v = value("--project");
      if (!v) return std::nullopt;
      options.project = *v;
    } else if (a == "--layer") {
      const std::string* v = value("--layer");
      if (!v) return std::nullopt;
      options.layers.push_back(*v);
    } else if (a == "--drive") {
      const std::string* v = value("--drive");
      if (!v) return std::nullopt;
      if (v->size() < 3 || !std::isalpha(static_cast<unsigned char>((*v)[0])) || (*v)[1] != '=') {
        error = "--drive wants LETTER=FOLDER, not " + *v;
        return std::nullopt;
      }
      options.drives.emplace_back(static_cast<char>(std::toupper((*v)[0])), v->substr(2));
    } else if (a.rfind("--", 0) == 0) {
      error = "unknown option " + a;
      return std::nullopt;
    } else {
      auto known = actionArity().find(a);
      if (known == actionArity().end()) {
        error = "unknown action " + a;
        return std::nullopt;
      }
      Action action{a, {}, {}};
      if (known->second >= 1) {
        if (i + 1 >= arguments.size()) {
          error = a + " needs an argument";
          return std::nullopt;
        }
        action.argument = arguments[++i];
      }
      if (known->second >= 2) {
        if (i + 1 >= arguments.size()) {
          error = a + " needs two arguments";
          return std::nullopt;
        }
        action.argument2 = arguments[++i];
      }
      options.actions.push_back(std::move(action));
    }
  }
  if (!options.help && options.project.empty() && options.layers.empty()) {
    error = "give a --project or at least one --layer";
    return std::nullopt;
  }
  return options;
}

}  // namespace corvale::driver
