// A libnoise module with a known value that records where it was sampled.
#pragma once

#include <libnoise/noise.h>

#include <vector>

namespace testsupport {

// Returns Value(x, y, z) = x + 10 y + 100 z and records every GetValue call
// in order, so tests can check exact sample positions. It can be told to
// throw at a chosen call to test how callers pass exceptions on.
class RecordingModule : public noise::module::Module {
 public:
  struct Call {
    double x, y, z;
  };

  RecordingModule() : Module(0) {}

  int GetSourceModuleCount() const override { return 0; }
  double GetValue(double x, double y, double z) const override;

  static double Value(double x, double y, double z) { return x + 10.0 * y + 100.0 * z; }

  const std::vector<Call>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Makes call number `n` (1 = the next one) throw noise::ExceptionUnknown;
  // 0 disarms.
  void ThrowAtCall(size_t n) { throwAt_ = n == 0 ? 0 : calls_.size() + n; }

 private:
  mutable std::vector<Call> calls_;
  size_t throwAt_ = 0;
};

}  // namespace testsupport
