// Every 128-bit id the plug-ins and the host use: the host's own interface and
// notification ids, the ids of the interfaces the plug-ins implement, and a few chosen
// here (GuidValueClass, the address table, HostMemory's query id), which only the
// emulated host knows. The plug-ins' own class ids are in each module's definition.
#pragma once

#include "host/component.h"

namespace host {

// IMoaRegister: the registration interface a plug-in offers (script.h).
constexpr Id kIidMoaRegister =
    Id{0xAC3E7803,
       0x0002,
       0x8FE5,
       {0x00, 0x00, 0x08, 0x00, 0x07, 0x16, 0x0D, 0xC3}};  // {AC3E7803-0002-8FE5-0000-080007160DC3}
// IMoaMmXScript: the script-class interface (`new`; script.h). Also the interface that
// registration names for the script class.
constexpr Id kIidMoaMmXScript =
    Id{0xAC401FB6,
       0x0001,
       0xF9B0,
       {0x00, 0x00, 0x08, 0x00, 0x07, 0x2C, 0x63, 0x26}};  // {AC401FB6-0001-F9B0-0000-0800072C6326}
// IMoaMmXValue: the value interface of a script object (script.h), and of a
// GuidValueClass object.
constexpr Id kIidMoaMmXValue =
    Id{0xD9484A7A,
       0xD855,
       0x11D3,
       {0xA4, 0x9F, 0x00, 0x90, 0x27, 0x76, 0x5A, 0x07}};  // {D9484A7A-D855-11D3-A49F-009027765A07}
// IMoaNotificationClient: a client of the host's notifications (notification.h);
// Tidelisten's script class only.
constexpr Id kIidMoaNotificationClient =
    Id{0xE58EE2CC,
       0x3D86,
       0x11D0,
       {0x90, 0xAC, 0x00, 0x05, 0x9A, 0x80, 0xE8, 0x2F}};  // {E58EE2CC-3D86-11D0-90AC-00059A80E82F}
// ValueServices: symbols, values, references, string access (values.h).
constexpr Id kIidValueServices =
    Id{0x151A5780,
       0x32BD,
       0x11D0,
       {0x81, 0x51, 0x00, 0xAA, 0x00, 0x5F, 0x3C, 0x08}};  // {151A5780-32BD-11D0-8151-00AA005F3C08}
// ListServices: property lists (values.h).
constexpr Id kIidListServices =
    Id{0xAC96CF98,
       0x0045,
       0x5C0B,
       {0x00, 0x00, 0x00, 0x40, 0x10, 0x50, 0x23, 0xFB}};  // {AC96CF98-0045-5C0B-0000-0040105023FB}
// CallServices: calling script handlers (values.h).
constexpr Id kIidCallServices =
    Id{0xAC401B78,
       0x0000,
       0xFA7D,
       {0x00, 0x00, 0x08, 0x00, 0x07, 0x2C, 0x63, 0x26}};  // {AC401B78-0000-FA7D-0000-0800072C6326}
// ObjectValueServices: turning an object into a host value (values.h).
constexpr Id kIidObjectValueServices =
    Id{0xD9484A60,
       0xD855,
       0x11D3,
       {0xA4, 0x9F, 0x00, 0x90, 0x27, 0x76, 0x5A, 0x07}};  // {D9484A60-D855-11D3-A49F-009027765A07}
// The host's notification service (notification.h).
constexpr Id kIidNotificationService =
    Id{0xCA015FDA,
       0x3D86,
       0x11D0,
       {0x81, 0x25, 0x00, 0x05, 0x9A, 0x80, 0xE8, 0x2F}};  // {CA015FDA-3D86-11D0-8125-00059A80E82F}
// The notification Tidelisten registers for; the host sends it repeatedly, and each one
// delivers at most one queued datagram.
constexpr Id kNotifyIdle =
    Id{0x3B881B5E,
       0x3E12,
       0x11D0,
       {0x99, 0xA6, 0x00, 0x05, 0x9A, 0x80, 0xE8, 0x2F}};  // {3B881B5E-3E12-11D0-99A6-00059A80E82F}
// HostInterfaceA to HostInterfaceG (forwarded.h), reached only by pass-throughs.
constexpr Id kIidHostInterfaceA =
    Id{0xAC96CFC0,
       0x0045,
       0x6597,
       {0x00, 0x00, 0x00, 0x40, 0x10, 0x50, 0x23, 0xFB}};  // {AC96CFC0-0045-6597-0000-0040105023FB}
constexpr Id kIidHostInterfaceB =
    Id{0xBA9FA4A5,
       0x363E,
       0x11D2,
       {0xAA, 0x59, 0x00, 0xA0, 0xC9, 0x09, 0x14, 0x28}};  // {BA9FA4A5-363E-11D2-AA59-00A0C9091428}
constexpr Id kIidHostInterfaceC =
    Id{0xC479AE20,
       0x41B2,
       0x11D0,
       {0x96, 0xBF, 0x00, 0x05, 0x9A, 0x80, 0xE8, 0x2F}};  // {C479AE20-41B2-11D0-96BF-00059A80E82F}
constexpr Id kIidHostInterfaceD =
    Id{0x7A002B52,
       0x1BFE,
       0x11D2,
       {0x91, 0x2D, 0x00, 0xA0, 0xC9, 0x05, 0x87, 0xDB}};  // {7A002B52-1BFE-11D2-912D-00A0C90587DB}
constexpr Id kIidHostInterfaceE =
    Id{0xD9484A78,
       0xD855,
       0x11D3,
       {0xA4, 0x9F, 0x00, 0x90, 0x27, 0x76, 0x5A, 0x07}};  // {D9484A78-D855-11D3-A49F-009027765A07}
constexpr Id kIidHostInterfaceF =
    Id{0x99CD6DF0,
       0x49E8,
       0x11D2,
       {0xA6, 0x6D, 0x00, 0xA0, 0xC9, 0xE7, 0x37, 0x36}};  // {99CD6DF0-49E8-11D2-A66D-00A0C9E73736}
constexpr Id kIidHostInterfaceG =
    Id{0xF367FFFF,
       0x11E7,
       0x11D2,
       {0x9D, 0x18, 0x00, 0x10, 0x4B, 0x27, 0x97, 0xF3}};  // {F367FFFF-11E7-11D2-9D18-00104B2797F3}
// The fixed id every class record of DllGetClassInfo carries at offset 20.
constexpr Id kClassInfoRecordId =
    Id{0x00000001,
       0x0000,
       0x0000,
       {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};  // {00000001-0000-0000-C000-000000000046}
// GuidValueClass: the host's value class that holds a 128-bit id; reading "IID" asks
// NewHostObject for one. The class id is configured here; a host that does not know it
// makes no object, and "IID" gives the id's text instead.
constexpr Id kClsidGuidValue =
    Id{0x6B1D3F40,
       0x9A2E,
       0x4C71,
       {0x8E, 0x05, 0x3D, 0x7A, 0x2C, 0x9B, 0x1E, 0x64}};  // {6B1D3F40-9A2E-4C71-8E05-3D7A2C9B1E64}
// The address table (address_table.h): 32-bit handles for memory regions handed to
// scripts. A host that does not answer it leaves addresses as they are.
constexpr Id kIidAddressTable =
    Id{0x2F7C9E10,
       0x5B4A,
       0x4D3E,
       {0x9C, 0x61, 0x0A, 0x8B, 0x7E, 0x6D, 0x5C, 0x41}};  // {2F7C9E10-5B4A-4D3E-9C61-0A8B7E6D5C41}
// HostMemory, when queried from the emulated host's callback. The plug-ins never ask:
// they take HostMemory from the instance header and from DllGetClassInfo.
constexpr Id kIidHostMemory =
    Id{0x4A1E6C22,
       0x7D39,
       0x4F80,
       {0xB2, 0xA5, 0x61, 0xC0, 0xD9, 0xE8, 0xF7, 0x13}};  // {4A1E6C22-7D39-4F80-B2A5-61C0D9E8F713}

}  // namespace host
