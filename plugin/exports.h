// The functions loamwriter exports to the host engine, under plain names. All
// numbers are engine fixed-point numbers (Fixed10); the pointers point into
// the engine's memory and are not kept after a call returns. None of them
// throws; results are the only report.
#pragma once

#include <cstdint>

#include "platform/engine_layout.h"
#include "platform/library_export.h"

// Binds the engine's script functions through the lookup of `record`. Returns
// 630; a null record or lookup binds nothing.
LIBRARY_EXPORT int32_t LIBRARY_CALL A6_DLLAPI(engine::HostRecord* record);

// Opens the terrain file `path` as an HMP7 file (closing one still open):
// 1024 when it was created and its provisional header written, else 0.
LIBRARY_EXPORT int32_t LIBRARY_CALL WriteHMP(const char* path);
// Sets the header's parameters (params y, z, x at 36, 40, 44) and the scale
// and offset that map packed 0..65535 onto min..max per axis. 1024; 0 for a
// null vector, which changes nothing.
LIBRARY_EXPORT int32_t LIBRARY_CALL WriteHmpHeader(const engine::Fixed10Vector* params,
                                                   const engine::Fixed10Vector* min,
                                                   const engine::Fixed10Vector* max);
// Writes a skin from an engine bitmap: level 0 with the rows in reverse order
// and, for the skin codes with mip levels, the three reduced levels. 1024 when
// the skin was written whole, 0 when a write fell short, -1024 for a bitmap
// that cannot be taken (nothing is written then).
LIBRARY_EXPORT int32_t LIBRARY_CALL WriteHmpSkin(const engine::EngineNamedRecord* rec,
                                                 engine::EngineBitmap* bitmap);
// Writes a blank skin of width x height zero bytes, type 0, no mip levels.
// 1024 when written whole; 0 when a write fell short or the size is refused.
LIBRARY_EXPORT int32_t LIBRARY_CALL WriteSkinEmpty(int32_t width, int32_t height,
                                                   const engine::EngineNamedRecord* rec);
// Starts a frame named after `rec`: 1024 when its header was written whole.
LIBRARY_EXPORT int32_t LIBRARY_CALL WriteHmpFrame(const engine::EngineNamedRecord* rec);
// Packs `height` with the header's z scale and offset and writes one vertex
// with the normal's x and y. Returns the packed height (0..65535) x 1024; a
// failed write cannot be told from the result.
LIBRARY_EXPORT int32_t LIBRARY_CALL WriteHmpVertex(int32_t height, const engine::Fixed10Vector* normal);
// Ends the current frame: 1024, or 0 when its header could not be rewritten.
LIBRARY_EXPORT int32_t LIBRARY_CALL WriteHmpFrameEnd();
// Writes the final header and closes the file: 1024, also with no file open;
// 0 when the final header could not be written whole.
LIBRARY_EXPORT int32_t LIBRARY_CALL WriteHmpClose();
