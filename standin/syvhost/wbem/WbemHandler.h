// CIM operations over HTTP, without the network: one HTTP request's method,
// target, headers and body in, the HTTP answer out. Every instance comes from
// a query function (syvcore's RunQuery in the server), every class from the
// schema, so the handler is tested and fuzzed without sockets.
#ifndef SYVHOST_WBEM_WBEMHANDLER_H
#define SYVHOST_WBEM_WBEMHANDLER_H

#include "syvcore/StandinHost.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace syv {
namespace wbem {

// Runs one query for the classes; never concurrently with another call.
typedef std::function<QueryReport(const std::vector<std::string>& classes)> QueryFunction;

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
    std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Length
    std::string body;
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

    HttpAnswer Handle(const HttpRequestView& request) const;

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
