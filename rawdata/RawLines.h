// Cutting tool output into the lines of a raw-data capture.
#ifndef VELKOR_RAWDATA_RAWLINES_H
#define VELKOR_RAWDATA_RAWLINES_H

#include <string>
#include <vector>

namespace velkor {

// Cuts tool output into lines at every "\r". A line ends at its "\r", and the
// one character after the "\r" (the line feed of a CR LF pair) is skipped,
// whatever it is; text after the last "\r" is not a line. Lines are kept
// exactly as they stand, empty ones included.
std::vector<std::string> CutRawLines(const std::string& output);

}  // namespace velkor

#endif
