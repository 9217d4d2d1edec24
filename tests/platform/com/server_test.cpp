// The test COM library registered into a test prefix and used from this
// program as a client: creation by class id and ProgID, calls through
// vtable slots and by name, errors, for-each, property bags, events,
// the 100 ms timer event, application objects and unregistration.

#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/connection_point.h"
#include "platform/com/late_bound.h"
#include "platform/com/message_queue.h"
#include "platform/com/property_bag.h"
#include "platform/com/server.h"
#include "platform/core/guid.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"
#include "platform/registry/registry.h"
#include "tests/platform/com/testlib_interfaces.h"
#include "tests/support/test_prefix.h"
#include "tests/support/vtable_check.h"

using namespace win;
using namespace winsys::com;
using namespace comtest;
using namespace std::chrono_literals;
using winsys::guidToString;
using winsys::pumpUntilIdle;

namespace {

const std::string kClasses = "Software\\Classes\\";

std::optional<std::string> regText(HKEY root, const std::string& path, const std::string& name = "") {
    UniqueHKey k;
    if (RegOpenKeyEx(root, path, 0, KEY_READ, k.put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (RegQueryValueEx(k.get(), name, &type, &data) != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    std::string t = winsys::fromUtf16leBytes(data);
    while (!t.empty() && t.back() == '\0') t.pop_back();
    return t;
}

bool keyExists(const std::string& path) {
    UniqueHKey k;
    return RegOpenKeyEx(HKEY_CURRENT_USER, kClasses + path, 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

void setRegText(const std::string& path, const std::string& value) {
    UniqueHKey k;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kClasses + path, 0, KEY_WRITE, k.put(), nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(k.get(), "", REG_SZ, winsys::toUtf16leBytes(value, true)), ERROR_SUCCESS);
}

std::string libraryWindowsPath() {
    return winsys::toWindowsPath(std::filesystem::weakly_canonical(COMTESTLIB_PATH));
}

std::string text(const VARIANT& v) {
    std::string t;
    EXPECT_EQ(toText(v, &t), S_OK);
    return t;
}

class ComServer : public ::testing::Test {
protected:
    void SetUp() override {
        prefix_ = std::make_unique<testsupport::TestPrefix>();
        std::string message;
        ASSERT_EQ(runSelfRegistration(COMTESTLIB_PATH, false, &message), S_OK) << message;
    }
    void TearDown() override {
        releaseApplicationObjects();
        // Let a timer a failed test left behind fire now, not into the next test.
        const auto until = std::chrono::steady_clock::now() + 1s;
        while (auto due = winsys::nextMessageDue()) {
            if (std::chrono::steady_clock::now() > until) break;
            std::this_thread::sleep_for(*due);
            pumpUntilIdle();
        }
        prefix_.reset();
    }

    static ComPtr<_CTestList> newList() {
        ComPtr<_CTestList> list;
        EXPECT_EQ(createInstance(CLSID_CTestList, &list), S_OK);
        return list;
    }

    std::unique_ptr<testsupport::TestPrefix> prefix_;
};

TEST_F(ComServer, RegistrationWritesClassProgIdInterfaceAndTypeLibraryKeys) {
    const std::string list = guidToString(CLSID_CTestList), libid = guidToString(kLibId);
    const std::string path = libraryWindowsPath();
    EXPECT_EQ(path.rfind("Z:\\", 0), 0u) << path;
    const std::string clsid = "CLSID\\" + list;
    const std::string iface = "Interface\\" + guidToString(_CTestList::iid);
    const std::string lib = "TypeLib\\" + libid + "\\1.2";
    struct Row {
        std::string key, value;
        std::optional<std::string> expected;
    } rows[] = {
        {clsid + "\\InprocServer32", "", path},
        {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsid + "\\ProgID", "", "ComTestLib.CTestList.1"},
        {clsid + "\\VersionIndependentProgID", "", "ComTestLib.CTestList"},
        {clsid + "\\TypeLib", "", libid},
        {"ComTestLib.CTestList\\CLSID", "", list},
        {"ComTestLib.CTestList\\CurVer", "", "ComTestLib.CTestList.1"},
        {"ComTestLib.CTestList.1\\CLSID", "", list},
        {"ComTestLib.CTestGlobal\\CLSID", "", guidToString(CLSID_CTestGlobal)},
        {"ComTestLib.CTestGlobal\\CurVer", "", std::nullopt}, // registered without a version
        {iface, "", "_CTestList"},
        {iface + "\\TypeLib", "", libid},
        {lib, "", "ComTestLib"},
        {lib + "\\0\\win32", "", path},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.key + " " + r.value);
        EXPECT_EQ(regText(HKEY_CURRENT_USER, kClasses + r.key, r.value), r.expected);
    }
    // The merged view of the classes sees the same.
    EXPECT_EQ(regText(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32"), path);

    // The library learnt its own path the same way.
    ComPtr<_CTestGlobal> global;
    ASSERT_EQ(getApplicationObject(CLSID_CTestGlobal, _CTestGlobal::iid, global.putVoid()), S_OK);
    std::string own;
    ASSERT_EQ(global->get_ModulePath(&own), S_OK);
    EXPECT_EQ(own, path);
}

TEST_F(ComServer, InterfacesKeepTheirSlotOrder) {
    EXPECT_TRUE(testsupport::slotOrderMatches(
        _CTestList::info(), {"Count (get)", "Add", "Item (get)", "NewEnum", "Name (get)", "Name (let)", "Replace",
                             "Bump", "StartLater", "Tag (get)", "Tag (set)", "Reserved"}));
    EXPECT_TRUE(testsupport::slotOrderMatches(_CTestGlobal::info(), {"Touch", "ModulePath (get)", "NewList"}));
}

TEST_F(ComServer, CreatedByClassIdAndByProgIdAndCalledThroughSlots) {
    auto list = newList();
    ASSERT_TRUE(list);
    VARIANT item = makeText("first"), key = makeText("k1");
    ASSERT_EQ(list->Add(&item, &key), S_OK);
    LONG count = 0;
    ASSERT_EQ(list->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);

    for (const char* progId : {"ComTestLib.CTestList", "ComTestLib.CTestList.1", "comtestlib.ctestlist"}) {
        SCOPED_TRACE(progId);
        ComPtr<_CTestList> other;
        ASSERT_EQ(createByProgId(progId, _CTestList::iid, other.putVoid()), S_OK);
        LONG n = -1;
        other->get_Count(&n);
        EXPECT_EQ(n, 0); // a new object each time
        EXPECT_NE(other, list);
    }
    CLSID c;
    ASSERT_EQ(CLSIDFromProgID("ComTestLib.CTestList", &c), S_OK);
    EXPECT_EQ(c, CLSID_CTestList);
    std::string progId;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_CTestList, &progId), S_OK);
    EXPECT_EQ(progId, "ComTestLib.CTestList.1");

    // A version-independent ProgID without its own CLSID key is followed through CurVer.
    ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, kClasses + "ComTestLib.CTestList\\CLSID"), ERROR_SUCCESS);
    ComPtr<_CTestList> viaCurVer;
    EXPECT_EQ(createByProgId("ComTestLib.CTestList", _CTestList::iid, viaCurVer.putVoid()), S_OK);
}

TEST_F(ComServer, LateBoundCallReplacesItsByReferenceArgument) {
    ComPtr<IDispatch> list;
    ASSERT_EQ(createByProgId(kListProgId, IDispatch::iid, list.putVoid()), S_OK);
    putProperty(list.get(), "name", makeText("log"));
    EXPECT_EQ(text(getProperty(list.get(), "NAME")), "log");

    // A Variant variable holding the object, passed by reference.
    VARIANT var = makeObject(list.get());
    callMethod(list.get(), "Replace", {byRef(&var)});
    ASSERT_EQ(var.vt, VT_DISPATCH);
    ASSERT_TRUE(var.pdispVal);
    EXPECT_NE(var.pdispVal, list.get());
    EXPECT_EQ(text(getProperty(var.pdispVal, "Name")), "log replaced");

    // An object variable passed by reference.
    IDispatch* object = list.get();
    object->AddRef();
    callMethod(list.get(), "replace", {byRef(&object)});
    ASSERT_NE(object, list.get());
    EXPECT_EQ(text(getProperty(object, "Name")), "log replaced");
    object->Release();

    LONG n = 40;
    callMethod(list.get(), "Bump", {byRef(&n), makeLong(2)});
    EXPECT_EQ(n, 42);
    // The hidden slot is not reachable by name.
    EXPECT_THROW(callMethod(list.get(), "Reserved"), ComError);
}

TEST_F(ComServer, ErrorRaisedInTheLibraryArrivesWithFacility10NumberDescriptionAndSource) {
    auto list = newList();
    VARIANT item = makeLong(1), key = makeText("dup"), again = makeText("DUP");
    ASSERT_EQ(list->Add(&item, &key), S_OK);

    clearErrorInfo();
    const HRESULT h = list->Add(&item, &again);
    EXPECT_EQ(HRESULT_FACILITY(h), FACILITY_CONTROL);
    EXPECT_EQ(HRESULT_CODE(h), 457);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
    std::string description, source;
    info->GetDescription(&description);
    info->GetSource(&source);
    EXPECT_EQ(description, "This key is already associated with an element of this collection");
    EXPECT_EQ(source, "CTestList.Add");

    struct Row {
        const char* label;
        std::function<void()> call;
        LONG number;
        const char* source;
    } rows[] = {
        {"vtable call through the wrapper", [&] { call([&] { return list->Add(&item, &key); }); }, 457,
         "CTestList.Add"},
        {"late-bound missing key", [&] { getProperty(list.get(), "Item", {makeText("nokey")}); }, 5, "CTestList.Item"},
        {"late-bound position outside", [&] { getProperty(list.get(), "Item", {makeLong(2)}); }, 9, "CTestList.Item"},
        {"default member", [&] { invokeById(list.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {makeLong(0)}); }, 9,
         "CTestList.Item"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        try {
            r.call();
            ADD_FAILURE() << "no error";
        } catch (const ComError& e) {
            EXPECT_EQ(e.number(), r.number);
            EXPECT_EQ(e.hresult(), hresultFromNumber(r.number));
            EXPECT_EQ(e.source(), r.source);
            EXPECT_FALSE(e.description().empty());
        }
    }
    VARIANT found = getProperty(list.get(), "Item", {makeText("DuP")}); // keys ignore case
    EXPECT_EQ(found.lVal, 1);
}

TEST_F(ComServer, ForEachOverTheCollection) {
    auto list = newList();
    auto inner = newList();
    std::vector<VARIANT> items = {makeText("a"), makeLong(2), makeObject(inner.get())};
    for (VARIANT& v : items) ASSERT_EQ(list->Add(&v, nullptr), S_OK);
    std::vector<VARIANT> seen;
    forEach(list.get(), [&](const VARIANT& v) { seen.push_back(v); });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].bstrVal, "a");
    EXPECT_EQ(seen[1].lVal, 2);
    ASSERT_EQ(seen[2].vt, VT_DISPATCH);
    EXPECT_EQ(seen[2].pdispVal, static_cast<IDispatch*>(inner.get())); // the same object, not a copy
}

TEST_F(ComServer, PropertyBagSavesNestedObjectsAndSkipsDefaults) {
    auto outer = newList();
    auto inner = newList();
    outer->put_Name("outer");
    VARIANT one = makeLong(1), obj = makeObject(inner.get()), x = makeText("x"), y = makeText("y");
    inner->Add(&x, nullptr);
    inner->Add(&y, nullptr);
    outer->Add(&one, nullptr);
    outer->Add(&obj, nullptr);

    auto bag = create<PropertyBag>();
    ComPtr<IPersistPropertyBag> persist = outer.as<IPersistPropertyBag>();
    ASSERT_TRUE(persist);
    ASSERT_EQ(persist->Save(bag.get(), TRUE, TRUE), S_OK);
    EXPECT_TRUE(bag->contains("name"));
    EXPECT_TRUE(bag->contains("N"));
    EXPECT_TRUE(bag->contains("i2"));
    EXPECT_EQ(bag->size(), 4u);

    auto loaded = newList();
    ASSERT_EQ(loaded.as<IPersistPropertyBag>()->Load(bag.get(), nullptr), S_OK);
    std::string name;
    loaded->get_Name(&name);
    EXPECT_EQ(name, "outer");
    LONG n = 0;
    loaded->get_Count(&n);
    ASSERT_EQ(n, 2);
    VARIANT at = makeLong(2), nested;
    ASSERT_EQ(loaded->get_Item(&at, &nested), S_OK);
    ASSERT_EQ(nested.vt, VT_DISPATCH);
    EXPECT_NE(nested.pdispVal, static_cast<IDispatch*>(inner.get())); // a new object of the same class
    EXPECT_EQ(getProperty(nested.pdispVal, "Count").lVal, 2);
    EXPECT_EQ(text(getProperty(nested.pdispVal, "Item", {makeLong(2)})), "y");
    EXPECT_EQ(text(getProperty(nested.pdispVal, "Name")), "");

    // All defaults: nothing is written, and loading gives the defaults.
    auto empty = create<PropertyBag>();
    ASSERT_EQ(newList().as<IPersistPropertyBag>()->Save(empty.get(), TRUE, TRUE), S_OK);
    EXPECT_EQ(empty->size(), 0u);
    ASSERT_EQ(loaded.as<IPersistPropertyBag>()->Load(empty.get(), nullptr), S_OK);
    loaded->get_Count(&n);
    loaded->get_Name(&name);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(name, "");

    // An object that cannot save itself is refused with error 330.
    ComPtr<IDispatch> global;
    ASSERT_EQ(createByProgId(kGlobalProgId, IDispatch::iid, global.putVoid()), S_OK);
    VARIANT notPersistable = makeObject(global.get());
    EXPECT_EQ(bag->Write("g", &notPersistable), hresultFromNumber(330));
}

TEST_F(ComServer, EventReachesTwoSinksInConnectionOrder) {
    auto list = newList();
    std::vector<std::string> log;
    auto sink = [&](std::string who) {
        return create<EventSink>(DIID___CTestList, [&log, who](DISPID id, std::vector<VARIANT>& args) {
            log.push_back(who + ":" + std::to_string(id) + ":" + text(args.at(0)));
        });
    };
    auto first = sink("first"), second = sink("second");
    const DWORD c1 = advise(list.get(), DIID___CTestList, static_cast<IDispatch*>(first.get()));
    advise(list.get(), DIID___CTestList, static_cast<IDispatch*>(second.get()));
    VARIANT v = makeLong(5);
    ASSERT_EQ(list->Add(&v, nullptr), S_OK);
    EXPECT_EQ(log, (std::vector<std::string>{"first:1:1", "second:1:1"}));
    unadvise(list.get(), DIID___CTestList, c1);
    ASSERT_EQ(list->Add(&v, nullptr), S_OK);
    EXPECT_EQ(log.back(), "second:1:2");
    EXPECT_EQ(log.size(), 3u);
}

TEST_F(ComServer, TimerEventArrivesOnlyByPumpingAfter100Ms) {
    auto list = newList();
    auto payload = newList();
    int arrived = 0;
    VARIANT got;
    auto sink = create<EventSink>(DIID___CTestList, [&](DISPID id, std::vector<VARIANT>& args) {
        if (id != DISPID_Later) return;
        ++arrived;
        got = args.at(0);
    });
    advise(list.get(), DIID___CTestList, static_cast<IDispatch*>(sink.get()));

    VARIANT data = makeObject(payload.get());
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point arrivedAt;
    auto countingSink = create<EventSink>(DIID___CTestList, [&](DISPID id, std::vector<VARIANT>&) {
        if (id == DISPID_Later) arrivedAt = std::chrono::steady_clock::now();
    });
    advise(list.get(), DIID___CTestList, static_cast<IDispatch*>(countingSink.get()));
    ASSERT_EQ(list->StartLater(&data), S_OK);
    const auto armed = std::chrono::steady_clock::now();
    EXPECT_EQ(arrived, 0); // not during the call
    while (std::chrono::steady_clock::now() - armed < 50ms) {
        pumpUntilIdle(); // pumping before it is due delivers nothing
        std::this_thread::sleep_for(5ms);
    }
    if (arrived == 0) { // (a stalled machine may already be past the due time)
        std::this_thread::sleep_until(armed + 110ms); // due now, but nobody pumps
        EXPECT_EQ(arrived, 0);
        pumpUntilIdle();
    }
    EXPECT_EQ(arrived, 1);
    EXPECT_GE(arrivedAt - start, 100ms); // never early
    ASSERT_EQ(got.vt, VT_DISPATCH);
    EXPECT_EQ(got.pdispVal, static_cast<IDispatch*>(payload.get())); // the same object
    std::this_thread::sleep_for(120ms);
    pumpUntilIdle();
    EXPECT_EQ(arrived, 1); // once
}

TEST_F(ComServer, ApplicationObjectIsOneImplicitInstance) {
    ComPtr<_CTestGlobal> a, b;
    ASSERT_EQ(getApplicationObject(CLSID_CTestGlobal, _CTestGlobal::iid, a.putVoid()), S_OK);
    ASSERT_EQ(getApplicationObject(CLSID_CTestGlobal, _CTestGlobal::iid, b.putVoid()), S_OK);
    EXPECT_EQ(a, b);
    LONG n = 0;
    a->Touch(&n);
    b->Touch(&n);
    EXPECT_EQ(n, 2);
    ComPtr<_CTestList> made;
    ASSERT_EQ(a->NewList("made", made.put()), S_OK);
    std::string name;
    made->get_Name(&name);
    EXPECT_EQ(name, "made");
    releaseApplicationObjects();
    ComPtr<_CTestGlobal> c;
    ASSERT_EQ(getApplicationObject(CLSID_CTestGlobal, _CTestGlobal::iid, c.putVoid()), S_OK);
    c->Touch(&n);
    EXPECT_EQ(n, 1); // a new instance after the release
}

TEST_F(ComServer, UnregisteredClassesCannotBeCreated) {
    std::string message;
    ASSERT_EQ(runSelfRegistration(COMTESTLIB_PATH, true, &message), S_OK) << message;
    ComPtr<_CTestList> list;
    EXPECT_EQ(createInstance(CLSID_CTestList, &list), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(list);
    EXPECT_EQ(createByProgId(kListProgId, _CTestList::iid, list.putVoid()), CO_E_CLASSSTRING);
    for (const std::string& key : {"CLSID\\" + guidToString(CLSID_CTestList), std::string("ComTestLib.CTestList"),
                                   std::string("ComTestLib.CTestList.1"),
                                   "Interface\\" + guidToString(_CTestList::iid), "TypeLib\\" + guidToString(kLibId)}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(keyExists(key));
    }
    try {
        call([&] { return createInstance(CLSID_CTestList, &list); });
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hresult(), REGDB_E_CLASSNOTREG);
        EXPECT_NE(e.description().find(guidToString(CLSID_CTestList)), std::string::npos) << e.description();
    }
    // Unregistering twice is fine; registering again brings the class back.
    EXPECT_EQ(runSelfRegistration(COMTESTLIB_PATH, true, &message), S_OK);
    ASSERT_EQ(runSelfRegistration(COMTESTLIB_PATH, false, &message), S_OK);
    EXPECT_EQ(createInstance(CLSID_CTestList, &list), S_OK);
}

// Creating a class again after its registration changed follows the
// registry, not what the last creation found.
TEST_F(ComServer, ACreationFollowsTheClassRegistrationAsItIsNow) {
    EXPECT_TRUE(newList());
    EXPECT_TRUE(newList());
    const std::string server = "CLSID\\" + guidToString(CLSID_CTestList) + "\\InprocServer32";
    setRegText(server, "Z:\\nonexistent\\libnothing.so");
    ComPtr<_CTestList> list;
    EXPECT_EQ(createInstance(CLSID_CTestList, &list), CO_E_DLLNOTFOUND);
    setRegText(server, libraryWindowsPath());
    EXPECT_TRUE(newList());
    std::string message;
    ASSERT_EQ(runSelfRegistration(COMTESTLIB_PATH, true, &message), S_OK) << message;
    EXPECT_EQ(createInstance(CLSID_CTestList, &list), REGDB_E_CLASSNOTREG);
}

TEST_F(ComServer, UnregisteringKeepsAProgIdThatNowNamesAnotherClass) {
    setRegText("ComTestLib.CTestList.1\\CLSID", guidToString(CLSID_CTestGlobal));
    std::string message;
    ASSERT_EQ(runSelfRegistration(COMTESTLIB_PATH, true, &message), S_OK) << message;
    EXPECT_TRUE(keyExists("ComTestLib.CTestList.1"));
    EXPECT_FALSE(keyExists("ComTestLib.CTestList"));
}

TEST_F(ComServer, ProgIdRemovedButClassKept) {
    ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, kClasses + "ComTestLib.CTestList"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, kClasses + "ComTestLib.CTestList.1"), ERROR_SUCCESS);
    ComPtr<_CTestList> list;
    EXPECT_EQ(createByProgId(kListProgId, _CTestList::iid, list.putVoid()), CO_E_CLASSSTRING);
    EXPECT_EQ(createInstance(CLSID_CTestList, &list), S_OK);
    EXPECT_TRUE(list);
}

