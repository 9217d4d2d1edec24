// CCollection through COM: keys without regard to case, Item and Remove by
// key and by position, Before/After insertion, the errors 457, 5 and 9,
// for-each order, object items by reference, Clear releasing its items.

#include "tests/common/records/records_fixture.h"

#include <cctype>
#include <random>

#include "platform/com/late_bound.h"

namespace recordstest {
namespace {

constexpr const char* kSource = "Halvenlib.CCollection";

// "a" under "K1", "b" under "k2", "c" without key.
ComPtr<_CCollection> abc() {
    ComPtr<_CCollection> c;
    EXPECT_EQ(createInstance(CLSID_CCollection, &c), S_OK);
    EXPECT_EQ(add(c.get(), makeText("a"), "K1"), S_OK);
    EXPECT_EQ(add(c.get(), makeText("b"), "k2"), S_OK);
    EXPECT_EQ(add(c.get(), makeText("c")), S_OK);
    return c;
}

TEST_F(Records, CollectionFindsByKeyWithoutCaseAndByPosition) {
    auto c = abc();
    struct Row {
        const char* label;
        VARIANT index;
        const char* expected;
    } rows[] = {
        {"key as added", makeText("K1"), "a"},
        {"key in other case", makeText("K2"), "b"},
        {"position 1", makeLong(1), "a"},
        {"last position", makeLong(3), "c"},
        {"position as a double", makeDouble(2), "b"},
        {"position as a short", makeShort(3), "c"},
    };
    for (Row& r : rows) {
        VARIANT v;
        ASSERT_EQ(c->get_Item(&r.index, &v), S_OK) << r.label;
        EXPECT_EQ(text(v), r.expected) << r.label;
    }
    const char* present[] = {"k1", "K2", "k2"};
    for (const char* k : present) {
        VARIANT_BOOL b = VARIANT_FALSE;
        EXPECT_EQ(c->IsInCollection(k, &b), S_OK);
        EXPECT_EQ(b, VARIANT_TRUE) << k;
    }
    VARIANT_BOOL b = VARIANT_TRUE;
    EXPECT_EQ(c->IsInCollection("c", &b), S_OK); // a value is not a key
    EXPECT_EQ(b, VARIANT_FALSE);
}

TEST_F(Records, CollectionTextIndexIsAlwaysAKey) {
    auto c = collection();
    for (int k = 1; k <= 5; ++k) add(c.get(), makeText("item" + std::to_string(k)));
    add(c.get(), makeText("keyed"), "5");
    VARIANT byText = makeText("5"), byNumber = makeLong(5), v;
    ASSERT_EQ(c->get_Item(&byText, &v), S_OK);
    EXPECT_EQ(text(v), "keyed");
    ASSERT_EQ(c->get_Item(&byNumber, &v), S_OK);
    EXPECT_EQ(text(v), "item5");
    VARIANT six = makeText("6");
    expectRaised(raised([&] { return c->get_Item(&six, &v); }), 5, kSource);
}

TEST_F(Records, CollectionAddInsertsBeforeOrAfter) {
    struct Row {
        const char* label;
        std::optional<VARIANT> before, after;
        std::vector<std::string> expected;
    } rows[] = {
        {"append", std::nullopt, std::nullopt, {"a", "b", "c", "x"}},
        {"before position 1", makeLong(1), std::nullopt, {"x", "a", "b", "c"}},
        {"before key", makeText("K2"), std::nullopt, {"a", "x", "b", "c"}},
        {"after key", std::nullopt, makeText("k1"), {"a", "x", "b", "c"}},
        {"after last position", std::nullopt, makeLong(3), {"a", "b", "c", "x"}},
        {"missing Before counts as not given", makeMissing(), std::nullopt, {"a", "b", "c", "x"}},
    };
    for (Row& r : rows) {
        auto c = abc();
        VARIANT x = makeText("x"), key = makeText("new");
        ASSERT_EQ(c->Add(&x, &key, r.before ? &*r.before : nullptr, r.after ? &*r.after : nullptr), S_OK) << r.label;
        EXPECT_EQ(texts(c.get()), r.expected) << r.label;
        VARIANT v;
        ASSERT_EQ(c->get_Item(&key, &v), S_OK) << r.label;
        EXPECT_EQ(text(v), "x") << r.label;
    }
}

TEST_F(Records, CollectionErrorsChangeNothing) {
    struct Row {
        const char* label;
        std::function<HRESULT(_CCollection*)> act;
        LONG number;
    } rows[] = {
        {"Add under a key present in other case", [](_CCollection* c) { return add(c, makeText("x"), "K2"); }, 457},
        {"Add with Before and After",
         [](_CCollection* c) {
             VARIANT x = makeText("x"), b = makeLong(1), a = makeLong(2);
             return c->Add(&x, nullptr, &b, &a);
         },
         5},
        {"Add before a missing key",
         [](_CCollection* c) {
             VARIANT x = makeText("x"), b = makeText("nope");
             return c->Add(&x, nullptr, &b, nullptr);
         },
         5},
        {"Add after position 4",
         [](_CCollection* c) {
             VARIANT x = makeText("x"), a = makeLong(4);
             return c->Add(&x, nullptr, nullptr, &a);
         },
         9},
        {"Item with a missing key",
         [](_CCollection* c) {
             VARIANT i = makeText("k3"), v;
             return c->get_Item(&i, &v);
         },
         5},
        {"Item at position 0",
         [](_CCollection* c) {
             VARIANT i = makeLong(0), v;
             return c->get_Item(&i, &v);
         },
         9},
        {"Item at position 4",
         [](_CCollection* c) {
             VARIANT i = makeLong(4), v;
             return c->get_Item(&i, &v);
         },
         9},
        {"Remove with a missing key",
         [](_CCollection* c) {
             VARIANT i = makeText("c");
             return c->Remove(&i);
         },
         5},
        {"Remove at position -1",
         [](_CCollection* c) {
             VARIANT i = makeLong(-1);
             return c->Remove(&i);
         },
         9},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.label);
        auto c = abc();
        expectRaised(raised([&] { return r.act(c.get()); }), r.number, kSource);
        EXPECT_EQ(texts(c.get()), (std::vector<std::string>{"a", "b", "c"}));
    }
}

TEST_F(Records, CollectionRemoveByKeyAndPosition) {
    auto c = abc();
    VARIANT key = makeText("K2"), first = makeLong(1);
    ASSERT_EQ(c->Remove(&key), S_OK);
    EXPECT_EQ(texts(c.get()), (std::vector<std::string>{"a", "c"}));
    VARIANT_BOOL b = VARIANT_TRUE;
    c->IsInCollection("k2", &b);
    EXPECT_EQ(b, VARIANT_FALSE);
    EXPECT_EQ(add(c.get(), makeText("again"), "k2"), S_OK); // the key is free again
    ASSERT_EQ(c->Remove(&first), S_OK);
    EXPECT_EQ(texts(c.get()), (std::vector<std::string>{"c", "again"}));
}

// Short lists are searched in place and long ones through an index: keys
// must be found the same way as a list grows past that point, shrinks below
// it and has items put before others and taken out, in any case spelling.
TEST_F(Records, CollectionKeysHoldAsTheListGrowsAndShrinks) {
    std::mt19937 random(7);
    auto c = collection();
    std::vector<std::pair<std::string, std::string>> model; // (key, value) in order
    int made = 0;
    for (int step = 0; step < 600; ++step) {
        const bool growing = (step / 100) % 2 == 0; // phases of 100 steps
        const bool grow = model.size() < 3 || (growing ? random() % 4 != 0 : random() % 4 == 0);
        if (grow) {
            const std::string key = "Key" + std::to_string(made), value = "v" + std::to_string(made);
            ++made;
            VARIANT item = makeText(value), k = makeText(key);
            if (!model.empty() && random() % 2) { // before a random item, named by its key in upper case
                const std::size_t at = random() % model.size();
                std::string upper = model[at].first;
                for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                VARIANT before = makeText(upper);
                ASSERT_EQ(c->Add(&item, &k, &before, nullptr), S_OK);
                model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), {key, value});
            } else {
                ASSERT_EQ(c->Add(&item, &k, nullptr, nullptr), S_OK);
                model.emplace_back(key, value);
            }
        } else {
            const std::size_t at = random() % model.size();
            VARIANT index = random() % 2 ? makeText(model[at].first) : makeLong(static_cast<LONG>(at + 1));
            ASSERT_EQ(c->Remove(&index), S_OK);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        }
        std::vector<std::string> values;
        for (const auto& [key, value] : model) {
            VARIANT lower = makeText("key" + key.substr(3)), v;
            ASSERT_EQ(c->get_Item(&lower, &v), S_OK) << "step " << step << ", " << key;
            ASSERT_EQ(text(v), value) << "step " << step;
            values.push_back(value);
        }
        ASSERT_EQ(texts(c.get()), values) << "step " << step;
        ASSERT_EQ(add(c.get(), makeText("dup"), model.empty() ? "free" : model.front().first), model.empty() ? S_OK : hresultFromNumber(457))
            << "step " << step;
        if (model.empty()) {
            VARIANT free = makeText("free");
            ASSERT_EQ(c->Remove(&free), S_OK);
        }
    }
}

