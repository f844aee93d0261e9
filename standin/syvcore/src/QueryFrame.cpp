#include "QueryFrame.h"

#include "CIMInstance.h"

namespace syv {
namespace detail {

namespace {

std::vector<QueryFrame*>& Frames() {
    static std::vector<QueryFrame*> frames;
    return frames;
}

}  // namespace

QueryFrame::QueryFrame(QueryObserver* observer) : observer_(observer) { Frames().push_back(this); }

// Frames end in reverse order of their start, since each one is a local of
// the call that runs the query.
QueryFrame::~QueryFrame() { Frames().pop_back(); }

QueryFrame* InnermostQuery() { return Frames().empty() ? nullptr : Frames().back(); }

QueryFrame* ReportingQuery() {
    const std::vector<QueryFrame*>& frames = Frames();
    for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
        if ((*it)->Observer()) return *it;
    }
    return nullptr;
}

}  // namespace detail
}  // namespace syv
