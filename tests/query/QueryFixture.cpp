#include "QueryFixture.h"

#include "PluginLibrary.h"
#include "discovery/QLogicFibreChannelInventory.h"
#include "discovery/QLogicIScsiInventory.h"

namespace velkor {
namespace testing {

using namespace NORNSYV20;

void Router::QueryInstances(boost::shared_ptr<ICIMNamespace> ns,
                            const std::vector<boost::shared_ptr<ICIMClass>>& classes) {
    if (classes.size() == 1) {
        const auto answer = answers_.find(classes.front()->GetName(TCIMValueMap()));
        if (answer != answers_.end()) {
            answer->second(classes.front());
            return;
        }
    }
    target_.QueryInstances(ns, classes);
}

void QueryTest::SetUp() {
    syv::StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
    syv::StandinHost::SetToolsFolder(syv::ProgramFolder());
    syv::StandinHost::SetMaxToolSeconds(60);
    QLogicFibreChannelInventory::Destroy();
    QLogicIScsiInventory::Destroy();
    syv::StandinHost::ClearRegisteredPlugins();
    // The plug-in registers itself; the router takes its place, so that the
    // host's enumerations pass through it.
    plugin_ = new TQLogicControllerPluginCallbacks();
    syv::StandinHost::ClearRegisteredPlugins();
    router_ = new Router(*plugin_);
    boost::dynamic_pointer_cast<TPluginManagerNamespace>(TRootObject::GetPluginManager())->RegisterPlugin(router_);
    UseFibreChannelOutput(FibreChannelOutput(2));
    UseIScsiOutput(IScsiOutput(2));
}

void QueryTest::TearDown() {
    syv::StandinHost::ClearRegisteredPlugins();
    delete router_;
    plugin_->Release();
    QLogicFibreChannelInventory::Destroy();
    QLogicIScsiInventory::Destroy();
}

void QueryTest::UseFibreChannelOutput(const std::string& text) {
    const std::string path = std::string(VELKOR_SCRATCH_DIR) + "/query_test_scli.txt";
    testsupport::WriteFile(path, text);
    environment_.Set("SCLI_TRANSCRIPT", path);
}

void QueryTest::UseIScsiOutput(const std::string& text) {
    const std::string path = std::string(VELKOR_SCRATCH_DIR) + "/query_test_iscli.txt";
    testsupport::WriteFile(path, text);
    environment_.Set("ISCLI_TRANSCRIPT", path);
}

syv::QueryReport QueryTest::Query(const std::vector<std::string>& classNames) const {
    return syv::StandinHost::RunQuery(classNames);
}

namespace {

template <class Inventory>
void SetInventory(const std::vector<AdapterRecord>& adapters, const std::vector<ElementName>& names) {
    Inventory::Create();
    for (const AdapterRecord& record : adapters) {
        Inventory::Instance()->AddAdapter(record);
    }
    for (const ElementName& name : names) {
        Inventory::Instance()->AddElementName(name.GetIndex(), name.GetName());
    }
}

}  // namespace

void QueryTest::SetFibreChannelInventory(const std::vector<AdapterRecord>& adapters,
                                         const std::vector<ElementName>& names) {
    SetInventory<QLogicFibreChannelInventory>(adapters, names);
}

void QueryTest::SetIScsiInventory(const std::vector<AdapterRecord>& adapters, const std::vector<ElementName>& names) {
    SetInventory<QLogicIScsiInventory>(adapters, names);
}

std::string FibreChannelOutput(int adapters) {
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

std::string IScsiOutput(int adapters) {
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

AdapterRecord Record(const std::map<int, std::string>& fields) { return AdapterRecord(fields.begin(), fields.end()); }

}  // namespace testing
}  // namespace velkor
