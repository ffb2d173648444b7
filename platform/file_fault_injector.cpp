#include "platform/file_fault_injector.h"

#include <cstddef>

namespace platform {
namespace {

struct Fault {
  bool armed = false;
  bool fromThenOn = false;
  int callsLeft = 0;  // calls to let through before the failing one
};

struct FaultState {
  Fault calls[static_cast<size_t>(FileFaultInjector::Operation::kCount)];
  bool writeLimited = false;
  uint64_t writableBytes = 0;
  bool endReported = false;
  int64_t reportedEnd = 0;
};

FaultState& State() {
  static FaultState state;
  return state;
}

}  // namespace

void FileFaultInjector::FailCall(Operation operation, int nth, bool fromThenOn) {
  Fault& fault = State().calls[static_cast<size_t>(operation)];
  fault.armed = nth > 0;
  fault.fromThenOn = fromThenOn;
  fault.callsLeft = nth > 0 ? nth - 1 : 0;
}

void FileFaultInjector::LimitWrittenBytes(uint64_t bytes) {
  State().writeLimited = true;
  State().writableBytes = bytes;
}

void FileFaultInjector::ReportFileEnd(int64_t end) {
  State().endReported = true;
  State().reportedEnd = end;
}

void FileFaultInjector::Reset() { State() = FaultState(); }

bool FileFaultInjector::TakeFailure(Operation operation) {
  Fault& fault = State().calls[static_cast<size_t>(operation)];
  if (!fault.armed) return false;
  if (fault.callsLeft > 0) {
    --fault.callsLeft;
    return false;
  }
  if (!fault.fromThenOn) fault.armed = false;
  return true;
}

uint32_t FileFaultInjector::AllowWrite(uint32_t count) {
  const FaultState& state = State();
  if (!state.writeLimited || state.writableBytes >= count) return count;
  return static_cast<uint32_t>(state.writableBytes);
}

void FileFaultInjector::NoteWritten(uint32_t written) {
  FaultState& state = State();
  if (state.writeLimited) state.writableBytes -= written;
}

bool FileFaultInjector::TakeReportedEnd(int64_t& end) {
  FaultState& state = State();
  if (!state.endReported) return false;
  state.endReported = false;
  end = state.reportedEnd;
  return true;
}

}  // namespace platform
