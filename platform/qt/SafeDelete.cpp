#include "platform/qt/SafeDelete.h"

#include <QPointer>
#include <vector>

namespace corvale::qt {

namespace {

struct Deferred {
  int depth = 0;
  std::vector<QPointer<QObject>> objects;
};

Deferred& deferred() {
  thread_local Deferred pending;
  return pending;
}

}  // namespace

ModalScope::ModalScope() {
  ++deferred().depth;
}

ModalScope::~ModalScope() {
  Deferred& pending = deferred();
  if (--pending.depth > 0) return;
  auto objects = std::move(pending.objects);
  pending.objects.clear();
  for (const auto& object : objects) {
    if (object) object->deleteLater();
  }
}

bool ModalScope::active() {
  return deferred().depth > 0;
}

void deleteWhenSafe(QObject* object) {
  if (!object) return;
  if (ModalScope::active()) {
    deferred().objects.emplace_back(object);
  } else {
    object->deleteLater();
  }
}

}  // namespace corvale::qt
