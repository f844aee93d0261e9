// The host framework's status codes and their texts.
#ifndef NORNSYV20_TSYVSTATUSCODE_H
#define NORNSYV20_TSYVSTATUSCODE_H

#include "SyvExport.h"

#include <cstdint>
#include <string>

namespace NORNSYV20 {

// A 32-bit status code of the host framework. Every code syvcore uses has a
// fixed English text:
//   0  "The operation completed successfully"
//   1  "The operation failed"
//   2  "The requested class is not served by this provider"
//   3  "The value does not hold the requested type"
//   4  "The instance has already been committed"
//   5  "A host assertion failed"
//   6  "The program could not be started"
//   7  "The program terminated abnormally"
//   8  "The program did not finish within its timeout"
//   9  "The program's output exceeded the size limit"
//  10  "The class is not defined in the namespace"
//  11  "The property is not defined in the class"
//  12  "The plug-in could not be registered"
//  13  "No query is running"
//  14  "The class schema could not be read"
// Any other code reads "Unknown status code N".
class SYV_API TSYVStatusCode {
public:
    enum : std::uint32_t {
        kSuccess = 0,
        kFailed = 1,
        kClassNotServed = 2,
        kWrongValueType = 3,
        kAlreadyCommitted = 4,
        kAssertionFailed = 5,
        kProgramNotStarted = 6,
        kProgramCrashed = 7,
        kProgramTimedOut = 8,
        kProgramOutputTooLarge = 9,
        kUnknownClass = 10,
        kUnknownProperty = 11,
        kRegistrationFailed = 12,
        kNoQueryRunning = 13,
        kSchemaError = 14,
    };

    explicit TSYVStatusCode(std::uint32_t code = kSuccess);

    std::uint32_t GetCode() const;

    // The fixed text of this code.
    std::string TranslateStatusCode() const;

private:
    std::uint32_t code_;
};

}  // namespace NORNSYV20

#endif
