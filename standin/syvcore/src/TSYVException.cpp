#include "host/TSYVException.h"

namespace NORNSYV20 {

TSYVException::TSYVException(const TSYVStatusCode& status, const std::string& detail)
    : status_(status), detail_(detail), text_(status.TranslateStatusCode()) {
    if (!detail_.empty()) {
        text_ += ": ";
        text_ += detail_;
    }
}

TSYVException::~TSYVException() = default;

const char* TSYVException::what() const noexcept { return text_.c_str(); }

const TSYVStatusCode& TSYVException::GetStatusCode() const { return status_; }

const std::string& TSYVException::GetDetail() const { return detail_; }

}  // namespace NORNSYV20
