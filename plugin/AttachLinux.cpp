// Linux has no library entry function: a load-time constructor and an
// unload-time destructor deliver process attach and detach instead. The
// build links this file after every other object of the library, so its
// constructor comes last in the library's initialisers and runs once all
// static objects are built, as the entry function runs on Windows.
#include "plugin/AttachRoutine.h"

namespace {

__attribute__((constructor)) void OnLibraryLoad() {
    // A failed attach cannot fail dlopen here; the plug-in is then simply
    // not registered, which the host reports.
    velkor::AttachRoutine(nullptr, velkor::kProcessAttach, nullptr);
}

__attribute__((destructor)) void OnLibraryUnload() {
    velkor::AttachRoutine(nullptr, velkor::kProcessDetach, nullptr);
}

}  // namespace
