#pragma once
// The names a hand-served IDispatch answers to, as one table per face: GetIDsOfNames looks the
// member up there, in any letter case, as automation names are.
#include <windows.h>
#include <oaidl.h>

#include <span>

#include "com/Strings.h"

namespace com {

struct NamedMember {
    const wchar_t* name;
    DISPID id;
};

/// The id `table` gives `name` (any letter case), or DISPID_UNKNOWN.
inline DISPID MemberId(std::span<const NamedMember> table, const wchar_t* name) noexcept {
    for (const NamedMember& member : table)
        if (sameIdentifier(name, member.name)) return member.id;
    return DISPID_UNKNOWN;
}

/// GetIDsOfNames over `table`: the id of `names[0]`, or `other(names[0])` where the table lacks it
/// (DISPID_UNKNOWN for no member). Argument names are not offered: every other name is
/// DISPID_UNKNOWN, and asking for one fails with DISP_E_UNKNOWNNAME.
template <class Other>
HRESULT IdsOfNames(std::span<const NamedMember> table, REFIID iid, LPOLESTR* names, UINT count, DISPID* ids,
                   Other other) noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    ids[0] = MemberId(table, names[0]);
    if (ids[0] == DISPID_UNKNOWN) ids[0] = other(names[0]);
    if (ids[0] == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

}  // namespace com
