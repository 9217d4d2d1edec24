// Each interface's members in the slots the program binds to.

#include "tests/common/records/records_fixture.h"

#include "tests/support/vtable_check.h"

namespace recordstest {
namespace {

TEST(RecordsSlots, EveryInterfaceKeepsItsSlotOrder) {
    struct Row {
        const winsys::com::InterfaceInfo& info;
        std::vector<std::string> members;
    } rows[] = {
        {_CCollection::info(), {"Count (get)", "Add", "Remove", "Item (get)", "Clear", "NewEnum", "IsInCollection"}},
        {_CParams::info(), {"Count (get)", "Add", "Remove", "Item (get)", "Clear", "NewEnum", "IsInCollection"}},
        {_CParam::info(), {"Name (get)", "Name (let)", "Values (get)", "Reserved", "Values (set)", "Value (get)"}},
        {_CNode::info(), {"Id (get)", "Id (let)", "SubNodes (get)", "params (get)", "Values (get)"}},
        {_CNodes::info(), {"Count (get)", "Add", "Remove", "Item (get)", "Clear", "NewEnum"}},
    };
    for (const Row& r : rows) EXPECT_TRUE(testsupport::slotOrderMatches(r.info, r.members));
}

TEST(RecordsSlots, ItemIsTheDefaultMemberAndNewEnumIsMinusFour) {
    for (const winsys::com::InterfaceInfo* info : {&_CCollection::info(), &_CParams::info(), &_CNodes::info()}) {
        EXPECT_EQ(info->find("Item"), DISPID_VALUE) << info->name();
        EXPECT_EQ(info->find("NewEnum"), DISPID_NEWENUM) << info->name();
    }
}

} // namespace
} // namespace recordstest
