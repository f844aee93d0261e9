// One output stream of a program run on Windows.
#ifndef SYVCORE_WINDOWS_OUTPUTPIPE_H
#define SYVCORE_WINDOWS_OUTPUTPIPE_H

#include "Win32Support.h"

#include <string>
#include <vector>

namespace syv {
namespace detail {

// A named pipe whose server end is read here with overlapped I/O, into
// sink, and whose client end is the child's, inherited.
class OutputPipe {
public:
    explicit OutputPipe(std::string& sink);
    OutputPipe(const OutputPipe&) = delete;
    OutputPipe& operator=(const OutputPipe&) = delete;
    ~OutputPipe();

    HANDLE ClientEnd() const { return client_.Get(); }
    void CloseClientEnd() { client_.Close(); }
    HANDLE Event() const { return event_.Get(); }
    bool IsOpen() const { return open_; }

    // Starts the next read; the event signals its end.
    void StartRead();

    // Takes the finished read's bytes and starts the next read. Returns the
    // byte count; the output has ended when IsOpen() turns false.
    DWORD FinishRead();

private:
    std::string& sink_;
    std::vector<char> buffer_;
    Handle server_;
    Handle client_;
    Handle event_;
    OVERLAPPED overlapped_{};
    bool pending_ = false;
    bool open_ = true;
};

}  // namespace detail
}  // namespace syv

#endif
