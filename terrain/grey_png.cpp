// Greyscale PNG pictures: read through libpng's row-by-row interface,
// written through the one PNG writer (png_encoder.h). libpng reports errors
// by a long jump, so every call into it happens in a small function that
// holds no object with a destructor.
#include "terrain/grey_png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/file_replacement.h"
#include "terrain/libpng_messages.h"
#include "terrain/whole_output.h"

namespace terrain {

namespace {

// Deflate packs at most about 1032 bytes into one; a picture that declares
// more row bytes than that allows for its data is damaged, and is refused
// before its rows are allocated.
constexpr uint64_t kLargestInflation = 1040;
constexpr uint64_t kInflationSlack = 4096;
// The largest grid a terrain can hold.
constexpr uint64_t kLargestSamples = INT32_MAX;

// The picture's bytes, read in order.
struct MemorySource {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  MemorySource* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (count > source->size - source->at) png_error(png, "the file ends inside the picture");
  std::memcpy(out, source->data + source->at, count);
  source->at += count;
}

// The read structures, destroyed whatever happens.
struct ReadContext {
  png_structp png = nullptr;
  png_infop info = nullptr;
  LibpngErrorSink sink;
  MemorySource source;
  ~ReadContext() { png_destroy_read_struct(&png, &info, nullptr); }
};

// What the header says, after the transformations are set up.
struct HeaderInfo {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colourType = 0;
  size_t rowBytes = 0;
  int channels = 0;
};

int BytesPerSample(const HeaderInfo& header) { return header.bitDepth == 16 ? 2 : 1; }

bool ReadHeader(ReadContext& context, HeaderInfo& header) {
  if (setjmp(png_jmpbuf(context.png))) return false;
  png_set_read_fn(context.png, &context.source, ReadFromMemory);
  png_read_info(context.png, context.info);
  header.colourType = static_cast<int>(png_get_color_type(context.png, context.info));
  header.bitDepth = static_cast<int>(png_get_bit_depth(context.png, context.info));
  if (header.colourType != PNG_COLOR_TYPE_GRAY && header.colourType != PNG_COLOR_TYPE_GRAY_ALPHA) {
    return true;
  }
  if (header.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(context.png);
  if ((header.colourType & PNG_COLOR_MASK_ALPHA) != 0) png_set_strip_alpha(context.png);
  png_set_interlace_handling(context.png);
  png_read_update_info(context.png, context.info);
  header.width = png_get_image_width(context.png, context.info);
  header.height = png_get_image_height(context.png, context.info);
  header.rowBytes = png_get_rowbytes(context.png, context.info);
  header.channels = static_cast<int>(png_get_channels(context.png, context.info));
  return true;
}

bool ReadRows(ReadContext& context, png_bytepp rows) {
  if (setjmp(png_jmpbuf(context.png))) return false;
  png_read_image(context.png, rows);
  // The chunks after the data join those before it.
  png_read_end(context.png, context.info);
  return true;
}

void CopyTexts(const ReadContext& context, std::vector<PictureText>& texts) {
  png_textp text = nullptr;
  const int count = png_get_text(context.png, context.info, &text, nullptr);
  for (int i = 0; i < count; ++i) {
    texts.push_back({text[i].key != nullptr ? text[i].key : "",
                     text[i].text != nullptr ? std::string(text[i].text, text[i].text_length) : ""});
  }
}

using Kind = TerrainResult::Kind;

// Refuses a picture the terrain cannot take: one in colour, of a layout
// other than one grey sample of 8 or 16 bits a pixel, or declaring more
// pixels than a terrain holds or than its `fileSize` bytes can inflate to.
TerrainResult CheckHeader(const HeaderInfo& header, size_t fileSize) {
  if (header.colourType != PNG_COLOR_TYPE_GRAY && header.colourType != PNG_COLOR_TYPE_GRAY_ALPHA) {
    return TerrainResult(Kind::kUnsupported, "a colour PNG picture; only greyscale pictures hold heights");
  }
  const uint64_t samples = uint64_t{header.width} * header.height;
  if (header.channels != 1 || header.rowBytes != uint64_t{header.width} * BytesPerSample(header)) {
    return TerrainResult(Kind::kUnsupported, "a PNG picture of an unsupported layout");
  }
  if (samples > kLargestSamples ||
      (uint64_t{header.rowBytes} + 1) * header.height > fileSize * kLargestInflation + kInflationSlack) {
    return TerrainResult(Kind::kMalformed,
                         "damaged PNG picture: it declares " + std::to_string(header.width) + " x " +
                             std::to_string(header.height) + " pixels, more than its data can hold");
  }
  return TerrainResult();
}

// Reads the rows of a picture that CheckHeader took into `picture`: its
// samples widened to 16 bits, its size and its texts.
TerrainResult ReadSamples(ReadContext& context, const HeaderInfo& header, GreyPicture& picture) {
  const uint64_t samples = uint64_t{header.width} * header.height;
  std::vector<uint8_t> data;
  std::vector<png_bytep> rows;
  try {
    data.resize(header.rowBytes * header.height);
    rows.resize(header.height);
    picture.samples.resize(static_cast<size_t>(samples));
  } catch (const std::bad_alloc&) {
    return TerrainResult(Kind::kTooLarge, "not enough memory for the picture");
  }
  for (png_uint_32 y = 0; y < header.height; ++y) rows[y] = data.data() + header.rowBytes * y;
  if (!ReadRows(context, rows.data())) {
    return TerrainResult(Kind::kMalformed, std::string("damaged PNG picture: ") + context.sink.message);
  }
  picture.texts.clear();
  CopyTexts(context, picture.texts);
  const bool wide = BytesPerSample(header) == 2;
  for (size_t i = 0; i < picture.samples.size(); ++i) {
    picture.samples[i] = wide ? static_cast<uint16_t>(data[2 * i] << 8 | data[2 * i + 1])
                              : static_cast<uint16_t>(data[i] * 257);
  }
  picture.width = static_cast<int32_t>(header.width);
  picture.height = static_cast<int32_t>(header.height);
  return TerrainResult();
}

}  // namespace

bool GreyPngSupported() { return true; }

TerrainResult ReadGreyPng(const std::vector<uint8_t>& bytes, GreyPicture& picture) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
    return TerrainResult(Kind::kUnsupported, "not a PNG picture");
  }
  ReadContext context;
  context.source.data = bytes.data();
  context.source.size = bytes.size();
  if (!MakeLibpngStructs(context, png_create_read_struct)) {
    return TerrainResult(Kind::kTooLarge, "not enough memory to read the picture");
  }
  HeaderInfo header;
  if (!ReadHeader(context, header)) {
    return TerrainResult(Kind::kMalformed, std::string("damaged PNG picture: ") + context.sink.message);
  }
  const TerrainResult checked = CheckHeader(header, bytes.size());
  if (!checked) return checked;
  return ReadSamples(context, header, picture);
}

