// Queries against the plug-in object with syvcore as the host: the plug-in
// runs the simulated tools, and the tests read what the host received.
#ifndef VELKOR_TESTS_QUERY_QUERYFIXTURE_H
#define VELKOR_TESTS_QUERY_QUERYFIXTURE_H

#include "FakePlugin.h"
#include "PluginLibrary.h"
#include "Reports.h"
#include "TestEnvironment.h"
#include "discovery/AdapterRecord.h"
#include "discovery/QLogicFibreChannelInventory.h"
#include "discovery/QLogicIScsiInventory.h"
#include "host/Host.h"
#include "plugin/Constants.h"
#include "plugin/TQLogicControllerPluginCallbacks.h"
#include "syvcore/StandinHost.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace velkor {
namespace testing {

using ::testing::ElementsAre;
using testsupport::Describe;
using testsupport::OfClass;
using testsupport::PropertyOf;

// The provider the host sees: it hands every query to the plug-in object,
// except a query of the one class that a test answers itself with handler
// (standing in for instances that the plug-in cannot produce, such as an
// element without a name).
class Router : public testsupport::FakePlugin {
public:
    void QueryInstances(boost::shared_ptr<NORNSYV20::ICIMNamespace> ns,
                        const std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>>& classes) override {
        if (handler && classes.size() == 1 && classes.front()->GetName(NORNSYV20::TCIMValueMap()) == answered) {
            handler(ns, classes.front());
        } else {
            target->QueryInstances(ns, classes);
        }
    }

    TQLogicControllerPluginCallbacks* target = nullptr;
    std::string answered;
};

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        syv::StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
        syv::StandinHost::SetToolsFolder(syv::ProgramFolder());
        syv::StandinHost::SetMaxToolSeconds(60);
        DestroyInventories();
        syv::StandinHost::ClearRegisteredPlugins();
        // The plug-in registers itself; the router takes its place, so that
        // the host's enumerations pass through it.
        router_.target = new TQLogicControllerPluginCallbacks();
        syv::StandinHost::ClearRegisteredPlugins();
        testsupport::Register(&router_);
    }

    void TearDown() override {
        syv::StandinHost::ClearRegisteredPlugins();
        router_.target->Release();
        DestroyInventories();
    }

    static void DestroyInventories() {
        QLogicFibreChannelInventory::Destroy();
        QLogicIScsiInventory::Destroy();
    }

    // What the simulated tool ("scli" or "iscli") prints in the following
    // queries, instead of the default machine (three Fibre Channel ports, two
    // iSCSI ports).
    void UseOutput(const std::string& tool, const std::string& text) {
        const std::string path = std::string(VELKOR_SCRATCH_DIR) + "/query_test_" + tool + ".txt";
        testsupport::WriteFile(path, text);
        environment_.Set(tool == "scli" ? "SCLI_TRANSCRIPT" : "ISCLI_TRANSCRIPT", path);
    }

    static syv::QueryReport Query(const std::vector<std::string>& classNames) {
        return syv::StandinHost::RunQuery(classNames);
    }

    // Fills an inventory by hand, so that discovery does not run.
    template <class Inventory>
    static void SetInventory(const std::vector<AdapterRecord>& adapters, const std::vector<ElementName>& names) {
        Inventory::Create();
        for (const AdapterRecord& record : adapters) Inventory::Instance()->AddAdapter(record);
        for (const ElementName& name : names) Inventory::Instance()->AddElementName(name.GetIndex(), name.GetName());
    }

    static AdapterRecord Record(const std::map<int, std::string>& fields) {
        return AdapterRecord(fields.begin(), fields.end());
    }

    Router router_;
    testsupport::ScopedEnvironment environment_;
};

}  // namespace testing
}  // namespace velkor

#endif
