// The property accessors: thin stores into a member or a caption, each successful put
// followed by PropertyChanged under the name the interface table gives.
#include "platform/error.h"
#include "shell/alg_v1s.h"
#include "shell/interface_table.h"

namespace pellix {

// Member-backed properties.

std::string ALG_V1S::get_DATAstr() const {
  return m_DATAstr;
}
void ALG_V1S::put_DATAstr(const std::string& v) {
  if (!UserMode()) RaiseError(kSetNotSupportedAtRuntime);
  m_DATAstr = v;
  Notify("DATAstr");
}

std::int16_t ALG_V1S::get_DensityLevel() const {
  return m_DensityLevel;
}
void ALG_V1S::put_DensityLevel(std::int16_t v) {
  m_DensityLevel = v;
  Notify("DensityLevel");
}

std::int16_t ALG_V1S::get_Person() const {
  return m_Person;
}
void ALG_V1S::put_Person(std::int16_t v) {
  m_Person = v;
  Notify("Person");
}

std::int16_t ALG_V1S::get_CAL_SFLC() const {
  return m_CAL_SFLC;
}
void ALG_V1S::put_CAL_SFLC(std::int16_t v) {
  m_CAL_SFLC = v;
  Notify("CAL_SFLC");
}

// CR_SFLC is read-only to hosts in both modes; only the property bag sets it.
Value ALG_V1S::get_CR_SFLC() const {
  return m_CR_SFLC;
}
void ALG_V1S::put_CR_SFLC(const Value& /*v*/) {
  RaiseError(UserMode() ? kGetNotSupportedAtRuntime : kSetNotSupportedAtRuntime);
}

std::string ALG_V1S::get_Volume() const {
  return m_Volume;
}
void ALG_V1S::put_Volume(const std::string& v) {
  m_Volume = v;
  Notify("Volume");
}

std::string ALG_V1S::get_MSGstring() const {
  return m_MSGstring;
}
void ALG_V1S::put_MSGstring(const std::string& v) {
  if (!UserMode()) RaiseError(kSetNotSupportedAtRuntime);
  m_MSGstring = v;
  Notify("MSGstring");
}

std::string ALG_V1S::get_Mode() const {
  return m_Mode;
}
void ALG_V1S::put_Mode(const std::string& v) {
  m_Mode = v;
  Notify("Mode");
}

// Caption-backed properties: the interface table names each one's cell and the name its put
// notifies under ("CR_MSGX" for the result code; BGfilter is the shortest-jump cell under
// "Min J.", not the cell beside "BG filter"). The text is stored as given, number or not; a
// caption the label refuses fails the call before any notification.

namespace {

const InterfaceMember& CaptionProperty(std::string_view property) {
  for (const InterfaceMember& member : InterfaceTable()) {
    if (member.kind == MemberKind::kPropertyPut && member.caption != nullptr &&
        member.name == property) {
      return member;
    }
  }
  // Every caller names a caption-backed property of the table.
  RaiseError(kMemberNotSupported);
}

}  // namespace

std::string ALG_V1S::Caption(std::string_view property) const {
  // The cell accessors take the panel as the instance keeps it; a get only reads the caption.
  return CaptionProperty(property).caption(const_cast<Panel&>(panel_)).caption();
}

void ALG_V1S::SetCaption(std::string_view property, const std::string& text) {
  const InterfaceMember& member = CaptionProperty(property);
  member.caption(panel_).set_caption(text);
  Notify(property);
}

std::string ALG_V1S::get_BGbord() const {
  return Caption("BGbord");
}
void ALG_V1S::put_BGbord(const std::string& v) {
  SetCaption("BGbord", v);
}

std::string ALG_V1S::get_LIEstress() const {
  return Caption("LIEstress");
}
void ALG_V1S::put_LIEstress(const std::string& v) {
  SetCaption("LIEstress", v);
}

std::string ALG_V1S::get_GLBstress() const {
  return Caption("GLBstress");
}
void ALG_V1S::put_GLBstress(const std::string& v) {
  SetCaption("GLBstress", v);
}

std::string ALG_V1S::get_EXCstress() const {
  return Caption("EXCstress");
}
void ALG_V1S::put_EXCstress(const std::string& v) {
  SetCaption("EXCstress", v);
}

std::string ALG_V1S::get_CR_msgX() const {
  return Caption("CR_msgX");
}
void ALG_V1S::put_CR_msgX(const std::string& v) {
  SetCaption("CR_msgX", v);
}

std::string ALG_V1S::get_CAL_AVJ() const {
  return Caption("CAL_AVJ");
}
void ALG_V1S::put_CAL_AVJ(const std::string& v) {
  SetCaption("CAL_AVJ", v);
}

std::string ALG_V1S::get_CR_avJ() const {
  return Caption("CR_avJ");
}
void ALG_V1S::put_CR_avJ(const std::string& v) {
  SetCaption("CR_avJ", v);
}

std::string ALG_V1S::get_BGfilter() const {
  return Caption("BGfilter");
}
void ALG_V1S::put_BGfilter(const std::string& v) {
  SetCaption("BGfilter", v);
}

std::string ALG_V1S::get_ADDvolume() const {
  return Caption("ADDvolume");
}
void ALG_V1S::put_ADDvolume(const std::string& v) {
  SetCaption("ADDvolume", v);
}

std::string ALG_V1S::get_CAL_spT() const {
  return Caption("CAL_spT");
}
void ALG_V1S::put_CAL_spT(const std::string& v) {
  SetCaption("CAL_spT", v);
}

std::string ALG_V1S::get_CAL_spJ() const {
  return Caption("CAL_spJ");
}
void ALG_V1S::put_CAL_spJ(const std::string& v) {
  SetCaption("CAL_spJ", v);
}

std::string ALG_V1S::get_CAL_JQ() const {
  return Caption("CAL_JQ");
}
void ALG_V1S::put_CAL_JQ(const std::string& v) {
  SetCaption("CAL_JQ", v);
}

std::string ALG_V1S::get_CR_SPJ() const {
  return Caption("CR_SPJ");
}
void ALG_V1S::put_CR_SPJ(const std::string& v) {
  SetCaption("CR_SPJ", v);
}

std::string ALG_V1S::get_CR_spT() const {
  return Caption("CR_spT");
}
void ALG_V1S::put_CR_spT(const std::string& v) {
  SetCaption("CR_spT", v);
}

std::string ALG_V1S::get_CR_JQ() const {
  return Caption("CR_JQ");
}
void ALG_V1S::put_CR_JQ(const std::string& v) {
  SetCaption("CR_JQ", v);
}

}  // namespace pellix
