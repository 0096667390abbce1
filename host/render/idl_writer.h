// The control library's type library as IDL text, generated from the interface and event
// tables and the component's identity, so that nothing about a member is written twice.
#pragma once

#include <string>

namespace pellix {

// The library block Pellix with its identifier, version, locale 0x409 and help string; the
// dual interface _ALG_V1S with its 52 members in interface order (dispatch identifier, get or
// put, hidden, help string; texts as BSTR, 16-bit integers as short, variants as VARIANT); the
// event dispinterface __ALG_V1S; and the control class ALG_V1S that joins them.
std::string TypeLibraryIdl();

}  // namespace pellix
