// The library's way in: the platform's load notifications arrive here.
#ifndef VELKOR_PLUGIN_ATTACHROUTINE_H
#define VELKOR_PLUGIN_ATTACHROUTINE_H

namespace velkor {

enum AttachReason : unsigned long {
    kProcessDetach = 0,
    kProcessAttach = 1,
    kThreadAttach = 2,
    kThreadDetach = 3,
};

// On process attach creates the plug-in object, which registers itself with
// the host. Returns non-zero for success. Never throws: an exception crossing
// the platform loader would end the host process, so a failed construction
// makes the load fail instead.
int AttachRoutine(void* module, unsigned long reason, void* reserved) noexcept;

}  // namespace velkor

#endif
