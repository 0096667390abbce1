// What keeps the library loaded: live objects and server locks.
#pragma once

namespace pellix::component {

// Every object the library hands out counts itself from construction to destruction.
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
// IClassFactory::LockServer.
void Lock(bool lock) noexcept;
// True when no object and no lock remains.
bool CanUnload() noexcept;

}  // namespace pellix::component
