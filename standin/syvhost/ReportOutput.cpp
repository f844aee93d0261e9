#include "ReportOutput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace syv {

ReportOutput::ReportOutput(std::FILE* file) : file_(file), buffer_(new char[kBufferSize]) {}

ReportOutput::ReportOutput(std::string& text) : text_(&text), buffer_(new char[kBufferSize]) {}

void ReportOutput::Write(std::string_view text) {
    while (!text.empty()) {
        if (used_ == kBufferSize) Drain();
        const std::size_t part = std::min(text.size(), kBufferSize - used_);
        std::memcpy(buffer_.get() + used_, text.data(), part);
        used_ += part;
        text.remove_prefix(part);
    }
}

void ReportOutput::WriteNumber(long long number) {
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%lld", number);
    Write(std::string_view(digits, static_cast<std::size_t>(length)));
}

void ReportOutput::Drain() {
    if (text_) {
        text_->append(buffer_.get(), used_);
    } else if (!failed_ && used_ > 0) {
        errno = 0;
        if (std::fwrite(buffer_.get(), 1, used_, file_) != used_) {
            failed_ = true;
            error_ = errno;
        }
    }
    used_ = 0;
}

void ReportOutput::Flush() {
    Drain();
    if (file_ && !failed_) {
        errno = 0;
        if (std::fflush(file_) != 0 || std::ferror(file_)) {
            failed_ = true;
            error_ = errno;
        }
    }
}

std::string ReportOutput::ErrorText() const {
    return error_ != 0 ? std::strerror(error_) : "the write failed";
}

}  // namespace syv
