#include "windows/Form.h"

#include <string>

#include "errors/ErrorHandling.h"
#include "host/Services.h"

namespace corvale {

void Form::Load() {
  if (isLoaded()) return;
  form_ = host::forms().load(layout(), shared_from_this());
  Form_Load();
}

void Form::Unload() {
  if (!isLoaded()) return;
  auto loaded = std::move(form_);
  host::forms().unload(loaded);
}

bool Form::isLoaded() const {
  return form_ && form_->isLoaded();
}

std::shared_ptr<host::IForm> Form::hWnd() {
  Load();
  return form_;
}

host::IForm& Form::form() {
  Load();
  return *form_;
}

void Form::fire(std::string_view handler) noexcept {
  // Nothing a handler does may end this window while the handler runs.
  auto self = weak_from_this().lock();
  if (!self) return;
  const std::string handlerName(handler);
  Trap trap(handlerName, layout().name);
  if (auto failure = trap.run([&] { dispatch(handlerName); })) trap.report(*failure);
}

BusyPointer::BusyPointer() {
  host::forms().setMousePointer(host::MousePointer::Hourglass);
  busy_ = true;
}

BusyPointer::~BusyPointer() {
  restore();
}

void BusyPointer::restore() noexcept {
  if (!busy_) return;
  busy_ = false;
  defaultPointer();
}

void defaultPointer() noexcept {
  (void)Trap::run([] { host::forms().setMousePointer(host::MousePointer::Default); });
}

}  // namespace corvale
