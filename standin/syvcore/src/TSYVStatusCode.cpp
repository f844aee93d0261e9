#include "host/TSYVStatusCode.h"

namespace NORNSYV20 {

TSYVStatusCode::TSYVStatusCode(std::uint32_t code) : code_(code) {}

std::uint32_t TSYVStatusCode::GetCode() const { return code_; }

std::string TSYVStatusCode::TranslateStatusCode() const {
    switch (code_) {
    case kSuccess: return "The operation completed successfully";
    case kFailed: return "The operation failed";
    case kClassNotServed: return "The requested class is not served by this provider";
    case kWrongValueType: return "The value does not hold the requested type";
    case kAlreadyCommitted: return "The instance has already been committed";
    case kAssertionFailed: return "A host assertion failed";
    case kProgramNotStarted: return "The program could not be started";
    case kProgramCrashed: return "The program terminated abnormally";
    case kProgramTimedOut: return "The program did not finish within its timeout";
    case kProgramOutputTooLarge: return "The program's output exceeded the size limit";
    case kUnknownClass: return "The class is not defined in the namespace";
    case kUnknownProperty: return "The property is not defined in the class";
    case kRegistrationFailed: return "The plug-in could not be registered";
    case kNoQueryRunning: return "No query is running";
    case kSchemaError: return "The class schema could not be read";
    default: return "Unknown status code " + std::to_string(code_);
    }
}

}  // namespace NORNSYV20
