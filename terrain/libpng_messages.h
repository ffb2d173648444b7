// Where libpng's messages go, for the PNG reader and writer: an error is
// kept in the sink its structure was made with, then libpng jumps back;
// warnings are dropped. One making of the structures for both.
#pragma once

#include <png.h>

#include <cstdio>

namespace terrain {

struct LibpngErrorSink {
  char message[200] = {};
};

inline void KeepLibpngError(png_structp png, png_const_charp message) {
  LibpngErrorSink* sink = static_cast<LibpngErrorSink*>(png_get_error_ptr(png));
  std::snprintf(sink->message, sizeof sink->message, "%s", message != nullptr ? message : "libpng error");
  png_longjmp(png, 1);
}

inline void DropLibpngWarning(png_structp, png_const_charp) {}

// Makes the structures of `context` (its `png`, `info` and `sink`) with
// `create`, libpng's maker of a read or a write structure, its messages
// going to the context's sink. False when memory runs out; the context's
// destructor frees what was made either way.
template <typename Context>
bool MakeLibpngStructs(Context& context, decltype(&png_create_read_struct) create) {
  context.png = create(PNG_LIBPNG_VER_STRING, &context.sink, KeepLibpngError, DropLibpngWarning);
  if (context.png != nullptr) context.info = png_create_info_struct(context.png);
  return context.info != nullptr;
}

}  // namespace terrain
