#include "platform/value.h"

namespace pellix {

double Value::number() const {
  switch (type()) {
    case ValueType::kInteger:
      return integer();
    case ValueType::kLong:
      return long_value();
    case ValueType::kDouble:
      return double_value();
    default:
      return 0.0;
  }
}

}  // namespace pellix
