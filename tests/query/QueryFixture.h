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
        UseOutput("scli", FibreChannelOutput(2));
        UseOutput("iscli", IScsiOutput(2));
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
    // queries.
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

    // Tool output of n adapters; adapter i (from 0) has model "MODEL-i" and
    // versions that name the adapter too.
    static std::string FibreChannelOutput(int adapters) {
        std::string text = "Scan of host bus adapters\r\n\r\n";
        for (int i = 0; i < adapters; ++i) {
            const std::string n = std::to_string(i);
            text += "HBA General Information\r\n"
                    "  HBA Model              : MODEL-" + n + "\r\n"
                    "  Driver Version         : 9.1.0\r\n"
                    "  BIOS Version           : 3." + n + "\r\n"
                    "  Flash Firmware Version : 8.0." + n + " (extended)\r\n"
                    "  Driver Firmware Version: 8.1." + n + "\r\n"
                    "Finish in 0.2 seconds\r\n\r\n";
        }
        return text;
    }

    static std::string IScsiOutput(int adapters) {
        std::string text = "Displaying Port inst 0\r\n";
        for (int i = 0; i < adapters; ++i) {
            const std::string n = std::to_string(i);
            text += "Board Type       : iSCSI board\r\n"
                    "Chip Model       : CHIP-" + n + "\r\n"
                    "Firmware Version : 4.0." + n + "\r\n"
                    "ROM Version      : 2." + n + "\r\n"
                    "Driver Version   : 5.0\r\n\r\n";
            // Keep the blocks apart: a block spans at least 512 characters.
            text += std::string(600, '-') + "\r\n";
        }
        return text;
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
