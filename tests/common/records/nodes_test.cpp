// CNodes and CNode through COM: new nodes with GUID ids, lookup by Id
// without regard to case, the old key kept after an Id change, the tree.

#include "tests/common/records/records_fixture.h"

#include "platform/com/late_bound.h"
#include "platform/core/guid.h"
#include "platform/core/text.h"

namespace recordstest {
namespace {

TEST_F(Records, NodesGetNewGuidIdsAndAreFoundByThem) {
    auto list = nodes();
    ComPtr<_CNode> a, b;
    ASSERT_EQ(list->Add(a.put()), S_OK);
    ASSERT_EQ(list->Add(b.put()), S_OK);
    const std::string idA = idOf(a.get()), idB = idOf(b.get());
    EXPECT_NE(idA, idB);
    for (const std::string& id : {idA, idB}) {
        const auto g = winsys::guidFromString(id);
        ASSERT_TRUE(g) << id;
        EXPECT_EQ(winsys::guidToString(*g), id) << "braced, upper case";
    }
    struct Row {
        const char* label;
        VARIANT index;
        _CNode* expected;
    } rows[] = {
        {"first id", makeText(idA), a.get()},
        {"second id in lower case", makeText(winsys::lowerCase(idB)), b.get()},
        {"position 2", makeLong(2), b.get()},
    };
    for (Row& r : rows) {
        ComPtr<_CNode> found;
        ASSERT_EQ(list->get_Item(&r.index, found.put()), S_OK) << r.label;
        EXPECT_EQ(found.get(), r.expected) << r.label;
    }
    EXPECT_NE(idOf(node().get()), idA); // a node made alone has its own id too
}

TEST_F(Records, NodeKeepsItsOldKeyAfterIdChange) {
    auto list = nodes();
    ComPtr<_CNode> n;
    list->Add(n.put());
    const std::string old = idOf(n.get());
    ASSERT_EQ(n->put_Id("renamed"), S_OK);
    EXPECT_EQ(idOf(n.get()), "renamed");
    VARIANT fresh = makeText("renamed"), before = makeText(old);
    ComPtr<_CNode> found;
    expectRaised(raised([&] { return list->get_Item(&fresh, found.put()); }), 5, "Halvenlib.CNodes");
    ASSERT_EQ(list->get_Item(&before, found.put()), S_OK);
    EXPECT_EQ(found, n);
    ASSERT_EQ(list->Remove(&before), S_OK);
    EXPECT_EQ(count(list.get()), 0);
}

TEST_F(Records, NodesErrorsAndForEachOrder) {
    auto list = nodes();
    std::vector<std::string> ids;
    for (int k = 0; k < 3; ++k) {
        ComPtr<_CNode> n;
        list->Add(n.put());
        ids.push_back(idOf(n.get()));
    }
    std::vector<std::string> seen;
    forEach(list.get(), [&](const VARIANT& item) { seen.push_back(text(getProperty(item.pdispVal, "Id"))); });
    EXPECT_EQ(seen, ids);

    struct Row {
        const char* label;
        VARIANT index;
        bool remove;
        LONG number;
    } rows[] = {
        {"Item of an unknown id", makeText("{00000000-0000-0000-0000-000000000000}"), false, 5},
        {"Remove at position 4", makeLong(4), true, 9},
        {"Item at position 0", makeLong(0), false, 9},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.label);
        ComPtr<_CNode> got;
        expectRaised(raised([&] { return r.remove ? list->Remove(&r.index) : list->get_Item(&r.index, got.put()); }),
                     r.number, "Halvenlib.CNodes");
    }
    VARIANT second = makeLong(2);
    ASSERT_EQ(list->Remove(&second), S_OK);
    EXPECT_EQ(count(list.get()), 2);
    ASSERT_EQ(list->Clear(), S_OK);
    EXPECT_EQ(count(list.get()), 0);
}

TEST_F(Records, NodeBuildsATreeOfRecords) {
    auto root = node();
    ComPtr<_CNodes> children;
    ComPtr<_CParams> record;
    ComPtr<_CCollection> values;
    ASSERT_EQ(root->get_SubNodes(children.put()), S_OK);
    ASSERT_EQ(root->get_params(record.put()), S_OK);
    ASSERT_EQ(root->get_Values(values.put()), S_OK);
    ASSERT_TRUE(children && record && values); // all made with the node
    EXPECT_EQ(count(children.get()) + count(record.get()) + count(values.get()), 0);

    ComPtr<_CNode> child;
    children->Add(child.put());
    ComPtr<_CParams> childRecord;
    child->get_params(childRecord.put());
    addParam(childRecord.get(), "displayName", makeText("Child"));

    // The same lists again, reached late-bound as the enumerators' callers do.
    VARIANT sub = getProperty(root.get(), "SubNodes");
    VARIANT firstChild = getProperty(sub.pdispVal, "Item", {makeText(idOf(child.get()))});
    VARIANT rec = getProperty(firstChild.pdispVal, "params");
    VARIANT p = getProperty(rec.pdispVal, "Item", {makeText("DISPLAYNAME")});
    EXPECT_EQ(text(getProperty(p.pdispVal, "Value")), "Child");
}

} // namespace
} // namespace recordstest
