// What the HTTP layer decides from bytes alone, shared by the connections and
// by AnswerBytes: the limits a request head must meet, the server's own
// refusals, and how an answer is put into an HTTP response.
#ifndef SYVHOST_WBEM_HTTPMESSAGE_H
#define SYVHOST_WBEM_HTTPMESSAGE_H

#include "HttpServer.h"

#include <boost/beast/http.hpp>

#include <optional>
#include <string>

namespace syv {
namespace wbem {

typedef boost::beast::http::request_parser<boost::beast::http::string_body> RequestParser;

// Sets the head limit; the body is limited only once the head passed.
void PrepareParser(RequestParser& parser, const ServerLimits& limits);

// The server's own answer with this status; a 400 names the fault in CIMError.
HttpAnswer Refusal(int status);

// What a request that could not be read gets: 400, 413 or 431.
HttpAnswer RefusalFor(const boost::beast::error_code& error);

// What a whole request head leads to.
struct HeadVerdict {
    std::optional<HttpAnswer> refusal;  // to answer instead of reading the body
    bool closeAfter = false;            // the refusal leaves the body unread: the connection closes
    bool continueFirst = false;         // the client waits for "100 Continue" before the body
    std::string user;                   // the authenticated user
    std::string failure;                // for the log at level 2: the credentials refused
};

// Checks a head's credentials (when authenticate is set), then the body size
// it announces; sets the body limit of the parser.
HeadVerdict CheckHead(RequestParser& parser, const ServerLimits& limits, const Authenticator& authenticate,
                      const std::string& peer);

// The whole request as the application gets it.
HttpRequest RequestOf(RequestParser& parser, std::string peer, std::string user);

// Copies the answer's headers, leaving out those the server sets itself and
// any that could not be sent as they are.
void CopyHeaders(const HeaderList& headers, boost::beast::http::fields& fields);

// The Connection header for a client of this HTTP version: HTTP/1.0 keeps a
// connection only when told, HTTP/1.1 unless told to close.
void SetConnection(boost::beast::http::fields& fields, unsigned version, bool keepAlive);

// A whole answer as a response to a client of this HTTP version.
boost::beast::http::response<boost::beast::http::string_body> ResponseOf(HttpAnswer answer, unsigned version,
                                                                         bool keepAlive);

// The head of an answer whose body follows in parts: chunked to an HTTP/1.1
// client, ended by closing the connection to an HTTP/1.0 one.
boost::beast::http::response<boost::beast::http::empty_body> StreamedHeadOf(const HttpAnswer& head, unsigned version,
                                                                            bool keepAlive);

}  // namespace wbem
}  // namespace syv

#endif
