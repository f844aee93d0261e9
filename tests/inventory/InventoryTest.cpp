#include "discovery/QLogicFibreChannelInventory.h"
#include "discovery/QLogicIScsiInventory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkor {
namespace {

using ::testing::ElementsAre;

AdapterRecord MakeRecord(const std::string& index, const std::string& model) {
    AdapterRecord record;
    record.emplace(kAdapterIndex, index);
    record.emplace(kModel, model);
    return record;
}

std::vector<std::string> Names(const std::vector<ElementName>& entries) {
    std::vector<std::string> names;
    for (const ElementName& entry : entries) {
        names.push_back(std::to_string(entry.GetIndex()) + ":" + entry.GetName());
    }
    return names;
}

// Both inventories share their shape; each test runs on both.
template <class Inventory>
class InventoryTest : public ::testing::Test {
protected:
    void SetUp() override { Inventory::Destroy(); }
    void TearDown() override { Inventory::Destroy(); }
};

typedef ::testing::Types<QLogicFibreChannelInventory, QLogicIScsiInventory> Inventories;
TYPED_TEST_SUITE(InventoryTest, Inventories);

TYPED_TEST(InventoryTest, LifecycleFromAbsentToPresentAndBack) {
    EXPECT_EQ(TypeParam::Instance(), nullptr);
    TypeParam::Destroy();  // absent stays absent
    TypeParam::Destroy();
    EXPECT_EQ(TypeParam::Instance(), nullptr);

    TypeParam::Create();
    ASSERT_NE(TypeParam::Instance(), nullptr);
    TypeParam::Instance()->AddAdapter(MakeRecord("0", "M"));
    TypeParam::Instance()->AddElementName(0, "n");

    TypeParam::Destroy();
    EXPECT_EQ(TypeParam::Instance(), nullptr);

    TypeParam::Create();
    EXPECT_TRUE(TypeParam::Instance()->GetAdapters().empty());
    EXPECT_TRUE(TypeParam::Instance()->GetElementNames().empty());
}

TYPED_TEST(InventoryTest, HandsOutCopiesInAppendOrder) {
    TypeParam::Create();
    TypeParam* inventory = TypeParam::Instance();
    AdapterRecord first = MakeRecord("0", "first");
    inventory->AddAdapter(first);
    inventory->AddAdapter(MakeRecord("1", "second"));
    first[kModel] = "changed after adding";

    std::vector<AdapterRecord> copy = inventory->GetAdapters();
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_EQ(GetField(copy[0], kModel), "first");
    EXPECT_EQ(GetField(copy[1], kModel), "second");

    copy[0][kModel] = "changed in the copy";
    copy.clear();
    EXPECT_EQ(GetField(inventory->GetAdapters()[0], kModel), "first");
    EXPECT_EQ(inventory->GetAdapters().size(), 2u);
}

TYPED_TEST(InventoryTest, KeepsElementNamesInCallOrderWithRepeatedIndexes) {
    TypeParam::Create();
    TypeParam* inventory = TypeParam::Instance();
    inventory->AddElementName(0, "A Firmware");
    inventory->AddElementName(0, "A BIOS");
    inventory->AddElementName(7, "A Firmware");

    std::vector<ElementName> names = inventory->GetElementNames();
    EXPECT_THAT(Names(names), ElementsAre("0:A Firmware", "0:A BIOS", "7:A Firmware"));
    names.pop_back();
    EXPECT_EQ(inventory->GetElementNames().size(), 3u);
}

TEST(FibreChannelInventoryTest, RawOutputIsReplacedAndEmptyAfterRecreation) {
    QLogicFibreChannelInventory::Destroy();
    QLogicFibreChannelInventory::Create();
    EXPECT_EQ(QLogicFibreChannelInventory::Instance()->GetRawOutput(), "");
    QLogicFibreChannelInventory::Instance()->SetRawOutput(std::string("a\0b\r\n", 5));
    QLogicFibreChannelInventory::Instance()->SetRawOutput("second");
    EXPECT_EQ(QLogicFibreChannelInventory::Instance()->GetRawOutput(), "second");

    QLogicFibreChannelInventory::Destroy();
    QLogicFibreChannelInventory::Create();
    EXPECT_EQ(QLogicFibreChannelInventory::Instance()->GetRawOutput(), "");
    QLogicFibreChannelInventory::Destroy();
}

TEST(InventoriesTest, AreIndependentSingletons) {
    QLogicFibreChannelInventory::Destroy();
    QLogicIScsiInventory::Destroy();
    QLogicIScsiInventory::Create();
    EXPECT_EQ(QLogicFibreChannelInventory::Instance(), nullptr);
    QLogicFibreChannelInventory::Create();
    QLogicIScsiInventory::Destroy();
    EXPECT_NE(QLogicFibreChannelInventory::Instance(), nullptr);
    QLogicFibreChannelInventory::Destroy();
}

TEST(GetFieldTest, AbsentFieldsReadAsEmptyText) {
    AdapterRecord iscsi;
    iscsi.emplace(kAdapterIndex, "3");
    iscsi.emplace(kModel, "chip");
    iscsi.emplace(kBiosVersion, "");
    iscsi.emplace(kFirmwareVersion, "4.1");

    const struct {
        int field;
        const char* expected;
    } cases[] = {
        {kAdapterIndex, "3"}, {kModel, "chip"}, {kBiosVersion, ""}, {kFirmwareVersion, "4.1"},
        {kDriverFirmwareVersion, ""}, {-1, ""}, {5, ""}, {1000, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetField(iscsi, c.field), c.expected) << "field " << c.field;
    }
}

}  // namespace
}  // namespace velkor
