#pragma once
/**
 * QGIS's install prefix (e.g. /usr), where its data providers and plugins
 * live: a program that starts QGIS outside QGIS's own folder sets it with
 * `QgsApplication::setPrefixPath(qgisInstallPrefix(), true)`.
 *
 * QGIS 3.22's configuration names the prefix (`CMAKE_INSTALL_PREFIX` in
 * qgsconfig.h); 3.40 and later name none, and the prefix is the folder above
 * the lib/ that holds the QGIS core library the program runs with.
 */

#include <dlfcn.h>

#include <QString>

#include <qgsapplication.h>
#include <qgsconfig.h>

namespace corvale::qgis {

inline QString qgisInstallPrefix() {
#ifdef CMAKE_INSTALL_PREFIX
  return QStringLiteral(CMAKE_INSTALL_PREFIX);
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&QgsApplication::initQgis), &info) && info.dli_fname) {
    const QString library = QString::fromLocal8Bit(info.dli_fname);
    const auto lib = library.indexOf(QLatin1String("/lib/"));
    if (lib > 0) return library.left(lib);
  }
  return QStringLiteral("/usr");
#endif
}

}  // namespace corvale::qgis
