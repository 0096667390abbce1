// ALG_V1S: the voice-stress analysis control as its host sees it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "control/panel.h"
#include "platform/container_site.h"
#include "platform/property_bag.h"
#include "platform/value.h"

namespace Tarvo_alg1 {
struct SharedState;
class TakeReader;
}  // namespace Tarvo_alg1

namespace pellix {

class FileSystem;

inline constexpr std::size_t kProfileRows = 1001;  // rows 0 to 1000 of the check history
inline constexpr std::size_t kProfileColumns = 7;
inline constexpr std::int16_t kLastProfileRow = 999;

// The columns of a check history row, as Check records them; columns 0 and 6 are never used.
enum HistoryColumn : std::size_t {
  kLieColumn = 1,         // lie stress
  kGlobalColumn = 2,      // global stress
  kExcitementColumn = 3,  // excitement stress
  kCodeColumn = 4,        // result code
  kJumpLengthColumn = 5,  // mean jump length
};
inline constexpr std::size_t kFirstHistoryColumn = kLieColumn;
inline constexpr std::size_t kLastHistoryColumn = kJumpLengthColumn;

// A property's name as a template argument.
template <std::size_t N>
struct PropertyName {
  char text[N];
  consteval PropertyName(const char (&name)[N]) {  // implicit: written as the name's literal
    for (std::size_t i = 0; i < N; ++i) text[i] = name[i];
  }
  constexpr std::string_view view() const { return {text, N - 1}; }
};

class ALG_V1S {
 public:
  // The control reaches its container through `site`, which must outlive it; without a site
  // it runs in run mode and notifies nobody. Members start at the language's defaults (texts
  // empty, integers 0, CR_SFLC Empty) and captions at their design values: the host sends
  // InitProperties or ReadProperties next.
  // The sample files DATAstr names are read through `files` (the disk's unless given), which
  // must outlive the control too. The engine's analysis state is `state`: controls made together
  // for one host share one, as all instances on a thread share the module's variables (the
  // component hands out its controls so); without one the control makes its own.
  explicit ALG_V1S(ContainerSite* site = nullptr);
  ALG_V1S(ContainerSite* site, FileSystem& files,
          std::shared_ptr<Tarvo_alg1::SharedState> state = nullptr);

  // Methods. Each returns an Empty value; results travel through properties and the panel.
  Value Calibrate();
  Value Initalize();
  Value Check();
  Value ResetCal();
  Value ResetAll();
  Value profiler();
  // Calibrate or Check on a sample file the caller holds in memory, whole, read in place of the
  // file DATAstr names (DATAstr still names the take: empty, there is none). For a host that
  // converted the take itself and has no file of it.
  enum class Analysis { kCalibrate, kCheck };
  Value AnalyseSampleFile(Analysis analysis, std::span<const std::uint8_t> sample_file);

  // The properties a member keeps: get_X returns the member, put_X stores it and notifies.
  std::string get_DATAstr() const;
  void put_DATAstr(const std::string& v);
  std::int16_t get_DensityLevel() const;
  void put_DensityLevel(std::int16_t v);
  std::int16_t get_Person() const;
  void put_Person(std::int16_t v);
  std::int16_t get_CAL_SFLC() const;
  void put_CAL_SFLC(std::int16_t v);
  Value get_CR_SFLC() const;
  void put_CR_SFLC(const Value& v);
  std::string get_Volume() const;
  void put_Volume(const std::string& v);
  std::string get_MSGstring() const;
  void put_MSGstring(const std::string& v);
  std::string get_Mode() const;
  void put_Mode(const std::string& v);

  // The caption-backed properties, each the caption of a cell of the panel, by name:
  // get<"CAL_spT">() and put<"CAL_spT">(text). The interface table (interface_members.h, which
  // defines both and comes with this header) gives each its cell and the name its put notifies
  // under ("CR_MSGX" for the result code); a name that is no caption-backed property does not
  // compile. The text is stored as given, number or not; a caption the label refuses fails the put
  // before any notification.
  template <PropertyName Name>
  std::string get() const;
  template <PropertyName Name>
  void put(const std::string& text);

