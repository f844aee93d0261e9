// The program's arguments as UTF-8 text, the encoding of every path and
// name that syvhost hands on.
#ifndef SYVHOST_UTF8COMMANDLINE_H
#define SYVHOST_UTF8COMMANDLINE_H

#include <string>
#include <vector>

namespace syv {

// The arguments, the program's name first. On POSIX systems argv as given.
// On Windows argv holds them in the ANSI code page, which turns what it
// cannot show into "?"; they are read from the wide command line instead.
// Throws std::runtime_error when the command line cannot be read.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace syv

#endif
