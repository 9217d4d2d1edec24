#pragma once
// The scalar types, result codes and constants of the COM layer, with
// Windows' own names and values. Text crosses the boundary as UTF-8
// std::string, so there is no BSTR here.

#include <cstdint>

#include "platform/core/guid.h"
#include "platform/core/wintypes.h"

namespace win {

using UINT = unsigned int;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using SCODE = LONG;
using LCID = DWORD;
using DISPID = LONG;
using VARTYPE = USHORT;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;

// A distinct type so that a Boolean result is told apart from an Integer.
enum VARIANT_BOOL : SHORT { VARIANT_FALSE = 0, VARIANT_TRUE = -1 };
inline VARIANT_BOOL toVariantBool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

// An automation date: days since 30 December 1899, the fraction is the time.
struct DATE {
    double value;
    friend bool operator==(const DATE&, const DATE&) = default;
};

inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

// Variant types.
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

// Dispatch ids and flags.
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;
inline constexpr WORD DISPATCH_METHOD = 1;
inline constexpr WORD DISPATCH_PROPERTYGET = 2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 8;

// Class contexts (only in-process servers exist here).
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_ALL = 0x17;

// Facility 10 carries the error numbers of automation servers: 0x800A0000 | n.
inline constexpr DWORD FACILITY_CONTROL = 10;
constexpr WORD HRESULT_FACILITY(HRESULT h) { return static_cast<WORD>((static_cast<DWORD>(h) >> 16) & 0x1FFF); }
constexpr WORD HRESULT_CODE(HRESULT h) { return static_cast<WORD>(static_cast<DWORD>(h) & 0xFFFF); }

// Dispatch errors.
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = hr(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = hr(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = hr(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = hr(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = hr(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = hr(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = hr(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = hr(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = hr(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = hr(0x8002000B);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = hr(0x8002000E);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = hr(0x8002000D);

// Class creation and registration.
inline constexpr HRESULT CLASS_E_NOAGGREGATION = hr(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hr(0x80040111);
inline constexpr HRESULT REGDB_E_READREGDB = hr(0x80040150);
inline constexpr HRESULT REGDB_E_WRITEREGDB = hr(0x80040151);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = hr(0x80040154);
inline constexpr HRESULT CO_E_CLASSSTRING = hr(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = hr(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = hr(0x800401F9);
inline constexpr HRESULT SELFREG_E_CLASS = hr(0x80040201);

// Connection points.
inline constexpr HRESULT CONNECT_E_NOCONNECTION = hr(0x80040200);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = hr(0x80040202);

} // namespace win
