#include "command/frmResources.h"

#include "state/ProductState.h"

namespace corvale {

std::shared_ptr<frmResources> frmResources::instance() {
  auto& shared = state().ResourceWindow;
  if (!shared) shared = std::shared_ptr<frmResources>(new frmResources());
  return shared;
}

const host::FormLayout& frmResources::layout() const {
  static const host::FormLayout layout = [] {
    host::FormLayout s;
    s.name = "frmResources";
    s.caption = "frmResources";
    s.clientWidth = 1200;
    s.clientHeight = 900;
    host::ControlLayout picture = host::ControlLayout::make(host::ControlKind::Picture, "Picture1", "",
                                                        "", "", 120, 120, 240, 240);
    picture.picture = "toolbar";
    s.controls = {picture};
    return s;
  }();
  return layout;
}

int32_t frmResources::pictureHandle() {
  return form().pictureHandle("Picture1");
}

}  // namespace corvale
