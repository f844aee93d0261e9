// What differs between the platforms that syvhost, the tests and the
// benchmarks run on, decided here once; PlatformPosix.cpp and
// PlatformWindows.cpp hold the answers, and the build picks one.
#ifndef SYVHOST_PLATFORM_H
#define SYVHOST_PLATFORM_H

#include <string>

namespace syv {

// What a program's file name ends with: ".exe" on Windows, nothing elsewhere.
extern const char* const kExecutableSuffix;

// The file name of the plug-in library, as the build makes it beside syvhost.
extern const char* const kPluginFileName;

// Whether an attach routine that reports failure makes the loader refuse the
// library: a DLL entry point can, a load-time constructor cannot.
extern const bool kFailedAttachFailsLoad;

// Whether syvhost can run as a service (--install-service and its kin).
extern const bool kHasServices;

// A write to a pipe whose reader has gone fails with an error instead of
// ending the process by a signal, so that syvhost can say what failed.
void IgnoreBrokenPipeSignal();

// Standard output passes bytes unchanged (no LF to CR LF translation).
void UseBinaryStandardOutput();

// Whether standard output is open: a report to a closed one cannot be
// written, and its slot would be taken by the next file or pipe opened.
bool StandardOutputIsOpen();

// Sets or removes a variable of this process's environment, which the
// programs it starts inherit.
void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);

}  // namespace syv

#endif