TEST_F(ComServer, CreationFailuresTable) {
    prefix_->writeFile("C:\\junk\\notalib.so", "this is not a library");
    const auto libstdcxx = modulePathOf(reinterpret_cast<const void*>(&std::terminate));
    ASSERT_TRUE(libstdcxx);
    const CLSID fake{0x5A0E3C10, 0x7B1D, 0x4C2E, {0x9F, 0x10, 0, 0, 0, 0, 0, 0x99}};
    const std::string fakeKey = "CLSID\\" + guidToString(fake);
    struct Row {
        const char* label;
        std::optional<std::string> server; // InprocServer32 of the fake class; nothing: no such key
        CLSID clsid;
        IID iid;
        HRESULT hr;
    } rows[] = {
        {"class not registered", std::nullopt, fake, IUnknown::iid, REGDB_E_CLASSNOTREG},
        {"library missing", "Z:\\nonexistent\\libnothing.so", fake, IUnknown::iid, CO_E_DLLNOTFOUND},
        {"drive missing", "Q:\\libnothing.so", fake, IUnknown::iid, CO_E_DLLNOTFOUND},
        {"not a library", "C:\\junk\\notalib.so", fake, IUnknown::iid, CO_E_ERRORINDLL},
        {"entry point missing", winsys::toWindowsPath(*libstdcxx), fake, IUnknown::iid, CO_E_ERRORINDLL},
        {"class not in the library", libraryWindowsPath(), fake, IUnknown::iid, CLASS_E_CLASSNOTAVAILABLE},
        {"interface not offered", std::nullopt, CLSID_CTestList, IEnumVARIANT::iid, E_NOINTERFACE},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        RegDeleteTree(HKEY_CURRENT_USER, kClasses + fakeKey);
        if (r.server) setRegText(fakeKey + "\\InprocServer32", *r.server);
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(r.clsid, nullptr, CLSCTX_INPROC_SERVER, r.iid, &p), r.hr);
        EXPECT_EQ(p, nullptr);
        try {
            check(CoCreateInstance(r.clsid, nullptr, CLSCTX_INPROC_SERVER, r.iid, &p));
            ADD_FAILURE() << "no error";
        } catch (const ComError& e) {
            EXPECT_EQ(e.hresult(), r.hr);
            if (r.server) {
                EXPECT_NE(e.description().find(*r.server), std::string::npos) << e.description();
            }
        }
    }
    CLSID c;
    EXPECT_EQ(CLSIDFromProgID("No.Such.Class", &c), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID("", &c), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString("{not a guid}", &c), CO_E_CLASSSTRING);
}

} // namespace
