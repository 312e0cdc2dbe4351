#include "host/Services.h"
#include "runtime/PerThread.h"

namespace corvale::host {

Services& services() {
  return perThread<Services>();
}

IHostClasses& hostClasses() { return need(services().hostClasses); }
IFileSystem& fileSystem() { return need(services().fileSystem); }
IFormsToolkit& forms() { return need(services().forms); }

}  // namespace corvale::host
