#include "plugin/AttachRoutine.h"

#include "plugin/Constants.h"
#include "plugin/TQLogicControllerPluginCallbacks.h"

namespace velkor {

int AttachRoutine(void* /*module*/, unsigned long reason, void* /*reserved*/) noexcept {
    if (reason != kProcessAttach) {
        return 1;
    }
    // The object serves queries with the shared constants, which the library
    // builds before it is attached. Should an attach ever come first, the load
    // fails rather than serve with texts that are not there yet.
    if (kIScsiRomVersionLabel.empty()) {
        return 0;
    }
    try {
        // Owned by the host from registration on; a constructor that throws
        // has its memory freed by the new-expression. The analyzer cannot see
        // the registration keep the pointer.
        // NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
        new TQLogicControllerPluginCallbacks();
        return 1;
        // NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)
    } catch (...) {
        return 0;
    }
}

}  // namespace velkor
