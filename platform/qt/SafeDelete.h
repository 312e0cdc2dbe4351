#pragma once

#include <QObject>

namespace corvale::qt {

/**
 * Marks a modal event loop of the toolkit (a modal show, a message box) for
 * as long as it lives. Scopes nest.
 */
class ModalScope {
 public:
  ModalScope();
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

  /// Whether a modal event loop of the toolkit runs on this thread.
  static bool active();
};

/**
 * Lets the object go with deleteLater once no ModalScope is active: at once
 * when none is, else when the outermost one ends. An object let go inside a
 * modal loop may still be on the stack below that loop (the button whose
 * click opened it), and Qt's deferred deletion alone would delete it as soon
 * as that nested loop next runs its posted events. An object already deleted
 * meanwhile is passed over.
 */
void deleteWhenSafe(QObject* object);

}  // namespace corvale::qt
