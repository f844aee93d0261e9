#include "Utf8CommandLine.h"

namespace syv {

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

}  // namespace syv
