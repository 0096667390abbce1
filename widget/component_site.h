// The widget as the client site of a component instance (libPellix's object): the control
// asks it for the ambient UserMode through IDispatch and tells it of PropertyChanged through
// IPropertyNotifySink, as a control on a form asks its container.
#pragma once

#include <functional>
#include <string_view>

#include "Pellix.h"

namespace pellix {

class ComponentSite {
 public:
  // `user_mode` answers the ambient UserMode; `changed` hears every PropertyChanged by the
  // name the control notified. The site is owned by whoever made it: its reference count
  // only counts the holders, it never frees itself.
  ComponentSite(std::function<bool()> user_mode, std::function<void(std::string_view)> changed);
  ComponentSite(const ComponentSite&) = delete;
  ComponentSite& operator=(const ComponentSite&) = delete;

  // The site's identity, to hand to IObjectWithSite::SetSite.
  IUnknown* unknown() noexcept { return reinterpret_cast<IUnknown*>(&dispatch_); }

  // For the function tables: the site behind one of its interfaces.
  static ComponentSite& Of(IDispatch* self) noexcept;
  static ComponentSite& Of(IPropertyNotifySink* self) noexcept;

  HRESULT QueryInterface(const IID* riid, void** ppv) noexcept;
  bool UserMode() const { return user_mode_(); }
  void Changed(DISPID dispid) const;

 private:
  // Each interface is a table pointer followed by the site it belongs to.
  struct Dispatch {
    IDispatch iface;
    ComponentSite* site;
  };
  struct Notify {
    IPropertyNotifySink iface;
    ComponentSite* site;
  };

  Dispatch dispatch_;
  Notify notify_;
  std::function<bool()> user_mode_;
  std::function<void(std::string_view)> changed_;
};

}  // namespace pellix
