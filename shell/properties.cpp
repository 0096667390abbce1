// The property accessors: thin stores into a member or a caption, each successful put
// followed by PropertyChanged under the property's name.
#include "platform/error.h"
#include "shell/alg_v1s.h"

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

// Caption-backed properties. The text is stored as given, number or not; a caption the
// label refuses fails the call before any notification.

std::string ALG_V1S::get_BGbord() const {
  return panel_.BG_LEVEL.caption();
}
void ALG_V1S::put_BGbord(const std::string& v) {
  panel_.BG_LEVEL.set_caption(v);
  Notify("BGbord");
}

std::string ALG_V1S::get_LIEstress() const {
  return panel_.LBL_LIE.caption();
}
void ALG_V1S::put_LIEstress(const std::string& v) {
  panel_.LBL_LIE.set_caption(v);
  Notify("LIEstress");
}

std::string ALG_V1S::get_GLBstress() const {
  return panel_.LBL_GLB.caption();
}
void ALG_V1S::put_GLBstress(const std::string& v) {
  panel_.LBL_GLB.set_caption(v);
  Notify("GLBstress");
}

std::string ALG_V1S::get_EXCstress() const {
  return panel_.LBL_EXC.caption();
}
void ALG_V1S::put_EXCstress(const std::string& v) {
  panel_.LBL_EXC.set_caption(v);
  Notify("EXCstress");
}

// The result code notifies under the bag's spelling of its key.
std::string ALG_V1S::get_CR_msgX() const {
  return panel_.LBL_MSG.caption();
}
void ALG_V1S::put_CR_msgX(const std::string& v) {
  panel_.LBL_MSG.set_caption(v);
  Notify("CR_MSGX");
}

std::string ALG_V1S::get_CAL_AVJ() const {
  return panel_.AVJ[kConstantsRow].caption();
}
void ALG_V1S::put_CAL_AVJ(const std::string& v) {
  panel_.AVJ[kConstantsRow].set_caption(v);
  Notify("CAL_AVJ");
}

std::string ALG_V1S::get_CR_avJ() const {
  return panel_.AVJ[kResultsRow].caption();
}
void ALG_V1S::put_CR_avJ(const std::string& v) {
  panel_.AVJ[kResultsRow].set_caption(v);
  Notify("CR_avJ");
}

// BGfilter is the shortest-jump cell under "Min J.", not the cell beside "BG filter".
std::string ALG_V1S::get_BGfilter() const {
  return panel_.Filters[3].caption();
}
void ALG_V1S::put_BGfilter(const std::string& v) {
  panel_.Filters[3].set_caption(v);
  Notify("BGfilter");
}

std::string ALG_V1S::get_ADDvolume() const {
  return panel_.Filters[2].caption();
}
void ALG_V1S::put_ADDvolume(const std::string& v) {
  panel_.Filters[2].set_caption(v);
  Notify("ADDvolume");
}

std::string ALG_V1S::get_CAL_spT() const {
  return panel_.SPT[kConstantsRow].caption();
}
void ALG_V1S::put_CAL_spT(const std::string& v) {
  panel_.SPT[kConstantsRow].set_caption(v);
  Notify("CAL_spT");
}

std::string ALG_V1S::get_CAL_spJ() const {
  return panel_.SPJ[kConstantsRow].caption();
}
void ALG_V1S::put_CAL_spJ(const std::string& v) {
  panel_.SPJ[kConstantsRow].set_caption(v);
  Notify("CAL_spJ");
}

std::string ALG_V1S::get_CAL_JQ() const {
  return panel_.JQ[kConstantsRow].caption();
}
void ALG_V1S::put_CAL_JQ(const std::string& v) {
  panel_.JQ[kConstantsRow].set_caption(v);
  Notify("CAL_JQ");
}

std::string ALG_V1S::get_CR_SPJ() const {
  return panel_.SPJ[kResultsRow].caption();
}
void ALG_V1S::put_CR_SPJ(const std::string& v) {
  panel_.SPJ[kResultsRow].set_caption(v);
  Notify("CR_SPJ");
}

std::string ALG_V1S::get_CR_spT() const {
  return panel_.SPT[kResultsRow].caption();
}
void ALG_V1S::put_CR_spT(const std::string& v) {
  panel_.SPT[kResultsRow].set_caption(v);
  Notify("CR_spT");
}

std::string ALG_V1S::get_CR_JQ() const {
  return panel_.JQ[kResultsRow].caption();
}
void ALG_V1S::put_CR_JQ(const std::string& v) {
  panel_.JQ[kResultsRow].set_caption(v);
  Notify("CR_JQ");
}

}  // namespace pellix
