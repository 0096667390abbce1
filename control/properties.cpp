// The property accessors: thin stores into a member or a caption, each successful put
// followed by PropertyChanged under the name the interface table gives. Each finds its row of
// the table by position, looked up by name while compiling.
#include "control/alg_v1s.h"
#include "control/interface_members.h"
#include "platform/error.h"

namespace pellix {

// Member-backed properties.

std::string ALG_V1S::get_DATAstr() const {
  return DATAstr_;
}
void ALG_V1S::put_DATAstr(const std::string& v) {
  if (!UserMode()) RaiseError(kSetNotSupportedAtRuntime);
  DATAstr_ = v;
  Notify(PutOf("DATAstr"));
}

std::int16_t ALG_V1S::get_DensityLevel() const {
  return DensityLevel_;
}
void ALG_V1S::put_DensityLevel(std::int16_t v) {
  DensityLevel_ = v;
  Notify(PutOf("DensityLevel"));
}

std::int16_t ALG_V1S::get_Person() const {
  return Person_;
}
void ALG_V1S::put_Person(std::int16_t v) {
  Person_ = v;
  Notify(PutOf("Person"));
}

std::int16_t ALG_V1S::get_CAL_SFLC() const {
  return CAL_SFLC_;
}
void ALG_V1S::put_CAL_SFLC(std::int16_t v) {
  CAL_SFLC_ = v;
  Notify(PutOf("CAL_SFLC"));
}

// CR_SFLC is read-only to hosts in both modes; only the property bag sets it.
Value ALG_V1S::get_CR_SFLC() const {
  return CR_SFLC_;
}
void ALG_V1S::put_CR_SFLC(const Value& /*v*/) {
  RaiseError(UserMode() ? kGetNotSupportedAtRuntime : kSetNotSupportedAtRuntime);
}

std::string ALG_V1S::get_Volume() const {
  return Volume_;
}
void ALG_V1S::put_Volume(const std::string& v) {
  Volume_ = v;
  Notify(PutOf("Volume"));
}

std::string ALG_V1S::get_MSGstring() const {
  return MSGstring_;
}
void ALG_V1S::put_MSGstring(const std::string& v) {
  if (!UserMode()) RaiseError(kSetNotSupportedAtRuntime);
  MSGstring_ = v;
  Notify(PutOf("MSGstring"));
}

std::string ALG_V1S::get_Mode() const {
  return Mode_;
}
void ALG_V1S::put_Mode(const std::string& v) {
  Mode_ = v;
  Notify(PutOf("Mode"));
}

// Caption-backed properties (get<Name> and put<Name>, interface_members.h): the interface table
// names each one's cell and the name its put notifies under.

std::string ALG_V1S::Caption(std::size_t position) const {
  // The cell accessors take the panel as the instance keeps it; a get only reads the caption.
  return InterfaceTable()[position].caption(const_cast<Panel&>(panel_)).caption();
}

void ALG_V1S::SetCaption(std::size_t position, const std::string& text) {
  InterfaceTable()[position].caption(panel_).set_caption(text);
  Notify(position);
}

}  // namespace pellix
