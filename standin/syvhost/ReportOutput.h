// Where a report goes: a buffer of fixed size in front of a file (or, for
// tests, a string), with every write checked.
#ifndef SYVHOST_REPORTOUTPUT_H
#define SYVHOST_REPORTOUTPUT_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace syv {

// Writing allocates nothing and never throws for the file: the first failed
// write is remembered, and everything after it is dropped. A report can then
// be written while memory runs out, and a writer is never left half way
// through a structure by an exception of its own.
class ReportOutput {
public:
    explicit ReportOutput(std::FILE* file);
    explicit ReportOutput(std::string& text);
    ReportOutput(const ReportOutput&) = delete;
    ReportOutput& operator=(const ReportOutput&) = delete;

    void Write(std::string_view text);
    void Put(char c) {
        if (used_ == kBufferSize) Drain();
        buffer_[used_++] = c;
    }
    void WriteNumber(long long number);

    // Writes out what is buffered and flushes the file.
    void Flush();

    bool Failed() const { return failed_; }
    // Why the first failed write failed.
    std::string ErrorText() const;

private:
    static const std::size_t kBufferSize = 64 * 1024;

    void Drain();

    std::FILE* file_ = nullptr;
    std::string* text_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
    int error_ = 0;
};

}  // namespace syv

#endif
