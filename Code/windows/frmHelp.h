#pragma once

#include <memory>

#include "windows/Form.h"

namespace corvale {

inline constexpr const char* kHelpModule = "frmHelp";

/// The help window: the product version and links to the maker's pages, in a frame window of its own.
class frmHelp : public Form {
 public:
  static std::shared_ptr<frmHelp> create();

  /// The frame window holding this window, created, attached and captioned on first use.
  std::shared_ptr<host::IFrameWindow> Frame();

  const host::FormLayout& layout() const override;

  void Form_Load() override;
  void Label2_Click();
  void Label3_Click();
  void Label4_Click();
  void Label6_Click();

  /// The address each link opens.
  static std::string webSiteAddress();
  static std::string mailAddress();
  static std::string updateAddress();
  static std::string forumAddress();

 protected:
  frmHelp() = default;
  void dispatch(std::string_view handler) override;
};

}  // namespace corvale
