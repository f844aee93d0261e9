#include "discovery/QLogicFibreChannelInventory.h"
#include "discovery/QLogicIScsiInventory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkor {
namespace {

using ::testing::ElementsAre;

template <class Inventory>
class InventoryTest : public ::testing::Test {
protected:
    void SetUp() override { Inventory::Destroy(); }
    void TearDown() override { Inventory::Destroy(); }
};

typedef ::testing::Types<QLogicFibreChannelInventory, QLogicIScsiInventory> Inventories;
TYPED_TEST_SUITE(InventoryTest, Inventories);

// Absent until created, kept in call order (an index may repeat), absent
// again after Destroy (twice is harmless), and empty when created anew.
TYPED_TEST(InventoryTest, LifecycleAndOrder) {
    EXPECT_EQ(TypeParam::Instance(), nullptr);
    TypeParam::Create();
    ASSERT_NE(TypeParam::Instance(), nullptr);
    for (const char* model : {"second", "first"}) {
        AdapterRecord record;
        record.emplace(kModel, model);
        TypeParam::Instance()->AddAdapter(record);
    }
    TypeParam::Instance()->AddElementName(7, "A Firmware");
    TypeParam::Instance()->AddElementName(0, "A BIOS");
    TypeParam::Instance()->AddElementName(7, "A Firmware");

    std::vector<std::string> models;
    for (const AdapterRecord& record : TypeParam::Instance()->GetAdapters()) models.push_back(GetField(record, kModel));
    EXPECT_THAT(models, ElementsAre("second", "first"));
    std::vector<std::string> names;
    for (const ElementName& entry : TypeParam::Instance()->GetElementNames()) {
        names.push_back(std::to_string(entry.GetIndex()) + ":" + entry.GetName());
    }
    EXPECT_THAT(names, ElementsAre("7:A Firmware", "0:A BIOS", "7:A Firmware"));

    TypeParam::Destroy();
    TypeParam::Destroy();
    EXPECT_EQ(TypeParam::Instance(), nullptr);
    TypeParam::Create();
    EXPECT_TRUE(TypeParam::Instance()->GetAdapters().empty());
    EXPECT_TRUE(TypeParam::Instance()->GetElementNames().empty());
}

}  // namespace
}  // namespace velkor
