// libpng reports errors by a long jump, so every call into it happens in a
// small function that holds no object with a destructor.
#include "terrain/png_encoder.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <new>

#include "terrain/libpng_messages.h"

namespace terrain {

namespace {

void WriteToMemory(png_structp png, png_bytep data, png_size_t count) {
  std::vector<uint8_t>* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  try {
    out->insert(out->end(), data, data + count);
  } catch (const std::bad_alloc&) {
    png_error(png, "not enough memory for the picture");
  }
}

void FlushNothing(png_structp) {}

// The write structures, destroyed whatever happens.
struct WriteContext {
  png_structp png = nullptr;
  png_infop info = nullptr;
  LibpngErrorSink sink;
  ~WriteContext() { png_destroy_write_struct(&png, &info); }
};

int ColourType(int channels) {
  return channels == 1 ? PNG_COLOR_TYPE_GRAY : channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
}

bool WriteRows(WriteContext& context, const PngLayout& layout, png_bytepp rows, png_textp texts,
               std::vector<uint8_t>& out) {
  if (setjmp(png_jmpbuf(context.png))) return false;
  png_set_write_fn(context.png, &out, WriteToMemory, FlushNothing);
  png_set_IHDR(context.png, context.info, static_cast<png_uint_32>(layout.width),
               static_cast<png_uint_32>(layout.height), layout.bitDepth, ColourType(layout.channels),
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (layout.compressionLevel >= 0) png_set_compression_level(context.png, layout.compressionLevel);
  if (layout.filters >= 0) png_set_filter(context.png, PNG_FILTER_TYPE_BASE, layout.filters);
  if (layout.sRGB) png_set_sRGB(context.png, context.info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (!layout.texts.empty())
    png_set_text(context.png, context.info, texts, static_cast<int>(layout.texts.size()));
  png_write_info(context.png, context.info);
  png_write_image(context.png, rows);
  png_write_end(context.png, nullptr);
  return true;
}

}  // namespace

static_assert(PngLayout::kSubFilterOnly == PNG_FILTER_SUB, "the Sub filter's mask is libpng's");

bool PngEncoderSupported() { return true; }

TerrainResult EncodePng(const PngLayout& layout, const uint8_t* samples, std::vector<uint8_t>& png) {
  using Kind = TerrainResult::Kind;
  if (layout.width <= 0 || layout.height <= 0) {
    return TerrainResult(Kind::kInvalidArgument, "cannot write an empty picture");
  }
  const size_t rowBytes = static_cast<size_t>(layout.width) * static_cast<size_t>(layout.channels) *
                          (layout.bitDepth == 16 ? 2 : 1);
  std::vector<png_bytep> rows;
  std::vector<png_text> texts;
  png.clear();
  try {
    rows.resize(static_cast<size_t>(layout.height));
    // libpng copies the texts; it only reads through these pointers.
    for (const PictureText& text : layout.texts) {
      png_text chunk{};
      chunk.compression = PNG_TEXT_COMPRESSION_NONE;
      chunk.key = const_cast<char*>(text.keyword.c_str());
      chunk.text = const_cast<char*>(text.text.c_str());
      chunk.text_length = text.text.size();
      texts.push_back(chunk);
    }
  } catch (const std::bad_alloc&) {
    return TerrainResult(Kind::kTooLarge, "not enough memory for the picture");
  }
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = const_cast<png_bytep>(samples + rowBytes * y);
  WriteContext context;
  if (!MakeLibpngStructs(context, png_create_write_struct)) {
    return TerrainResult(Kind::kTooLarge, "not enough memory for the picture");
  }
  if (!WriteRows(context, layout, rows.data(), texts.data(), png)) {
    png.clear();
    return TerrainResult(Kind::kInvalidArgument, context.sink.message);
  }
  return TerrainResult();
}

}  // namespace terrain
