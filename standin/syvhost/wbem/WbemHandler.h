// CIM operations over HTTP, without the network: one HTTP request's method,
// target, headers and body in, the HTTP answer out. Every instance comes from
// a query function (syvcore's RunQuery in the server), every class from the
// schema, so the handler is tested and fuzzed without sockets.
#ifndef SYVHOST_WBEM_WBEMHANDLER_H
#define SYVHOST_WBEM_WBEMHANDLER_H

#include "HttpServer.h"
#include "syvcore/StandinHost.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace syv {
namespace wbem {

// Runs one query for the classes, telling the observer what it does as it
// happens; never concurrently with another call.
typedef std::function<void(const std::vector<std::string>& classes, QueryObserver& observer)> QueryFunction;

struct HttpRequestView {
    std::string method;  // "POST"
    std::string target;  // "/cimom"
    std::string host;    // the Host header, named in the object paths of answers
    std::string cimOperation;
    std::string cimMethod;
    std::string cimObject;
    std::string authorization;  // the Authorization header
    std::string peer;           // the client's address, for the log
    std::string body;
};

// What the handler reads of a request the HTTP layer passed.
HttpRequestView ViewOf(const HttpRequest& request);

// Checks HTTP Basic credentials.
typedef std::function<bool(const std::string& user, const std::string& password)> PasswordCheck;

// "Basic BASE64(user:password)" into its parts; false when it is not that.
bool SplitBasic(const std::string& header, std::string& user, std::string& password);

// The namespace served.
extern const char* const kNamespace;

class WbemHandler {
public:
    // With a password check, every request must carry credentials that it
    // accepts; failed attempts are logged at level 2, without the password.
    WbemHandler(std::vector<SchemaClass> classes, QueryFunction query, PasswordCheck check = PasswordCheck(),
                LogFunction log = LogFunction());

    // Answers the request into the sink. A CIM answer is held until it ends
    // or exceeds headBytes, then streamed in parts as the query commits
    // instances.
    void Handle(const HttpRequestView& request, AnswerSink& sink, std::size_t headBytes = 64 * 1024) const;

    // A request refused before it reached the handler (unreadable HTTP, an
    // oversized body): the status and the CIMError header value.
    static HttpAnswer Refusal(int status, const std::string& cimError);

private:
    std::vector<SchemaClass> classes_;
    QueryFunction query_;
    PasswordCheck check_;
    LogFunction log_;
};

}  // namespace wbem
}  // namespace syv

#endif
