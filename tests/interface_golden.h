// The interface as hosts bind to it, written out by hand once and independently of the
// interface table: the tests of the table, of the IDL and of the component all read it.
#pragma once

#include <cstdint>
#include <vector>

namespace pellix::testing {

// One method or property: its type is 's' text, 'i' 16-bit integer or 'v' variant; `help` says
// whether it carries the caption's help string.
struct GoldenMember {
  const char* name;
  bool method;
  char type;
  std::int32_t dispid;
  bool hidden;
  bool help;
};

inline constexpr GoldenMember kGoldenInterface[] = {
    {"Calibrate", true, 'v', 0x60030017, false, false},
    {"Initalize", true, 'v', 0x60030018, false, false},
    {"Check", true, 'v', 0x60030019, false, false},
    {"ResetCal", true, 'v', 0x6003001A, false, false},
    {"ResetAll", true, 'v', 0x6003001B, false, false},
    {"DATAstr", false, 's', 0x68030016, true, false},
    {"DensityLevel", false, 'i', 0x68030015, false, false},
    {"Person", false, 'i', 0x68030014, false, false},
    {"CAL_SFLC", false, 'i', 0x68030013, false, false},
    {"CR_SFLC", false, 'v', 0x68030012, true, false},
    {"BGbord", false, 's', 0x68030011, false, true},
    {"LIEstress", false, 's', 0x68030010, false, true},
    {"GLBstress", false, 's', 0x6803000F, false, true},
    {"EXCstress", false, 's', 0x6803000E, false, true},
    {"profiler", true, 'v', 0x60030020, false, false},
    {"CR_msgX", false, 's', 0x6803000D, false, true},
    {"Volume", false, 's', 0x6803000C, false, true},
    {"MSGstring", false, 's', 0x6803000B, true, false},
    {"Mode", false, 's', 0x6803000A, false, true},
    {"CAL_AVJ", false, 's', 0x68030009, false, true},
    {"CR_avJ", false, 's', 0x68030008, false, true},
    {"BGfilter", false, 's', 0x68030007, false, true},
    {"ADDvolume", false, 's', 0x68030006, false, true},
    {"CAL_spT", false, 's', 0x68030005, false, true},
    {"CAL_spJ", false, 's', 0x68030004, false, true},
    {"CAL_JQ", false, 's', 0x68030003, false, true},
    {"CR_SPJ", false, 's', 0x68030002, false, true},
    {"CR_spT", false, 's', 0x68030001, false, true},
    {"CR_JQ", false, 's', 0x68030000, false, true},
};

// One entry of the function table after IDispatch's: 'm' method, 'g' get or 'p' put.
struct GoldenPosition {
  const char* name;
  char kind;
  char type;
  std::int32_t dispid;
  bool hidden;
  bool help;
};

// The 52 positions: a method takes one, a property two (get, then put).
inline std::vector<GoldenPosition> GoldenPositions() {
  std::vector<GoldenPosition> positions;
  for (const GoldenMember& m : kGoldenInterface) {
    for (char kind : m.method ? std::vector{'m'} : std::vector{'g', 'p'}) {
      positions.push_back({m.name, kind, m.type, m.dispid, m.hidden, m.help});
    }
  }
  return positions;
}

}  // namespace pellix::testing
