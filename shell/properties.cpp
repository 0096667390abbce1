// The property accessors: thin stores into a member or a caption, each successful put
// followed by PropertyChanged under the name the interface table gives. Each finds its row of
// the table by position, looked up by name while compiling.
#include "platform/error.h"
#include "shell/alg_v1s.h"
#include "shell/interface_members.h"

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

// Caption-backed properties: the interface table names each one's cell and the name its put
// notifies under ("CR_MSGX" for the result code; BGfilter is the shortest-jump cell under
// "Min J.", not the cell beside "BG filter"); a name that is no caption-backed property does
// not compile. The text is stored as given, number or not; a caption the label refuses fails
// the call before any notification.

std::string ALG_V1S::Caption(std::size_t position) const {
  // The cell accessors take the panel as the instance keeps it; a get only reads the caption.
  return InterfaceTable()[position].caption(const_cast<Panel&>(panel_)).caption();
}

void ALG_V1S::SetCaption(std::size_t position, const std::string& text) {
  InterfaceTable()[position].caption(panel_).set_caption(text);
  Notify(position);
}

std::string ALG_V1S::get_BGbord() const {
  return Caption(CaptionPutOf("BGbord"));
}
void ALG_V1S::put_BGbord(const std::string& v) {
  SetCaption(CaptionPutOf("BGbord"), v);
}

std::string ALG_V1S::get_LIEstress() const {
  return Caption(CaptionPutOf("LIEstress"));
}
void ALG_V1S::put_LIEstress(const std::string& v) {
  SetCaption(CaptionPutOf("LIEstress"), v);
}

std::string ALG_V1S::get_GLBstress() const {
  return Caption(CaptionPutOf("GLBstress"));
}
void ALG_V1S::put_GLBstress(const std::string& v) {
  SetCaption(CaptionPutOf("GLBstress"), v);
}

std::string ALG_V1S::get_EXCstress() const {
  return Caption(CaptionPutOf("EXCstress"));
}
void ALG_V1S::put_EXCstress(const std::string& v) {
  SetCaption(CaptionPutOf("EXCstress"), v);
}

std::string ALG_V1S::get_CR_msgX() const {
  return Caption(CaptionPutOf("CR_msgX"));
}
void ALG_V1S::put_CR_msgX(const std::string& v) {
  SetCaption(CaptionPutOf("CR_msgX"), v);
}

std::string ALG_V1S::get_CAL_AVJ() const {
  return Caption(CaptionPutOf("CAL_AVJ"));
}
void ALG_V1S::put_CAL_AVJ(const std::string& v) {
  SetCaption(CaptionPutOf("CAL_AVJ"), v);
}

std::string ALG_V1S::get_CR_avJ() const {
  return Caption(CaptionPutOf("CR_avJ"));
}
void ALG_V1S::put_CR_avJ(const std::string& v) {
  SetCaption(CaptionPutOf("CR_avJ"), v);
}

std::string ALG_V1S::get_BGfilter() const {
  return Caption(CaptionPutOf("BGfilter"));
}
void ALG_V1S::put_BGfilter(const std::string& v) {
  SetCaption(CaptionPutOf("BGfilter"), v);
}

std::string ALG_V1S::get_ADDvolume() const {
  return Caption(CaptionPutOf("ADDvolume"));
}
void ALG_V1S::put_ADDvolume(const std::string& v) {
  SetCaption(CaptionPutOf("ADDvolume"), v);
}

std::string ALG_V1S::get_CAL_spT() const {
  return Caption(CaptionPutOf("CAL_spT"));
}
void ALG_V1S::put_CAL_spT(const std::string& v) {
  SetCaption(CaptionPutOf("CAL_spT"), v);
}

std::string ALG_V1S::get_CAL_spJ() const {
  return Caption(CaptionPutOf("CAL_spJ"));
}
void ALG_V1S::put_CAL_spJ(const std::string& v) {
  SetCaption(CaptionPutOf("CAL_spJ"), v);
}

std::string ALG_V1S::get_CAL_JQ() const {
  return Caption(CaptionPutOf("CAL_JQ"));
}
void ALG_V1S::put_CAL_JQ(const std::string& v) {
  SetCaption(CaptionPutOf("CAL_JQ"), v);
}

std::string ALG_V1S::get_CR_SPJ() const {
  return Caption(CaptionPutOf("CR_SPJ"));
}
void ALG_V1S::put_CR_SPJ(const std::string& v) {
  SetCaption(CaptionPutOf("CR_SPJ"), v);
}

std::string ALG_V1S::get_CR_spT() const {
  return Caption(CaptionPutOf("CR_spT"));
}
void ALG_V1S::put_CR_spT(const std::string& v) {
  SetCaption(CaptionPutOf("CR_spT"), v);
}

std::string ALG_V1S::get_CR_JQ() const {
  return Caption(CaptionPutOf("CR_JQ"));
}
void ALG_V1S::put_CR_JQ(const std::string& v) {
  SetCaption(CaptionPutOf("CR_JQ"), v);
}

}  // namespace pellix
