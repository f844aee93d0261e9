// The exception type of the host framework.
#ifndef NORNSYV20_TSYVEXCEPTION_H
#define NORNSYV20_TSYVEXCEPTION_H

#include "SyvExport.h"
#include "TSYVStatusCode.h"

#include <exception>
#include <string>

namespace NORNSYV20 {

// The host framework's one exception type. what() is the status code's text,
// followed by ": " and the detail when one was given, so that a failure can
// name what failed (a program path, a class, a property) and why.
class SYV_API TSYVException : public std::exception {
public:
    explicit TSYVException(const TSYVStatusCode& status, const std::string& detail = std::string());
    ~TSYVException() override;

    const char* what() const noexcept override;

    const TSYVStatusCode& GetStatusCode() const;
    const std::string& GetDetail() const;

private:
    TSYVStatusCode status_;
    std::string detail_;
    std::string text_;
};

}  // namespace NORNSYV20

#endif
