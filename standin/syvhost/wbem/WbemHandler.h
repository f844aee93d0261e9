// CIM operations over HTTP, without the network: one HTTP request's method,
// target, headers and body in, the HTTP answer out. Every instance comes from
// a query function (syvcore's RunQuery in the server), every class from the
// schema, so the handler is tested and fuzzed without sockets.
#ifndef SYVHOST_WBEM_WBEMHANDLER_H
#define SYVHOST_WBEM_WBEMHANDLER_H

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

typedef std::vector<std::pair<std::string, std::string>> HeaderList;

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

struct HttpAnswer {
    int status = 200;
    HeaderList headers;  // besides Content-Length
    std::string body;
};

// Where an answer goes: either one Whole call, or Begin, any number of Part
// calls and End. Calls come from the thread that handles the request.
class AnswerSink {
public:
    virtual ~AnswerSink() = default;
    virtual void Whole(HttpAnswer answer) = 0;
    // The status and headers of an answer whose body follows in parts.
    virtual void Begin(const HttpAnswer& head) = 0;
    // The next part of the body; may wait while the client has much unsent.
    virtual void Part(std::string_view part) = 0;
    // The body ends; trailer fields tell a failure that came after Begin, and
    // the body is then incomplete.
    virtual void End(const HeaderList& trailer) = 0;
};

// Checks HTTP Basic credentials.
typedef std::function<bool(const std::string& user, const std::string& password)> PasswordCheck;

typedef std::function<void(int level, const std::string& text)> LogFunction;

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