TEST_F(Records, CollectionHoldsObjectsByReferenceAndClearReleasesThem) {
    auto c = collection();
    auto inner = collection();
    const ULONG before = refs(inner.get());
    ASSERT_EQ(add(c.get(), makeObject(inner.get()), "obj"), S_OK);
    EXPECT_EQ(refs(inner.get()), before + 1);
    VARIANT key = makeText("OBJ"), v;
    ASSERT_EQ(c->get_Item(&key, &v), S_OK);
    ASSERT_EQ(v.vt, VT_DISPATCH);
    EXPECT_EQ(v.pdispVal, static_cast<IDispatch*>(inner.get())); // the same object, not a copy
    VariantClear(&v);

    ASSERT_EQ(c->Clear(), S_OK);
    EXPECT_EQ(count(c.get()), 0);
    EXPECT_EQ(refs(inner.get()), before);
    VARIANT_BOOL b = VARIANT_TRUE;
    EXPECT_EQ(c->IsInCollection("obj", &b), S_OK);
    EXPECT_EQ(b, VARIANT_FALSE);
}

TEST_F(Records, CollectionLateBoundDefaultMemberAndForEach) {
    auto c = abc();
    VARIANT v = invokeById(c.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {makeText("k2")});
    EXPECT_EQ(text(v), "b");
    EXPECT_EQ(callMethod(c.get(), "IsInCollection", {makeText("K1")}).boolVal, VARIANT_TRUE);
    callMethod(c.get(), "Add", {makeText("first"), makeText("f"), makeLong(1)});
    std::vector<std::string> seen;
    forEach(c.get(), [&](const VARIANT& item) { seen.push_back(text(item)); });
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "a", "b", "c"}));
    try {
        getProperty(c.get(), "Item", {makeLong(9)});
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.number(), 9);
        EXPECT_EQ(e.source(), kSource);
    }
}

TEST_F(Records, EmptyCollectionAnswersWithoutRaising) {
    auto c = collection();
    VARIANT_BOOL b = VARIANT_TRUE;
    EXPECT_EQ(c->IsInCollection("anything", &b), S_OK);
    EXPECT_EQ(b, VARIANT_FALSE);
    EXPECT_EQ(count(c.get()), 0);
    int seen = 0;
    forEach(c.get(), [&](const VARIANT&) { ++seen; });
    EXPECT_EQ(seen, 0);
}

} // namespace
} // namespace recordstest
