// Export/import of the host core library's symbols. The same headers serve
// syvcore's own build (SYVCORE_BUILD defined) and every module that uses it.
#ifndef NORNSYV20_SYVEXPORT_H
#define NORNSYV20_SYVEXPORT_H

#if defined(_WIN32)
#  if defined(SYVCORE_BUILD)
#    define SYV_API __declspec(dllexport)
#  else
#    define SYV_API __declspec(dllimport)
#  endif
#else
#  define SYV_API __attribute__((visibility("default")))
#endif

#endif
