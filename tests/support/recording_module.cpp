#include "support/recording_module.h"

namespace testsupport {

double RecordingModule::GetValue(double x, double y, double z) const {
  calls_.push_back({x, y, z});
  if (throwAt_ != 0 && calls_.size() == throwAt_) throw noise::ExceptionUnknown();
  return Value(x, y, z);
}

}  // namespace testsupport
