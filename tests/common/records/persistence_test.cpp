// Property-bag save and load of all five records: items in order without
// keys, records found again by name or Id, nested objects as new objects,
// and a node from a bag without its lists getting new empty ones.

#include "tests/common/records/records_fixture.h"

#include "platform/com/late_bound.h"
#include "platform/com/property_bag.h"

namespace recordstest {
namespace {

ComPtr<PropertyBag> saved(win::IUnknown* object) {
    auto bag = create<PropertyBag>();
    auto persist = ComPtr<win::IUnknown>(object).as<IPersistPropertyBag>();
    EXPECT_TRUE(persist);
    if (persist) {
        EXPECT_EQ(persist->Save(bag.get(), TRUE, TRUE), S_OK);
    }
    return bag;
}

template <class I>
ComPtr<I> loaded(const CLSID& clsid, IPropertyBag* bag, HRESULT expected = S_OK) {
    ComPtr<I> object;
    EXPECT_EQ(createInstance(clsid, &object), S_OK);
    EXPECT_EQ(object.template as<IPersistPropertyBag>()->Load(bag, nullptr), expected);
    return object;
}

TEST_F(Records, CollectionRoundTripKeepsOrderAndDropsKeys) {
    auto c = collection();
    auto inner = collection();
    add(inner.get(), makeText("deep"));
    add(c.get(), makeText("text"), "t");
    add(c.get(), makeLong(42), "n");
    add(c.get(), makeBool(true));
    add(c.get(), makeObject(inner.get()), "obj");
    auto bag = saved(c.get());
    for (const char* key : {"n", "i1", "i2", "i3", "i4"}) EXPECT_TRUE(bag->contains(key)) << key;
    EXPECT_EQ(bag->size(), 5u);

    auto back = loaded<_CCollection>(CLSID_CCollection, bag.get());
    ASSERT_EQ(count(back.get()), 4);
    VARIANT at = makeLong(1), v;
    back->get_Item(&at, &v);
    EXPECT_EQ(text(v), "text");
    at = makeLong(2);
    back->get_Item(&at, &v);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 42);
    at = makeLong(3);
    back->get_Item(&at, &v);
    EXPECT_EQ(v.vt, VT_BOOL);
    at = makeLong(4);
    back->get_Item(&at, &v);
    ASSERT_EQ(v.vt, VT_DISPATCH);
    EXPECT_NE(v.pdispVal, static_cast<IDispatch*>(inner.get())); // a new object of the same class
    EXPECT_EQ(text(getProperty(v.pdispVal, "Item", {makeLong(1)})), "deep");
    VARIANT_BOOL b = VARIANT_TRUE;
    back->IsInCollection("t", &b);
    EXPECT_EQ(b, VARIANT_FALSE);

