// The host engine's records and functions as the plug-in sees them: every
// offset the plug-in relies on is named here, and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)  // the engine calls and is called with the C convention
#define ENGINE_CALL __cdecl
#else  // one calling convention only
#define ENGINE_CALL
#endif

namespace engine {

// The engine is 32-bit code, and the offsets below are those of its records.
// A 64-bit build of the plug-in (used for testing) widens every pointer member
// to 8 bytes with natural alignment; members before it keep their offsets, and
// the static_asserts at the end state both layouts.

// An engine number: value x 1024 in a signed 32-bit integer.
using EngineNumber = int32_t;
// What the engine's name lookup returns: an address, 32 bits in the engine,
// widened to a pointer's size in a 64-bit build.
using EngineAddress = intptr_t;

struct EngineBitmap;

// The engine's script functions the plug-in calls, and its name lookup.
using LookupByName = EngineAddress(ENGINE_CALL*)(const char* name);
using BmapLockFunction = EngineNumber(ENGINE_CALL*)(EngineBitmap* bitmap, EngineNumber mode);
using BmapSizeFunction = EngineNumber(ENGINE_CALL*)(EngineBitmap* bitmap);
using BmapUnlockFunction = EngineNumber(ENGINE_CALL*)(EngineBitmap* bitmap);

constexpr bool kPointers64 = sizeof(void*) == 8;

// Byte offsets into the engine's records.
constexpr size_t kHostLookupByNameOffset = 2608;  // 8-aligned, so the same in both builds
constexpr size_t kVectorXOffset = 0;
constexpr size_t kVectorYOffset = 4;
constexpr size_t kVectorZOffset = 8;
constexpr size_t kNamedRecordNameOffset = kPointers64 ? 16 : 12;
constexpr size_t kBitmapBytesPerPixelOffset = 20;
constexpr size_t kBitmapPixelsOffset = kPointers64 ? 32 : 28;
constexpr size_t kBitmapFlagsOffset = kPointers64 ? 40 : 32;

// The interface record the engine hands to the binding entry. The plug-in
// reads its name lookup and nothing else.
struct HostRecord {
  uint8_t engineOwned[kHostLookupByNameOffset];
  LookupByName lookupByName;
};

// A vector of three engine numbers; engine vectors may carry more members
// after these, which the plug-in never reads.
struct Fixed10Vector {
  EngineNumber x;
  EngineNumber y;
  EngineNumber z;
};

// Any engine object with a name (entity, panel, bitmap, ...); only the name
// pointer is read.
struct EngineNamedRecord {
  EngineNumber engineOwned[3];
  const char* name;  // NUL-terminated, may be null
};

// An engine bitmap. The pixel pointer is valid only while the bitmap is
// locked; the rows follow one another without gaps, width x bytesPerPixel
// bytes each.
struct EngineBitmap {
  uint8_t engineOwned0[kBitmapBytesPerPixelOffset];
  int32_t bytesPerPixel;
  int32_t engineOwned1;
  uint8_t* pixels;
  int32_t flags;  // kBitmapFlagHighTypes and engine-private bits
};

// Set in EngineBitmap::flags: 565 and 4444 bitmaps take the higher skin codes.
constexpr int32_t kBitmapFlagHighTypes = 0x400;

static_assert(offsetof(HostRecord, lookupByName) == kHostLookupByNameOffset, "lookup offset");
static_assert(offsetof(Fixed10Vector, x) == kVectorXOffset, "vector x");
static_assert(offsetof(Fixed10Vector, y) == kVectorYOffset, "vector y");
static_assert(offsetof(Fixed10Vector, z) == kVectorZOffset, "vector z");
static_assert(sizeof(Fixed10Vector) == 12, "vector size");
static_assert(offsetof(EngineNamedRecord, name) == kNamedRecordNameOffset, "name offset");
static_assert(offsetof(EngineBitmap, bytesPerPixel) == kBitmapBytesPerPixelOffset, "bytes per pixel offset");
static_assert(offsetof(EngineBitmap, pixels) == kBitmapPixelsOffset, "pixel data offset");
static_assert(offsetof(EngineBitmap, flags) == kBitmapFlagsOffset, "flags offset");
static_assert(kPointers64 || (kNamedRecordNameOffset == 12 && kBitmapPixelsOffset == 28 &&
                              kBitmapFlagsOffset == 32 && sizeof(EngineAddress) == 4),
              "the engine's own 32-bit layout");

}  // namespace engine