  // The container's persistence notifications.
  void InitProperties();
  void ReadProperties(PropertyBag& bag);
  void WriteProperties(PropertyBag& bag);

  // The engine's analysis state as the last analysis left it (what the intake stored, the
  // scan's measures), shared with the controls made together with this one.
  Tarvo_alg1::SharedState& engine_state() noexcept { return *state_; }
  const Tarvo_alg1::SharedState& engine_state() const noexcept { return *state_; }
  const std::shared_ptr<Tarvo_alg1::SharedState>& shared_engine_state() const noexcept {
    return state_;
  }

  // What the form and the tests see of the instance.
  Panel& panel() noexcept { return panel_; }
  const Panel& panel() const noexcept { return panel_; }
  ControlSurface& surface() noexcept { return surface_; }
  const ControlSurface& surface() const noexcept { return surface_; }
  std::int16_t profile_count() const noexcept { return ProfileCount_; }
  const std::array<std::array<std::int16_t, kProfileColumns>, kProfileRows>& profile_table()
      const noexcept {
    return ProfileTable_;
  }
  // Seed the check history directly: for tests of what reads it (profiler, resets), and for
  // hosts that keep the history between runs.
  std::array<std::array<std::int16_t, kProfileColumns>, kProfileRows>&
  mutable_profile_table() noexcept {
    return ProfileTable_;
  }
  void set_profile_count(std::int16_t count) noexcept { ProfileCount_ = count; }
  // What Check does to the calibration after its verdict: CAL_spT, CAL_spJ and CAL_JQ move one
  // sixth of the way towards the take's thorn rate, jump rate and jump spread, through their
  // setters, and are kept as whole numbers. Public so that a host merging two runs' checks
  // into one state file can replay the drift of one run on top of the other's calibration.
  void DriftCalibration(double thorn_rate, double jump_rate, double jump_spread);

 private:
  // The interface's declarations name the members that keep member-backed properties.
  friend struct InterfaceDeclarations;

  // PropertyChanged for the put at interface `position`, under the name the interface table
  // gives it.
  void Notify(std::size_t position);
  // The caption of the caption-backed property whose put is at `position`, and its put: the
  // cell and the notification come from the interface table.
  std::string Caption(std::size_t position) const;
  void SetCaption(std::size_t position, const std::string& text);
  bool UserMode() const;
  // The settings Calibrate and Check hand the engine (analysis_settings.cpp): the intake's
  // (the take's file, the gain, the background border) and the scan's (the jump limits).
  void HandIntakeSettings() const;
  void HandScanSettings() const;
  // Calibrate and Check reading the take through `take`.
  Value CalibrateFrom(const Tarvo_alg1::TakeReader& take);
  Value CheckFrom(const Tarvo_alg1::TakeReader& take);

  ContainerSite* site_;
  FileSystem* files_;
  std::shared_ptr<Tarvo_alg1::SharedState> state_;
  Panel panel_;
  ControlSurface surface_;

  // The properties a member keeps, and the check history, named as the interface names them,
  // with the trailing underscore of every member.
  std::string Mode_;
  std::string Volume_;
  std::string MSGstring_;
  std::string DATAstr_;
  std::int16_t DensityLevel_ = 0;
  std::int16_t Person_ = 0;
  std::int16_t CAL_SFLC_ = 0;
  Value CR_SFLC_;
  std::array<std::array<std::int16_t, kProfileColumns>, kProfileRows> ProfileTable_{};
  std::int16_t ProfileCount_ = 0;
};

}  // namespace pellix

// The caption-backed properties' get and put are defined with the interface table they read.
#include "control/interface_members.h"  // IWYU pragma: export
