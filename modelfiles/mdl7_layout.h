// Record layout of MDL7 model files, shared by the writer and the reader.
#pragma once

#include <cstdint>

#include "modelfiles/skin_format.h"

namespace modelfiles {
namespace mdl7 {

// All values are little-endian; integers are signed 32-bit unless a width is
// given. Offsets are counted from the start of their record.

// Header, 48 bytes.
constexpr uint32_t kHeaderSize = 48;
constexpr uint32_t kHeaderVersion = 4;
constexpr uint32_t kHeaderBoneCount = 8;
constexpr uint32_t kHeaderGroupCount = 12;
// The file offset at which the model data ends and the triangle lump begins.
constexpr uint32_t kHeaderDataSize = 16;
constexpr uint32_t kHeaderLumpSize = 20;
constexpr uint32_t kHeaderSecondLumpSize = 24;
// Ten u16 record sizes, in this order, starting at kHeaderRecordSizes.
constexpr uint32_t kHeaderRecordSizes = 28;
constexpr uint32_t kHeaderBoneSize = 28;
constexpr uint32_t kHeaderSkinSize = 30;
constexpr uint32_t kHeaderColorValueSize = 32;
constexpr uint32_t kHeaderMaterialSize = 34;
constexpr uint32_t kHeaderTexCoordSize = 36;
constexpr uint32_t kHeaderTriangleSize = 38;
constexpr uint32_t kHeaderVertexSize = 40;
constexpr uint32_t kHeaderFrameVertexSize = 42;
constexpr uint32_t kHeaderBoneTransformSize = 44;
constexpr uint32_t kHeaderFrameSize = 46;
constexpr uint32_t kRecordSizeCount = 10;

// Record sizes this library writes. Readers take the main ones from the
// header instead; the group, deformer and lump records have fixed sizes.
constexpr uint16_t kBoneSize = 36;
constexpr uint16_t kSkinSize = 28;
constexpr uint16_t kColorValueSize = 16;
constexpr uint16_t kMaterialSize = 68;
constexpr uint16_t kTexCoordSize = 8;
constexpr uint16_t kTriangleSize = 16;
constexpr uint16_t kVertexSize = 26;
constexpr uint16_t kFrameVertexSize = 26;
constexpr uint16_t kBoneTransformSize = 68;
constexpr uint16_t kFrameSize = 24;
constexpr uint32_t kGroupSize = 44;
constexpr uint32_t kDeformerSize = 16;
constexpr uint32_t kDeformerElementSize = 28;
constexpr uint32_t kDeformerWeightSize = 8;
constexpr uint32_t kLumpHeaderSize = 12;
constexpr uint32_t kLumpSectionSize = 8;
constexpr uint32_t kLumpListSize = 8;
constexpr uint32_t kSecondLumpRecordSize = 8;

// A u16 bone, vertex or texture coordinate index of 0xFFFF means none.
constexpr uint16_t kNoIndex = 0xFFFF;

// Bone record: u16 parent, two reserved bytes, x, y, z, name.
constexpr uint32_t kBoneParent = 0;
constexpr uint32_t kBonePosition = 4;
constexpr uint32_t kBoneName = 16;
constexpr uint32_t kBoneNameSize = 20;

// Group record: u8 type, u8 deformer count, u8 deformer maximum, a reserved
// byte, the group data size (the group record and its counted records),
// name, then five counts.
constexpr uint32_t kGroupType = 0;
constexpr uint32_t kGroupDeformerCount = 1;
constexpr uint32_t kGroupDeformerMaximum = 2;
constexpr uint32_t kGroupDataSize = 4;
constexpr uint32_t kGroupName = 8;
constexpr uint32_t kGroupNameSize = 16;
constexpr uint32_t kGroupSkinCount = 24;
constexpr uint32_t kGroupTexCoordCount = 28;
constexpr uint32_t kGroupTriangleCount = 32;
constexpr uint32_t kGroupVertexCount = 36;
constexpr uint32_t kGroupFrameCount = 40;
// The group type of a mesh, the only one whose body is known record by record.
constexpr uint8_t kMeshGroupType = 1;

// Skin record: u8 type, three reserved bytes, width, height, name.
constexpr uint32_t kSkinType = 0;
constexpr uint32_t kSkinWidth = 4;
constexpr uint32_t kSkinHeight = 8;
constexpr uint32_t kSkinName = 12;
constexpr uint32_t kSkinNameSize = 16;
// Skin type bits: 0 to 2 the pixel format, 3 three reduced mip levels (both
// shared by every format, see skin_format.h), 4 a material record, 5 a sized
// block.
using modelfiles::kSkinFormatMask;
using modelfiles::kSkinMipFlag;
constexpr uint8_t kSkinHasMaterial = 0x10;
constexpr uint8_t kSkinHasSizedBlock = 0x20;
// Pixel format of embedded data: the writer stores width x height bytes for
// a type byte of exactly 6, the reader passes over `width` bytes for format 6.
constexpr uint8_t kEmbeddedSkinType = 6;

// Material record: four colour values of four 32-bit components, then one
// 32-bit value.
constexpr uint32_t kMaterialValue = 64;
// A sized block: a 32-bit length, then that many bytes.
constexpr uint32_t kSizedBlockLengthSize = 4;

// Texture coordinate record: s, t.
constexpr uint32_t kTexCoordS = 0;
constexpr uint32_t kTexCoordT = 4;

// Triangle record: three u16 vertex indices, three u16 texture coordinate
// indices, then the material (a 16-byte record only).
constexpr uint32_t kTriangleVertices = 0;
constexpr uint32_t kTriangleTexCoords = 6;
constexpr uint32_t kTriangleMaterial = 12;

// Vertex and frame vertex records: x, y, z, a u16 index (bone or replaced
// vertex), then the normal: three floats, or in a 16-byte record a u16 index
// into the normal table.
constexpr uint32_t kVertexPosition = 0;
constexpr uint32_t kVertexIndex = 12;
constexpr uint32_t kVertexNormal = 14;
constexpr uint32_t kCompactVertexSize = 16;

// Frame record: name, frame vertex count, bone transform count.
constexpr uint32_t kFrameName = 0;
constexpr uint32_t kFrameNameSize = 16;
constexpr uint32_t kFrameVertexCount = 16;
constexpr uint32_t kFrameTransformCount = 20;

// Bone transform record: sixteen 32-bit matrix values, u16 bone, reserved.
constexpr uint32_t kMatrixSize = 64;
constexpr uint32_t kTransformBone = 64;

// Deformer record: u8 version, u8 type, reserved, group index, element
// count, deformer data size (16 + 28 per element + 8 per weight).
constexpr uint32_t kDeformerType = 1;
constexpr uint32_t kDeformerGroup = 4;
constexpr uint32_t kDeformerElementCount = 8;
constexpr uint32_t kDeformerDataSize = 12;
// Deformer element record: element index, name, weight count.
constexpr uint32_t kElementIndex = 0;
constexpr uint32_t kElementName = 4;
constexpr uint32_t kElementNameSize = 20;
constexpr uint32_t kElementWeightCount = 24;
// Deformer weight record: vertex index, weight.
constexpr uint32_t kWeightIndex = 0;
constexpr uint32_t kWeightValue = 4;

// Lump header: version (1), byte size from the header's own start, section
// count. Section and list records: an id and a count. A record of the second
// lump: an id, then its byte size at kLumpByteSize, as in the lump header.
constexpr int32_t kLumpVersion = 1;
constexpr uint32_t kLumpHeaderVersion = 0;
constexpr uint32_t kSectionId = 0;
constexpr uint32_t kListId = 0;
constexpr uint32_t kSecondLumpId = 0;
constexpr uint32_t kLumpByteSize = 4;
constexpr uint32_t kLumpSectionCount = 8;
constexpr uint32_t kSectionListCount = 4;
constexpr uint32_t kListTriangleCount = 4;

}  // namespace mdl7
}  // namespace modelfiles
