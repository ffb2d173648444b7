// The table of 162 unit normals that model files index into.
#pragma once

#include <cstdint>

namespace modelfiles {

// Number of entries in NormalTable; every stored normal index is valid only
// below it.
constexpr int32_t NormalCount = 162;

// The 162 unit vertex normals (x, y, z) of the model formats, in their
// published order. Model files store a normal as an index into this table.
extern const float NormalTable[NormalCount][3];

// a.x*b.x + a.y*b.y + a.z*b.z, accumulated in double precision and returned
// unrounded.
double Dot3(const float (&a)[3], const float (&b)[3]);

// The index (0 to 161) of the table entry whose dot product with the
// direction, rounded to float, is greatest. Ties go to the lowest index; a
// zero direction or one with a NaN component yields 0. The direction need
// not be normalised.
int32_t NearestNormalIndex(float x, float y, float z);

// Copies entry `index` into x, y and z and returns true when the index lies
// in 0 to 161; otherwise returns false and leaves the outputs untouched.
bool NormalFromIndex(int32_t index, float& x, float& y, float& z);

}  // namespace modelfiles
