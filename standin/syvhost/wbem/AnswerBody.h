// The body of a CIM answer as it is made: held whole until it passes the
// head size, then sent on in parts as it grows, so that a failure early still
// gets an ERROR element and a long answer is never held whole.
#ifndef SYVHOST_WBEM_ANSWERBODY_H
#define SYVHOST_WBEM_ANSWERBODY_H

#include "HttpServer.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace syv {
namespace wbem {

// An answer with a CIM-XML body (or none yet).
HttpAnswer XmlAnswer(std::string body);

// A refusal with an empty body: the status and, when given, the CIMError
// header.
HttpAnswer RefusalAnswer(int status, const std::string& cimError);

// Where an operation's objects go, told after each.
class ObjectOutput {
public:
    virtual ~ObjectOutput() = default;
    virtual void Checkpoint() = 0;
};

class AnswerBody : public ObjectOutput {
public:
    // A body that is never sent in parts: the answer made on the network
    // thread, where a sink's Part could wait.
    static const std::size_t kWhole = std::numeric_limits<std::size_t>::max();

    AnswerBody(AnswerSink& sink, std::size_t headBytes) : sink_(sink), headBytes_(headBytes) {}

    std::string text;  // not yet sent

    bool Started() const { return started_; }

    // A point between objects where the text may be sent on.
    void Checkpoint() override;

    // Sends what is left and ends the answer.
    void Finish();

    // Ends a body already sent in part that failed: what was written,
    // without its end, and the status in the trailer.
    void Fail(std::uint32_t code, const std::string& description);

private:
    AnswerSink& sink_;
    std::size_t headBytes_;
    bool started_ = false;
};

}  // namespace wbem
}  // namespace syv

#endif
