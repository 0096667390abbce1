#include "control/component_identity.h"

#include <cstdio>

namespace pellix {

std::string GuidText(const Guid& id) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(id.data1), static_cast<unsigned>(id.data2),
                static_cast<unsigned>(id.data3), id.data4[0], id.data4[1], id.data4[2], id.data4[3],
                id.data4[4], id.data4[5], id.data4[6], id.data4[7]);
  return text;
}

}  // namespace pellix