    // Loading starts from an empty list; an empty list saves nothing.
    auto empty = saved(collection().get());
    EXPECT_EQ(empty->size(), 0u);
    ASSERT_EQ(back.as<IPersistPropertyBag>()->Load(empty.get(), nullptr), S_OK);
    EXPECT_EQ(count(back.get()), 0);
}

TEST_F(Records, ParamsRoundTripFindsNamesAgain) {
    auto p = params();
    addParam(p.get(), "originalName", makeText("Add-on"));
    addParam(p.get(), "noValue", std::nullopt);
    auto multi = addParam(p.get(), "Files", makeText("a.dll"));
    ComPtr<_CCollection> files;
    multi->get_Values(files.put());
    add(files.get(), makeText("b.dll"));

    auto back = loaded<_CParams>(CLSID_CParams, saved(p.get()).get());
    ASSERT_EQ(count(back.get()), 3);
    ComPtr<_CParam> found;
    VARIANT key = makeText("ORIGINALNAME"), v;
    ASSERT_EQ(back->get_Item(&key, found.put()), S_OK);
    EXPECT_EQ(nameOf(found.get()), "originalName");
    found->get_Value(&v);
    EXPECT_EQ(text(v), "Add-on");
    key = makeText("files");
    ASSERT_EQ(back->get_Item(&key, found.put()), S_OK);
    found->get_Values(files.put());
    EXPECT_EQ(texts(files.get()), (std::vector<std::string>{"a.dll", "b.dll"}));
    key = makeText("NoValue");
    ASSERT_EQ(back->get_Item(&key, found.put()), S_OK);
    EXPECT_EQ(raised([&] { return found->get_Value(&v); })->number, 9);
}

TEST_F(Records, NodesRoundTripKeepsTheTreeAndIds) {
    auto list = nodes();
    ComPtr<_CNode> top, child;
    list->Add(top.put());
    ComPtr<_CParams> record;
    top->get_params(record.put());
    addParam(record.get(), "displayName", makeText("Top"));
    ComPtr<_CCollection> values;
    top->get_Values(values.put());
    add(values.get(), makeLong(3));
    ComPtr<_CNodes> sub;
    top->get_SubNodes(sub.put());
    sub->Add(child.put());
    const std::string topId = idOf(top.get()), childId = idOf(child.get());

    auto back = loaded<_CNodes>(CLSID_CNodes, saved(list.get()).get());
    ComPtr<_CNode> again;
    VARIANT key = makeText(topId);
    ASSERT_EQ(back->get_Item(&key, again.put()), S_OK);
    EXPECT_NE(again, top);
    EXPECT_EQ(idOf(again.get()), topId);
    again->get_params(record.put());
    VARIANT name = makeText("DISPLAYNAME");
    ComPtr<_CParam> p;
    ASSERT_EQ(record->get_Item(&name, p.put()), S_OK);
    VARIANT v;
    p->get_Value(&v);
    EXPECT_EQ(text(v), "Top");
    again->get_Values(values.put());
    EXPECT_EQ(texts(values.get()), (std::vector<std::string>{"3"}));
    again->get_SubNodes(sub.put());
    key = makeText(childId);
    ASSERT_EQ(sub->get_Item(&key, again.put()), S_OK);
    EXPECT_EQ(idOf(again.get()), childId);
}

TEST_F(Records, NodeFromBagWithoutListsGetsEmptyOnes) {
    struct Row {
        const char* label;
        std::vector<std::pair<std::string, VARIANT>> entries;
        HRESULT expected;
    } rows[] = {
        {"only an Id", {{"Id", makeText("{ID}")}}, S_OK},
        {"empty bag", {}, S_OK},
        {"lists saved as Nothing",
         {{"N", makeObject(nullptr)}, {"P", makeObject(nullptr)}, {"V", makeObject(nullptr)}},
         S_OK},
        {"a list that is text", {{"P", makeText("not a list")}}, hresultFromNumber(13)},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.label);
        auto bag = create<PropertyBag>();
        for (auto& [name, value] : r.entries) ASSERT_EQ(bag->Write(name, &value), S_OK);
        auto n = loaded<_CNode>(CLSID_CNode, bag.get(), r.expected);
        if (r.expected != S_OK) continue;
        ComPtr<_CNodes> sub;
        ComPtr<_CParams> record;
        ComPtr<_CCollection> values;
        n->get_SubNodes(sub.put());
        n->get_params(record.put());
        n->get_Values(values.put());
        ASSERT_TRUE(sub && record && values);
        EXPECT_EQ(count(sub.get()) + count(record.get()) + count(values.get()), 0);
        ComPtr<_CNode> grandchild;
        EXPECT_EQ(sub->Add(grandchild.put()), S_OK); // usable, not just present
    }
    auto bag = create<PropertyBag>();
    VARIANT id = makeText("{ID}");
    bag->Write("Id", &id);
    EXPECT_EQ(idOf(loaded<_CNode>(CLSID_CNode, bag.get()).get()), "{ID}");
    EXPECT_EQ(idOf(loaded<_CNode>(CLSID_CNode, create<PropertyBag>().get()).get()), ""); // Id defaults to empty
}

TEST_F(Records, ParamFromBagWithoutValuesGetsAnEmptyList) {
    auto bag = create<PropertyBag>();
    VARIANT name = makeText("Name");
    bag->Write("N", &name);
    auto p = loaded<_CParam>(CLSID_CParam, bag.get());
    EXPECT_EQ(nameOf(p.get()), "Name");
    ComPtr<_CCollection> values;
    p->get_Values(values.put());
    ASSERT_TRUE(values);
    EXPECT_EQ(count(values.get()), 0);

    // A saved parameter round-trips its name and values.
    add(values.get(), makeText("v"));
    auto back = loaded<_CParam>(CLSID_CParam, saved(p.get()).get());
    EXPECT_EQ(nameOf(back.get()), "Name");
    VARIANT v;
    ASSERT_EQ(back->get_Value(&v), S_OK);
    EXPECT_EQ(text(v), "v");
}

TEST_F(Records, ListsLoadOnlyTheirOwnItems) {
    // A CParams or CNodes bag whose item is not a parameter or node is refused.
    auto bag = saved(collection().get());
    VARIANT n = makeLong(1), item = makeText("plain");
    bag->Write("n", &n);
    bag->Write("i1", &item);
    loaded<_CParams>(CLSID_CParams, bag.get(), hresultFromNumber(13));
    loaded<_CNodes>(CLSID_CNodes, bag.get(), hresultFromNumber(13));
    EXPECT_EQ(count(loaded<_CCollection>(CLSID_CCollection, bag.get()).get()), 1);
}

} // namespace
} // namespace recordstest
