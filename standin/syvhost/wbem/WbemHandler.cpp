#include "WbemHandler.h"

#include "AnswerBody.h"
#include "XmlText.h"

#include <memory>

namespace syv {
namespace wbem {

namespace {

bool SplitBasic(const std::string& header, std::string& user, std::string& password) {
    if (header.size() < 6 || !NamesEqual(header.substr(0, 6), "Basic ")) return false;
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string decoded;
    unsigned int bits = 0;
    int count = 0;
    for (std::size_t i = 6; i < header.size() && header[i] != '='; ++i) {
        const std::size_t value = alphabet.find(header[i]);
        if (value == std::string::npos) return false;
        bits = (bits << 6) | static_cast<unsigned int>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            decoded += static_cast<char>((bits >> count) & 0xFFu);
        }
    }
    const std::size_t colon = decoded.find(':');
    if (colon == std::string::npos) return false;
    user = decoded.substr(0, colon);
    password = decoded.substr(colon + 1);
    return true;
}

}  // namespace

HttpAnswer WbemHandler::Refusal(int status, const std::string& cimError) { return RefusalAnswer(status, cimError); }

void WbemHandler::Handle(const HttpRequestView& view, AnswerSink& sink, std::size_t) const {
    if (check_) {
        std::string user;
        std::string password;
        const bool given = SplitBasic(view.authorization, user, password);
        if (!given || !check_(user, password)) {
            if (log_) log_(2, given ? "authentication failed for the user \"" + user + "\"" : "a request without credentials");
            HttpAnswer answer = RefusalAnswer(401, "");
            answer.headers.emplace_back("WWW-Authenticate", "Basic realm=\"root/ornsg\"");
            return sink.Whole(std::move(answer));
        }
    }
    HttpRequest request;
    request.method = view.method;
    request.target = view.target;
    request.headers = view.headers;
    request.body = view.body;
    request.peer = view.peer;
    application_.Handle(std::move(request), std::shared_ptr<AnswerSink>(std::shared_ptr<AnswerSink>(), &sink));
}

}  // namespace wbem
}  // namespace syv
