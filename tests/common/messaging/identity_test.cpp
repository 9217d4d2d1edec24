// The COM identity of CreateThread and CMsgr: class ids, interface ids and
// event interface ids as their text forms, ProgIDs, the connection point
// each class offers, and the slot order of the two interfaces.

#include <gtest/gtest.h>

#include "platform/com/connection_point.h"
#include "platform/core/guid.h"
#include "tests/common/messaging/messaging_fixture.h"
#include "tests/support/vtable_check.h"

using namespace win;
using namespace winsys::com;
using namespace halvenlib;
using messagingtest::Messaging;

namespace {

TEST(MessagingIds, MatchTheirTextForms) {
    const struct {
        const char* label;
        GUID id;
        const char* text;
    } rows[] = {
        {"CreateThread", CLSID_CreateThread, "{AF28E169-1FB8-4CC1-907B-CEF36EC8A64A}"},
        {"_CreateThread", _CreateThread::iid, "{711504E9-C3D1-4A2E-8988-28536D6E4719}"},
        {"__CreateThread", DIID___CreateThread, "{1CE6D471-28B9-4545-B6A7-536CE5A1581F}"},
        {"CMsgr", CLSID_CMsgr, "{63C56499-9BC0-4522-B9BF-1F77E5CF57D0}"},
        {"_CMsgr", _CMsgr::iid, "{11E57CE5-A7F1-48BA-AADD-503EF3B80EF2}"},
        {"__CMsgr", DIID___CMsgr, "{6020F496-78DF-4208-84FA-18D28F85596F}"},
    };
    for (const auto& r : rows) EXPECT_EQ(winsys::guidToString(r.id), r.text) << r.label;
}

TEST(MessagingSlots, InterfacesKeepTheirSlotOrder) {
    EXPECT_TRUE(testsupport::slotOrderMatches(_CreateThread::info(), {"StartNewThread"}));
    EXPECT_TRUE(testsupport::slotOrderMatches(_CMsgr::info(), {"SendMsg"}));
}

TEST_F(Messaging, ClassesAreCreatableByProgIdAndOfferTheirEvents) {
    const struct {
        const char* progId;
        CLSID clsid;
        IID iid;
        IID events;
        IID otherEvents;
    } rows[] = {
        {"Halvenlib.CreateThread", CLSID_CreateThread, _CreateThread::iid, DIID___CreateThread, DIID___CMsgr},
        {"Halvenlib.CMsgr", CLSID_CMsgr, _CMsgr::iid, DIID___CMsgr, DIID___CreateThread},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.progId);
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(r.progId, &clsid), S_OK);
        EXPECT_EQ(clsid, r.clsid);
        ComPtr<IDispatch> object;
        ASSERT_EQ(createByProgId(r.progId, r.iid, object.putVoid()), S_OK);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(object->QueryInterface(IConnectionPointContainer::iid, container.putVoid()), S_OK);
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(r.events, point.put()), S_OK);
        IID offered{};
        EXPECT_EQ(point->GetConnectionInterface(&offered), S_OK);
        EXPECT_EQ(offered, r.events);
        EXPECT_EQ(container->FindConnectionPoint(r.otherEvents, point.put()), CONNECT_E_NOCONNECTION);
    }
}

} // namespace
