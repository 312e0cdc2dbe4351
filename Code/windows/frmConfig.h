#pragma once

#include <memory>

#include "windows/Form.h"

namespace corvale {

inline constexpr const char* kConfigModule = "frmConfig";

/**
 * The modal configuration window: the focus map's feature layers, the chosen
 * layer's fields, Continue (store the choice, open a fresh search window) and
 * Cancel (show the search window as it was). There is one shared instance.
 */
class frmConfig : public Form {
 public:
  /// The shared instance, created (not loaded) on first use.
  static std::shared_ptr<frmConfig> instance();

  const host::FormLayout& layout() const override;

  void Form_Load() override;
  void List1_Click();
  void Command1_Click();
  void Command2_Click();

 protected:
  frmConfig() = default;
  void dispatch(std::string_view handler) override;
};

}  // namespace corvale
