// The stack of running queries. A query started by StandinHost::RunQuery
// reports into its QueryReport; a nested query (a class enumeration asking
// the plug-in) only collects the instances committed in it. Commits go to
// the innermost query; tool runs and log messages to the nearest reporting
// one, so that a host lookup's work counts for the query that caused it.
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
    // report: where a reporting query collects; null for a nested query.
    explicit QueryFrame(QueryReport* report);
    ~QueryFrame();
    QueryFrame(const QueryFrame&) = delete;
    QueryFrame& operator=(const QueryFrame&) = delete;

    QueryReport* Report() const { return report_; }

    // Instances committed in a nested query, in commit order.
    std::vector<boost::shared_ptr<CIMInstance>>& Committed() { return committed_; }

private:
    QueryReport* report_;
    std::vector<boost::shared_ptr<CIMInstance>> committed_;
};

// The innermost running query, or null when none runs.
QueryFrame* InnermostQuery();

// The report of the nearest reporting query, or null when none runs.
QueryReport* RunningReport();

}  // namespace detail
}  // namespace syv

#endif
