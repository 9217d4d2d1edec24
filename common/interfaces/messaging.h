#pragma once
// The deferred call and the message broadcaster of the common library:
// CreateThread raises NewThread(Data) from the calling thread's message
// loop about 100 ms after StartNewThread(Data); CMsgr raises MsgArrived to
// every connected client inside SendMsg. Both offer their events through
// connection points; the event interfaces are dispatch-only.

#include <string>

#include "platform/com/dispatch_table.h"
#include "platform/com/unknown.h"

namespace halvenlib {

inline constexpr win::CLSID CLSID_CreateThread{
    0xAF28E169, 0x1FB8, 0x4CC1, {0x90, 0x7B, 0xCE, 0xF3, 0x6E, 0xC8, 0xA6, 0x4A}};
inline constexpr win::CLSID CLSID_CMsgr{0x63C56499, 0x9BC0, 0x4522, {0xB9, 0xBF, 0x1F, 0x77, 0xE5, 0xCF, 0x57, 0xD0}};

// Event interface __CreateThread.
inline constexpr win::IID DIID___CreateThread{
    0x1CE6D471, 0x28B9, 0x4545, {0xB6, 0xA7, 0x53, 0x6C, 0xE5, 0xA1, 0x58, 0x1F}};
inline constexpr win::DISPID DISPID_NewThread = 1; // NewThread(Data As Variant)

// Event interface __CMsgr.
inline constexpr win::IID DIID___CMsgr{0x6020F496, 0x78DF, 0x4208, {0x84, 0xFA, 0x18, 0xD2, 0x8F, 0x85, 0x59, 0x6F}};
// MsgArrived(Msg As Long, Data As Variant, Sender As String, Receiver As String)
inline constexpr win::DISPID DISPID_MsgArrived = 1;

struct _CreateThread : win::IDispatch {
    static constexpr win::IID iid{0x711504E9, 0xC3D1, 0x4A2E, {0x89, 0x88, 0x28, 0x53, 0x6D, 0x6E, 0x47, 0x19}};
    static const winsys::com::InterfaceInfo& info();

    // Returns at once; NewThread(Data) follows once the thread has pumped
    // its messages 100 ms or more later. An object travels as a reference,
    // any other value as a copy. Each call raises its own event.
    virtual win::HRESULT StartNewThread(win::VARIANT* Data) = 0;

protected:
    ~_CreateThread() = default;
};

inline const winsys::com::InterfaceInfo& _CreateThread::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CreateThread", {
        method<&_CreateThread::StartNewThread>("StartNewThread"),
    });
    return i;
}

struct _CMsgr : win::IDispatch {
    static constexpr win::IID iid{0x11E57CE5, 0xA7F1, 0x48BA, {0xAA, 0xDD, 0x50, 0x3E, 0xF3, 0xB8, 0x0E, 0xF2}};
    static const winsys::com::InterfaceInfo& info();

    // Raises MsgArrived(Msg, Data, Sender, Receiver) to every connected
    // client in connection order and returns when all have handled it. A
    // null Data is the omitted one (the missing-argument variant); each
    // client gets its own copy of the values. Receiver picks no client.
    virtual win::HRESULT SendMsg(win::LONG Msg, win::VARIANT* Data, const std::string& Sender,
                                 const std::string& Receiver) = 0;

protected:
    ~_CMsgr() = default;
};

inline const winsys::com::InterfaceInfo& _CMsgr::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CMsgr", {
        method<&_CMsgr::SendMsg>("SendMsg").optionalFrom(1),
    });
    return i;
}

} // namespace halvenlib
