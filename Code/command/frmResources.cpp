#include "command/frmResources.h"

#include "state/ProductState.h"

namespace corvale {

std::shared_ptr<frmResources> frmResources::instance() {
  auto& shared = state().ResourceWindow;
  if (!shared) shared = std::shared_ptr<frmResources>(new frmResources());
  return shared;
}

const host::FormSpec& frmResources::spec() const {
  static const host::FormSpec spec = [] {
    host::FormSpec s;
    s.name = "frmResources";
    s.caption = "frmResources";
    s.clientWidth = 1200;
    s.clientHeight = 900;
    host::ControlSpec picture = host::ControlSpec::make(host::ControlKind::Picture, "Picture1", "",
                                                        "", "", 120, 120, 240, 240);
    picture.picture = "toolbar";
    s.controls = {picture};
    return s;
  }();
  return spec;
}

int32_t frmResources::pictureHandle() {
  return form().pictureHandle("Picture1");
}

}  // namespace corvale
