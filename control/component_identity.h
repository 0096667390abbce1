// The component's identity as its type library declares it: the library and the three
// automation objects, each with its fixed globally unique identifier.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pellix {

// A globally unique identifier in the platform's layout.
struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::array<std::uint8_t, 8> data4;

  friend constexpr bool operator==(const Guid&, const Guid&) = default;
};

// The registry form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
std::string GuidText(const Guid& id);

// The type library Pellix.
inline constexpr Guid kLibraryId = {
    0x5f25282c, 0x5e02, 0x4b32, {0x8c, 0x73, 0x7b, 0x07, 0x0c, 0xb1, 0xd5, 0x31}};
inline constexpr std::string_view kLibraryName = "Pellix";
inline constexpr std::uint32_t kLibraryLocale = 0x409;
inline constexpr std::string_view kLibraryHelpString = "Kelvane ActiveX VR1J";
inline constexpr std::uint16_t kLibraryMajorVersion = 1;
inline constexpr std::uint16_t kLibraryMinorVersion = 0;

// _ALG_V1S, the default dual dispatch interface.
inline constexpr Guid kInterfaceId = {
    0xc7b328be, 0xddc6, 0x416f, {0x9b, 0x55, 0x77, 0xf3, 0xf9, 0xdd, 0x83, 0x2a}};
// ALG_V1S, the control class.
inline constexpr Guid kClassId = {
    0xdcdcc0a1, 0xb7c2, 0x4620, {0xb8, 0xcf, 0x53, 0x02, 0x33, 0x90, 0x58, 0xe8}};
// __ALG_V1S, the outgoing (event) interface.
inline constexpr Guid kEventInterfaceId = {
    0x26d14d03, 0x543d, 0x46ef, {0x8a, 0xfc, 0x98, 0xb1, 0x4f, 0x96, 0x27, 0xc3}};

}  // namespace pellix
