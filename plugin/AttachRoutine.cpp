#include "plugin/AttachRoutine.h"

#include "plugin/TQLogicControllerPluginCallbacks.h"

namespace velkor {

int AttachRoutine(void* /*module*/, unsigned long reason, void* /*reserved*/) noexcept {
    if (reason != kProcessAttach) {
        return 1;
    }
    try {
        // Owned by the host from registration on; a constructor that throws
        // has its memory freed by the new-expression.
        new TQLogicControllerPluginCallbacks();
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // namespace velkor
