// Copying the process-wide settings under the library lock.
#include "engine/frame/settings.h"

#include <cstring>

#include "api/library.h"
#include "platform/platform.h"

OperationSettings SettingsNow() {
  OperationSettings copy;
  platform::LockHold hold(LibraryLock());
  static_cast<Settings&>(copy) = gSettings;
  memcpy(copy.Boundary, Boundary, sizeof copy.Boundary);
  return copy;
}
