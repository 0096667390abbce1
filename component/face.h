// How a C++ object shows a C interface: a face is the interface (a pointer to its function
// table, all a host sees) followed by a pointer back to the object, so one object can show
// several interfaces and every entry finds its object from the interface pointer.
#pragma once

#include <cstring>

#include "Pellix.h"

namespace pellix::component {

template <class Interface, class Owner>
struct Face {
  Interface iface;
  Owner* owner;
};

// The object behind an interface pointer handed out as a Face<Interface, Owner>.
template <class Owner, class Interface>
Owner& OwnerOf(Interface* iface) noexcept {
  return *reinterpret_cast<Face<Interface, Owner>*>(iface)->owner;
}

inline bool SameId(const GUID* a, const GUID& b) noexcept {
  return std::memcmp(a, &b, sizeof(GUID)) == 0;
}

}  // namespace pellix::component
