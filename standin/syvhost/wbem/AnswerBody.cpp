#include "AnswerBody.h"

#include <utility>

namespace syv {
namespace wbem {

namespace {

const std::size_t kPartBytes = 32 * 1024;

// A trailer value: printable ASCII, anything else and '%' as %HH.
std::string HeaderText(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

HttpAnswer XmlAnswer(std::string body) {
    HttpAnswer answer;
    answer.headers = {{"Content-Type", "application/xml; charset=\"utf-8\""}, {"CIMOperation", "MethodResponse"}};
    answer.body = std::move(body);
    return answer;
}

HttpAnswer RefusalAnswer(int status, const std::string& cimError) {
    HttpAnswer answer;
    answer.status = status;
    if (!cimError.empty()) answer.headers.emplace_back("CIMError", cimError);
    return answer;
}

void AnswerBody::Checkpoint() {
    if (!started_) {
        if (text.size() <= headBytes_) return;
        HttpAnswer head = XmlAnswer(std::string());
        head.headers.emplace_back("Trailer", "CIMStatusCode, CIMStatusCodeDescription");
        sink_.Begin(head);
        started_ = true;
    } else if (text.size() < kPartBytes) {
        return;
    }
    sink_.Part(text);
    text.clear();
}

void AnswerBody::Finish() {
    if (!started_) return sink_.Whole(XmlAnswer(std::move(text)));
    sink_.Part(text);
    text.clear();
    sink_.End({});
}

void AnswerBody::Fail(std::uint32_t code, const std::string& description) {
    sink_.Part(text);
    text.clear();
    sink_.End({{"CIMStatusCode", std::to_string(code)}, {"CIMStatusCodeDescription", HeaderText(description)}});
}

}  // namespace wbem
}  // namespace syv
