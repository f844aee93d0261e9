// The stack of running queries. A query started by StandinHost::RunQuery
// reports to its observer; a nested query (a class enumeration asking the
// plug-in) only collects the instances committed in it. Commits go to the
// innermost query; tool runs and log messages to the nearest reporting one,
// so that a host lookup's work counts for the query that caused it.
#ifndef SYVCORE_QUERYFRAME_H
#define SYVCORE_QUERYFRAME_H

#include "syvcore/StandinHost.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace syv {
namespace detail {

class CIMInstance;

// Pushed on construction, popped on destruction (also during unwinding).
class QueryFrame {
public:
    // observer: what a reporting query reports to; null for a nested query.
    explicit QueryFrame(QueryObserver* observer);
    ~QueryFrame();
    QueryFrame(const QueryFrame&) = delete;
    QueryFrame& operator=(const QueryFrame&) = delete;

    QueryObserver* Observer() const { return observer_; }

    // Whether the query's log has said that a value held bytes that are not
    // UTF-8: it says so once.
    bool& NotUtf8Noticed() { return notUtf8Noticed_; }

    // Instances committed in a nested query, in commit order.
    std::vector<boost::shared_ptr<CIMInstance>>& Committed() { return committed_; }

private:
    QueryObserver* observer_;
    bool notUtf8Noticed_ = false;
    std::vector<boost::shared_ptr<CIMInstance>> committed_;
};

// The innermost running query, or null when none runs.
QueryFrame* InnermostQuery();

// The nearest reporting query, or null when none runs.
QueryFrame* ReportingQuery();

}  // namespace detail
}  // namespace syv

#endif
