// What a long job tells about how far it has come.
#pragma once

#include <cstdint>

namespace platform {

// Hears how many units of a job are done, each time one more is, from the
// thread that runs the job. A report may end the job by throwing from
// Update: the job stops there and the exception passes to its caller.
class ProgressReport {
 public:
  virtual ~ProgressReport() = default;
  virtual void Update(uint64_t done) = 0;
};

}  // namespace platform