TerrainResult WriteGreyPng(const GreyPicture& picture, const std::string& path) {
  const uint64_t count = static_cast<uint64_t>(picture.width) * static_cast<uint64_t>(picture.height);
  if (picture.width <= 0 || picture.height <= 0 || count != picture.samples.size()) {
    return TerrainResult(Kind::kInvalidArgument, "the picture needs width x height samples, at least one")
        .WithPath(path, "cannot write");
  }
  std::vector<uint8_t> data, out;
  try {
    data.resize(static_cast<size_t>(count) * 2);
  } catch (const std::bad_alloc&) {
    return TerrainResult(Kind::kTooLarge, "not enough memory").WithPath(path, "cannot write");
  }
  // PNG stores 16-bit samples most significant byte first.
  for (size_t i = 0; i < picture.samples.size(); ++i) {
    data[2 * i] = static_cast<uint8_t>(picture.samples[i] >> 8);
    data[2 * i + 1] = static_cast<uint8_t>(picture.samples[i] & 0xFF);
  }
  PngLayout layout;
  layout.width = picture.width;
  layout.height = picture.height;
  layout.bitDepth = 16;
  layout.channels = 1;
  layout.texts = picture.texts;
  const TerrainResult encoded = EncodePng(layout, data.data(), out);
  if (!encoded) return encoded.WithPath(path, "cannot write");
  return WriteWholeOutput(path, out);
}

}  // namespace terrain
