#pragma once

#include <memory>

#include "windows/Form.h"

namespace corvale {

/// The hidden window that holds the command's toolbar picture in Picture1. It is never shown.
class frmResources : public Form {
 public:
  /// The shared instance, created (not loaded) on first use.
  static std::shared_ptr<frmResources> instance();

  /// The handle of the picture that Picture1 holds; loads the window hidden first.
  int32_t pictureHandle();

  const host::FormLayout& layout() const override;

 protected:
  frmResources() = default;
  void dispatch(std::string_view) override {}
};

}  // namespace corvale
