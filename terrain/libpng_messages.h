// Where libpng's messages go, for the PNG reader and writer: an error is
// kept in the sink its structure was made with, then libpng jumps back;
// warnings are dropped.
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

}  // namespace terrain
