// A stand-in for the host engine on the side that loads the plug-in.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/engine_layout.h"
#include "platform/engine_number.h"

namespace platform {

// Plays the host engine for programs and tests that drive loamwriter's
// exports: a host record whose name lookup answers every name (the four
// bitmap functions with working implementations, other names with distinct
// dummy addresses that must never be called), engine bitmaps with pixel data,
// and named records. It counts lookups and lock/unlock calls so callers can
// check how the plug-in used it. The engine's functions are plain C
// functions, so one stand-in at a time is current: the one constructed last
// and not yet destroyed. It owns every record it hands out; the records stay
// valid until it is destroyed.
class EngineStandIn {
 public:
  // Added to every engine number the stand-in returns for a size or a format:
  // a fraction the plug-in must drop by taking the integer part.
  static constexpr int32_t kFraction = 300;

  EngineStandIn();
  ~EngineStandIn();
  EngineStandIn(const EngineStandIn&) = delete;
  EngineStandIn& operator=(const EngineStandIn&) = delete;

  // The interface record the engine hands to the binding entry.
  engine::HostRecord* Host() { return &host_; }

  // Every name the lookup was asked for, in order.
  const std::vector<std::string>& LookedUpNames() const { return lookedUp_; }
  // What the lookup last answered for `name`; 0 when it was never asked.
  engine::EngineAddress AnswerFor(const std::string& name) const;
  // From now on the lookup answers 0 for `name`, as for a name the engine
  // does not know.
  void LeaveUnresolved(const std::string& name) { unresolved_.push_back(name); }

  // A bitmap whose bmap_lock reports `format` (565, 888, 4444, 8888, ...),
  // with the given size, bytes per pixel, flags and pixel rows, first row
  // first. The record's pixel pointer is set only while the bitmap is locked
  // (and stays null when `pixels` is empty).
  engine::EngineBitmap* AddBitmap(int32_t format, int32_t width, int32_t height, int32_t bytesPerPixel,
                                  int32_t flags, std::vector<uint8_t> pixels);
  // Calls of bmap_lock and bmap_unlock for `bitmap` so far.
  int LockCount(const engine::EngineBitmap* bitmap) const;
  int UnlockCount(const engine::EngineBitmap* bitmap) const;
  // Engine calls that broke the lock protocol: a lock of a locked bitmap, an
  // unlock of an unlocked one, a size asked for an unlocked one, a lock mode
  // other than 0, or any call with a bitmap the engine does not know.
  int ProtocolErrors() const { return protocolErrors_; }

  // A named record; a null name gives a record whose name pointer is null.
  engine::EngineNamedRecord* AddNamed(const char* name);

 private:
  struct Bitmap {
    engine::EngineBitmap record{};
    int32_t format = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
    int locks = 0;
    int unlocks = 0;
  };
  struct Named {
    engine::EngineNamedRecord record{};
    std::string name;
  };

  static engine::EngineAddress ENGINE_CALL Lookup(const char* name);
  static engine::EngineNumber ENGINE_CALL BmapLock(engine::EngineBitmap* bitmap, engine::EngineNumber mode);
  static engine::EngineNumber ENGINE_CALL BmapWidth(engine::EngineBitmap* bitmap);
  static engine::EngineNumber ENGINE_CALL BmapHeight(engine::EngineBitmap* bitmap);
  static engine::EngineNumber ENGINE_CALL BmapUnlock(engine::EngineBitmap* bitmap);

  // The current engine's bitmap behind `record`; null (and a protocol error)
  // for a record it does not own.
  static Bitmap* Find(engine::EngineBitmap* record);
  const Bitmap* FindConst(const engine::EngineBitmap* record) const;

  engine::HostRecord host_{};
  std::vector<std::string> lookedUp_;
  std::vector<std::pair<std::string, engine::EngineAddress>> answers_;
  std::vector<std::string> unresolved_;
  std::deque<Bitmap> bitmaps_;
  std::deque<Named> named_;
  int protocolErrors_ = 0;
  EngineStandIn* previous_ = nullptr;
};

// An engine number for a real value: value x 1024, truncated toward zero.
// NaN gives 0; values beyond the 32-bit range give the nearest end of it.
engine::EngineNumber ToFixed10(double value);
// RoundToFixed10 (platform/engine_number.h) rounds to the nearest instead.
// The real value an engine number stands for.
inline double FromFixed10(engine::EngineNumber value) { return static_cast<double>(value) / 1024.0; }

}  // namespace platform
