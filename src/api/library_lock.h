// The library lock: one critical section for the life of the loaded library.
// kovAttach and kovRelease hold it for their whole run; the process-wide
// settings are changed, and copied for an operation, only while it is held.
#pragma once

#include "platform/platform.h"

platform::Lock& LibraryLock();
