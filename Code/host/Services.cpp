#include "host/Services.h"

namespace corvale::host {

Services& services() {
  thread_local Services instance;
  return instance;
}

IHostClasses& hostClasses() { return need(services().hostClasses); }
IFileSystem& fileSystem() { return need(services().fileSystem); }
IFormsToolkit& forms() { return need(services().forms); }

}  // namespace corvale::host
