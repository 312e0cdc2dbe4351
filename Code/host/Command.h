#pragma once

#include <cstdint>
#include <string>

#include "runtime/Object.h"

namespace corvale::host {

/**
 * The command interface the host calls, its members in the host's slot order
 * (3 to 14). Every member returns normally: a failure inside is the
 * command's own business.
 */
class ICommand : public virtual Object {
 public:
  virtual bool Enabled() = 0;
  virtual bool Checked() = 0;
  virtual std::string Name() = 0;
  virtual std::string Caption() = 0;
  virtual std::string Tooltip() = 0;
  virtual std::string Message() = 0;
  virtual std::string HelpFile() = 0;
  virtual int32_t HelpContextID() = 0;
  virtual int32_t Bitmap() = 0;
  virtual std::string Category() = 0;
  virtual void OnCreate(const ObjectRef& hook) = 0;
  virtual void OnClick() = 0;
};

}  // namespace corvale::host
