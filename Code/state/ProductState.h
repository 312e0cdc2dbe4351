#pragma once

#include <memory>
#include <string>

#include "host/Application.h"

namespace corvale {

class frmMain;
class frmConfig;
class frmResources;

/**
 * The values the command, the windows, the map routines and the error report
 * share: one set per thread, read and written directly. Texts start empty,
 * references nothing, flags false.
 */
struct ProductState {
  // Module CorvaleGIS_Public, in declaration order.
  std::string CompanyName;
  std::string ProductName;
  std::string ProductVersion;
  /// The host's running application reference, created at the first click.
  ObjectRef HostAppReference;
  /// The running host application, replaced at every click.
  std::shared_ptr<host::IApplication> HostApplication;
  /// The document open at the latest click.
  std::shared_ptr<host::IDocument> HostDocument;
  /// The current street search window.
  std::shared_ptr<frmMain> SearchWindow;
  /// The drive letter on which the Program Files folder was found.
  std::string ProgramFilesDrive;
  /// The product folder, ending in a backslash.
  std::string ProductFolder;
  /// ProductFolder followed by "config".
  std::string ConfigFilePath;
  /// Some click found the configuration file to hold exactly two fields.
  bool IsConfigured = false;

  // Module public: the configured names.
  std::string StreetLayerName;
  std::string StreetFieldName;

  // The shared window instances, created when first referred to.
  std::shared_ptr<frmConfig> ConfigWindow;
  std::shared_ptr<frmResources> ResourceWindow;
};

/// The product state of the calling thread.
ProductState& state();

/// Puts the calling thread's product state back to its initial values.
void resetState();

}  // namespace corvale
