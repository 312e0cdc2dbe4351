#pragma once

#include <memory>
#include <string>

#include "host/Application.h"
#include "host/Command.h"

namespace corvale {

/**
 * The command the host creates: one toolbar button. Its properties are fixed
 * texts; OnCreate prepares the product state and folder; OnClick shows the
 * street search window, or, while the tool is not configured, the
 * configuration window. Every member returns normally: a failure inside is
 * shown to the user in a short message and goes no further.
 */
class CorvaleStreetSearch : public host::ICommand {
 public:
  CorvaleStreetSearch() = default;
  ~CorvaleStreetSearch() override;

  bool Enabled() override;
  bool Checked() override;
  std::string Name() override;
  std::string Caption() override;
  std::string Tooltip() override;
  std::string Message() override;
  std::string HelpFile() override;
  int32_t HelpContextID() override;
  int32_t Bitmap() override;
  std::string Category() override;
  void OnCreate(const ObjectRef& hook) override;
  void OnClick() override;

  /// The host application handed to OnCreate; read by nothing else.
  const std::shared_ptr<host::IApplication>& hookApplication() const { return HookApplication; }

 private:
  void Class_Terminate() noexcept;

  std::shared_ptr<host::IApplication> HookApplication;
};

}  // namespace corvale
