// The DLL entry function: the loader's notifications go to the attach routine.
#include "plugin/AttachRoutine.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    return velkor::AttachRoutine(module, reason, reserved) != 0 ? TRUE : FALSE;
}
