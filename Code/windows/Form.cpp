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
  if (isLoaded()) {
    auto loaded = std::move(form_);
    host::forms().unload(loaded);
  }
  // The frame goes too, even when the host destroyed the window along with a
  // closed frame: the frame holds this window, so keeping it would keep both.
  releaseFrameWindow();
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

std::shared_ptr<host::IFrameWindow> Form::frameWindow(const std::string& caption,
                                                      FrameFailures failures) {
  if (frame_) return frame_;
  if (failures == FrameFailures::Raise) {
    frame_ = host::hostClasses().createFrameWindow();
    need(frame_).attach(shared_from_this());
    frame_->setCaption(caption);
    return frame_;
  }
  Trap trap("Frame", layout().name);
  auto failure = trap.run([&] {
    trap.line(1);
    frame_ = host::hostClasses().createFrameWindow();
  });
  if (failure) {
    frame_.reset();
    trap.report(*failure);
    return nullptr;
  }
  if (Trap::run([&] { need(frame_).attach(shared_from_this()); })) {
    auto unusable = std::move(frame_);
    (void)Trap::run([&] { unusable->setVisible(false); });
    return nullptr;
  }
  (void)Trap::run([&] { frame_->setCaption(caption); });
  return frame_;
}

void Form::releaseFrameWindow() noexcept {
  if (auto frame = std::move(frame_)) {
    (void)Trap::run([&] { frame->setVisible(false); });
  }
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
