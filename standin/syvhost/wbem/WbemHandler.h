// Temporary bridge: the old network code hands each request to the CIM
// service, which answers it on the calling thread.
#ifndef SYVHOST_WBEM_WBEMHANDLER_H
#define SYVHOST_WBEM_WBEMHANDLER_H

#include "HttpServer.h"

#include <functional>
#include <string>

namespace syv {
namespace wbem {

struct HttpRequestView {
    std::string method;
    std::string target;
    std::string host;
    std::string cimOperation;
    std::string cimMethod;
    std::string cimObject;
    std::string authorization;
    std::string peer;
    std::string body;
    HeaderList headers;
};

typedef std::function<bool(const std::string& user, const std::string& password)> PasswordCheck;

class WbemHandler {
public:
    WbemHandler(Application& application, PasswordCheck check, LogFunction log)
        : application_(application), check_(std::move(check)), log_(std::move(log)) {}
    void Handle(const HttpRequestView& request, AnswerSink& sink, std::size_t headBytes = 64 * 1024) const;
    static HttpAnswer Refusal(int status, const std::string& cimError);

private:
    Application& application_;
    PasswordCheck check_;
    LogFunction log_;
};

}  // namespace wbem
}  // namespace syv

#endif
