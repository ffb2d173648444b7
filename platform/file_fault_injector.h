// Test seam of LowLevelFile: makes chosen calls fail or writes come up short.
#pragma once

#include <cstdint>

namespace platform {

// Holds the faults that LowLevelFile applies before it calls the system.
// Nothing is armed at start, and Reset disarms everything, restoring the real
// calls. Meant for tests; the state is process-wide and not thread-safe.
class FileFaultInjector {
 public:
  enum class Operation {
    kOpen,
    kRead,
    kWrite,
    kSeek,
    kClose,
    kTruncate,
    // The calls that replace a file whole: looking at a name, following a
    // link, flushing to the device, setting permissions, renaming, removing.
    kStatus,
    kReadLink,
    kSync,
    kSetPermission,
    kReplace,
    kRemove,
    kCount
  };

  FileFaultInjector() = delete;

  // Makes the nth call of the operation from now on fail (n = 1 is the next
  // call); with fromThenOn every later call fails as well. A failed call
  // returns -1 without reaching the system.
  static void FailCall(Operation operation, int nth, bool fromThenOn = false);
  // Lets only `bytes` more bytes be written in all: the write that crosses the
  // limit comes up short, and every write after it fails, as on a full device.
  static void LimitWrittenBytes(uint64_t bytes);
  // Makes the next seek to the end of a file that succeeds report `end` as
  // the file's size, whatever it is: huge sizes, and the ends that
  // directories claim on some systems, reach every build this way.
  static void ReportFileEnd(int64_t end);
  // Disarms every fault.
  static void Reset();

  // Called by LowLevelFile once per call: true when this call must fail.
  static bool TakeFailure(Operation operation);
  // Called by LowLevelFile before a write of `count` bytes: how many of them
  // may reach the file. 0 makes the write fail.
  static uint32_t AllowWrite(uint32_t count);
  // Called by LowLevelFile after a write: `written` bytes reached the file.
  static void NoteWritten(uint32_t written);
  // Called by LowLevelFile after a seek to the end succeeded: true, with the
  // end to report in `end`, when ReportFileEnd armed one.
  static bool TakeReportedEnd(int64_t& end);
};

}  // namespace platform
