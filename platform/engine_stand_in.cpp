#include "platform/engine_stand_in.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace platform {
namespace {

EngineStandIn* current = nullptr;

// First dummy address handed out for names without a working function.
constexpr engine::EngineAddress kFirstDummyAddress = 0x10000;

// An engine number for an integer, with the stand-in's fraction added.
engine::EngineNumber WithFraction(int32_t value) {
  return static_cast<engine::EngineNumber>(static_cast<int64_t>(value) * 1024 + EngineStandIn::kFraction);
}

}  // namespace

EngineStandIn::EngineStandIn() : previous_(current) {
  host_.lookupByName = &EngineStandIn::Lookup;
  current = this;
}

EngineStandIn::~EngineStandIn() { current = previous_; }

engine::EngineAddress EngineStandIn::AnswerFor(const std::string& name) const {
  engine::EngineAddress answer = 0;
  for (const auto& entry : answers_) {
    if (entry.first == name) answer = entry.second;
  }
  return answer;
}

engine::EngineBitmap* EngineStandIn::AddBitmap(int32_t format, int32_t width, int32_t height,
                                               int32_t bytesPerPixel, int32_t flags,
                                               std::vector<uint8_t> pixels) {
  bitmaps_.emplace_back();
  Bitmap& bitmap = bitmaps_.back();
  bitmap.format = format;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.pixels = std::move(pixels);
  // Engine-owned bytes get a pattern, so a read of the wrong member shows.
  std::memset(bitmap.record.engineOwned0, 0xA5, sizeof bitmap.record.engineOwned0);
  bitmap.record.engineOwned1 = 0x5A5A5A5A;
  bitmap.record.bytesPerPixel = bytesPerPixel;
  bitmap.record.flags = flags;
  bitmap.record.pixels = nullptr;
  return &bitmap.record;
}

int EngineStandIn::LockCount(const engine::EngineBitmap* bitmap) const {
  const Bitmap* found = FindConst(bitmap);
  return found == nullptr ? 0 : found->locks;
}

int EngineStandIn::UnlockCount(const engine::EngineBitmap* bitmap) const {
  const Bitmap* found = FindConst(bitmap);
  return found == nullptr ? 0 : found->unlocks;
}

engine::EngineNamedRecord* EngineStandIn::AddNamed(const char* name) {
  named_.emplace_back();
  Named& named = named_.back();
  for (engine::EngineNumber& member : named.record.engineOwned) member = 0x5A5A5A5A;
  if (name != nullptr) {
    named.name = name;
    named.record.name = named.name.c_str();
  }
  return &named.record;
}

engine::EngineAddress ENGINE_CALL EngineStandIn::Lookup(const char* name) {
  EngineStandIn& engine = *current;
  const std::string key = name == nullptr ? std::string() : std::string(name);
  engine.lookedUp_.push_back(key);
  engine::EngineAddress answer =
      kFirstDummyAddress + static_cast<engine::EngineAddress>(16 * engine.lookedUp_.size());
  if (key == "bmap_lock") answer = reinterpret_cast<engine::EngineAddress>(&EngineStandIn::BmapLock);
  if (key == "bmap_width") answer = reinterpret_cast<engine::EngineAddress>(&EngineStandIn::BmapWidth);
  if (key == "bmap_height") answer = reinterpret_cast<engine::EngineAddress>(&EngineStandIn::BmapHeight);
  if (key == "bmap_unlock") answer = reinterpret_cast<engine::EngineAddress>(&EngineStandIn::BmapUnlock);
  for (const std::string& unresolved : engine.unresolved_) {
    if (unresolved == key) answer = 0;
  }
  engine.answers_.emplace_back(key, answer);
  return answer;
}

EngineStandIn::Bitmap* EngineStandIn::Find(engine::EngineBitmap* record) {
  for (Bitmap& bitmap : current->bitmaps_) {
    if (&bitmap.record == record) return &bitmap;
  }
  ++current->protocolErrors_;
  return nullptr;
}

const EngineStandIn::Bitmap* EngineStandIn::FindConst(const engine::EngineBitmap* record) const {
  for (const Bitmap& bitmap : bitmaps_) {
    if (&bitmap.record == record) return &bitmap;
  }
  return nullptr;
}

engine::EngineNumber ENGINE_CALL EngineStandIn::BmapLock(engine::EngineBitmap* record,
                                                         engine::EngineNumber mode) {
  Bitmap* bitmap = Find(record);
  if (bitmap == nullptr) return 0;
  if (mode != 0 || bitmap->locks != bitmap->unlocks) ++current->protocolErrors_;
  ++bitmap->locks;
  bitmap->record.pixels = bitmap->pixels.empty() ? nullptr : bitmap->pixels.data();
  return WithFraction(bitmap->format);
}

engine::EngineNumber ENGINE_CALL EngineStandIn::BmapWidth(engine::EngineBitmap* record) {
  Bitmap* bitmap = Find(record);
  if (bitmap == nullptr) return 0;
  if (bitmap->locks == bitmap->unlocks) ++current->protocolErrors_;
  return WithFraction(bitmap->width);
}

engine::EngineNumber ENGINE_CALL EngineStandIn::BmapHeight(engine::EngineBitmap* record) {
  Bitmap* bitmap = Find(record);
  if (bitmap == nullptr) return 0;
  if (bitmap->locks == bitmap->unlocks) ++current->protocolErrors_;
  return WithFraction(bitmap->height);
}

engine::EngineNumber ENGINE_CALL EngineStandIn::BmapUnlock(engine::EngineBitmap* record) {
  Bitmap* bitmap = Find(record);
  if (bitmap == nullptr) return 0;
  if (bitmap->locks == bitmap->unlocks) {
    ++current->protocolErrors_;
  } else {
    ++bitmap->unlocks;
  }
  bitmap->record.pixels = nullptr;
  return 0;
}

engine::EngineNumber ToFixed10(double value) { return SaturateToEngineNumber(value * 1024.0); }

}  // namespace platform
