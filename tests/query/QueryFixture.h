// Queries against the plug-in object with syvcore as the host: the plug-in
// runs the simulated tools, and the tests read what the host received.
#ifndef VELKOR_TESTS_QUERY_QUERYFIXTURE_H
#define VELKOR_TESTS_QUERY_QUERYFIXTURE_H

#include "Reports.h"
#include "TestEnvironment.h"
#include "discovery/AdapterRecord.h"
#include "host/Host.h"
#include "plugin/TQLogicControllerPluginCallbacks.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace velkor {
namespace testing {

// The provider the host sees: it hands every query to the plug-in object,
// except for classes that a test answers itself (standing in for instances
// that the plug-in cannot produce, such as an element without a name).
class Router : public NORNSYV20::IPluginCallbacks, public NORNSYV20::IPluginBasicQueryCallbacks {
public:
    typedef std::function<void(const boost::shared_ptr<NORNSYV20::ICIMClass>&)> Answer;

    explicit Router(TQLogicControllerPluginCallbacks& target) : target_(target) {}

    void AnswerFor(const std::string& className, const Answer& answer) { answers_[className] = answer; }

    std::uint32_t GetPluginFlags() override { return 0; }
    std::string GetPluginName() override { return "router"; }
    std::string GetPluginVersion() override { return "0"; }
    std::string GetPluginRevision() override { return "0"; }
    void Release() override {}
    void OnNotify(std::uint32_t) override {}
    void Shutdown() override { target_.Shutdown(); }
    void QueryInstances(boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                        const std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>>& classes) override;

private:
    TQLogicControllerPluginCallbacks& target_;
    std::map<std::string, Answer> answers_;
};

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // What the simulated tools print in the following queries.
    void UseFibreChannelOutput(const std::string& text);
    void UseIScsiOutput(const std::string& text);

    syv::QueryReport Query(const std::vector<std::string>& classNames) const;

    // Fills an inventory by hand, so that discovery does not run.
    static void SetFibreChannelInventory(const std::vector<AdapterRecord>& adapters,
                                         const std::vector<ElementName>& names);
    static void SetIScsiInventory(const std::vector<AdapterRecord>& adapters, const std::vector<ElementName>& names);

    TQLogicControllerPluginCallbacks* plugin_ = nullptr;
    Router* router_ = nullptr;
    testsupport::ScopedEnvironment environment_;
};

// Tool output of n adapters; adapter i (from 0) has model "MODEL-i" and
// versions that name the adapter too.
std::string FibreChannelOutput(int adapters);
std::string IScsiOutput(int adapters);

using testsupport::Describe;
using testsupport::OfClass;
using testsupport::PropertyOf;

AdapterRecord Record(const std::map<int, std::string>& fields);

}  // namespace testing
}  // namespace velkor

#endif
