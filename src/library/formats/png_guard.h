#pragma once
// The only place that lets libpng report a fatal error: its calls that may fail run
// through these, which return false instead. The long jump lives in png_guard.cpp alone,
// whose functions keep no objects with destructors alive across it.

#include <png.h>

namespace vistrel {

// Installs the error and warning handlers (warnings go to the trace log).
void install_png_handlers(png_structp png);
bool guarded_png_read_info(png_structp png, png_infop info);
bool guarded_png_read_update_info(png_structp png, png_infop info);
bool guarded_png_read_row(png_structp png, png_bytep row);
bool guarded_png_read_image(png_structp png, png_bytepp rows);
bool guarded_png_set_interlace_handling(png_structp png, int* passes);

}  // namespace vistrel

namespace vistrel {
class InputStream;
// Reads the picture from `input` (the libpng read function fails when it falls short).
void read_png_from(png_structp png, InputStream* input);
}  // namespace vistrel
