// Skin type bits and the bytes per pixel of each pixel format, per format family.
#pragma once

#include <cstdint>

namespace modelfiles {

// The type byte of a skin record holds the pixel format in bits 0 to 2 and,
// in bit 3, whether three reduced mip levels follow level 0. The formats
// agree on these bits but not on the sizes of the eight pixel formats, so
// each family has its own table below, indexed by `type & kSkinFormatMask`.
constexpr uint8_t kSkinFormatMask = 0x07;
constexpr uint8_t kSkinMipFlag = 0x08;
constexpr uint32_t kSkinFormatCount = kSkinFormatMask + 1;
// The 16-bit pixel format of 4 bits each of alpha, red, green and blue; the
// other 16-bit format holds 5 bits of red, 6 of green and 5 of blue.
constexpr uint8_t kSkinFormatArgb4444 = 3;

// An entry of -1 marks a pixel format the family refuses: the skin record is
// taken but not read.
constexpr int32_t kRefusedSkinFormat = -1;

// IDPO, MDL2, MDL3 and MDL4: 0 is one byte per pixel (a palette index); 2
// and 3 are two bytes per pixel (16-bit colour); 1 and 4 to 7 are refused.
constexpr int32_t kLegacyBytesPerPixel[kSkinFormatCount] = {1,
                                                            kRefusedSkinFormat,
                                                            2,
                                                            2,
                                                            kRefusedSkinFormat,
                                                            kRefusedSkinFormat,
                                                            kRefusedSkinFormat,
                                                            kRefusedSkinFormat};

// MDL5 and MDL6: 0 is one byte per pixel (a palette index); 2 and 3 two
// bytes (16-bit colour); 4 three bytes (24-bit colour); 5 four bytes (32-bit
// colour with alpha); 6 stores no pixels (a skin without image data); 1 and
// 7 are refused.
constexpr int32_t kMdl5BytesPerPixel[kSkinFormatCount] = {1, kRefusedSkinFormat, 2, 2, 3, 4,
                                                          0, kRefusedSkinFormat};

// MDL7 refuses no format: 0 is one byte per pixel (a palette index); 1
// stores no pixels; 2 and 3 two bytes (16-bit colour); 4 three bytes (24-bit
// colour); 5 four bytes (32-bit colour with alpha); 6 is embedded data, one
// byte per pixel when taken as an image (the structural walk passes over it
// by its width alone); 7 one byte per pixel.
constexpr int32_t kMdl7BytesPerPixel[kSkinFormatCount] = {1, 0, 2, 2, 3, 4, 1, 1};

}  // namespace modelfiles
