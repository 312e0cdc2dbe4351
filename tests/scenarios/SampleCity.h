#pragma once

#include <memory>

#include "command/CorvaleStreetSearch.h"
#include "support/HostFixture.h"

namespace corvale::testing {

/**
 * The whole product on the in-memory host, over a small city: a "Streets"
 * layer (names with case twins, a multi-feature street, an apostrophe, a
 * leading blank, nulls and an empty name, one point feature), a group
 * "Utilities" holding "Hydrants" and "Mains", and a raster-like other layer.
 * The product state starts as a freshly loaded component's.
 */
class City : public HostWorld {
 public:
  City();
  ~City() override;

  /// Creates the command and calls OnCreate with the host application as the hook.
  void createCommand();
  /// Writes a configuration file that names the layer and the field.
  void configure(const std::string& layer, const std::string& field);

  /// The newest loaded window of that name.
  memory::ScriptedForm& window(const std::string& name) { return toolkit->form(name); }
  /// The entries of a list of a window, in list order.
  std::vector<std::string> entries(const std::string& windowName, const std::string& list);
  /// A modal script that chooses the layer and the field and presses Continue.
  memory::ScriptedToolkit::ModalScript chooseAndContinue(std::string layer, std::string field);

  // The user's actions, each marked in the recorder with a line "> action".
  void click();
  void type(const std::string& text);
  void go();
  void pick(const std::string& name);
  void pressConfigure();
  void pressHelp();
  /// Marks an action in the recorder.
  void act(const std::string& action);

  /**
   * Everything the scenario told the user and the host, as text: the recorded
   * lines, then the search window's list, selection and search text, the
   * configuration file's bytes and the map's extent.
   */
  std::string transcript();
  /// Compares transcript() with the reference tests/scenarios/golden/<name>.txt.
  void expectTranscript(const std::string& name);

  std::shared_ptr<memory::MemoryTable> streets;
  std::shared_ptr<memory::MemoryTable> hydrants;
  std::shared_ptr<memory::MemoryFeatureLayer> streetLayer;
  std::shared_ptr<CorvaleStreetSearch> command;
};

/// The sample city as a GoogleTest fixture.
class SampleCity : public ::testing::Test, public City {};

}  // namespace corvale::testing
