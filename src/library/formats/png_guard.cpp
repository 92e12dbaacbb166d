#include "library/formats/png_guard.h"

#include <csetjmp>

#include "platform/trace.h"

namespace vistrel {

namespace {

[[noreturn]] void on_error(png_structp png, png_const_charp message) {
    trace() << "png: " << (message ? message : "error") << "\n";
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp message) {
    trace() << "png warning: " << (message ? message : "") << "\n";
}

}  // namespace

void install_png_handlers(png_structp png) {
    png_set_error_fn(png, nullptr, on_error, on_warning);
}

bool guarded_png_read_info(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    return true;
}

bool guarded_png_read_update_info(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_update_info(png, info);
    return true;
}

bool guarded_png_read_row(png_structp png, png_bytep row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_row(png, row, nullptr);
    return true;
}

bool guarded_png_read_image(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

bool guarded_png_set_interlace_handling(png_structp png, int* passes) {
    if (setjmp(png_jmpbuf(png))) return false;
    *passes = png_set_interlace_handling(png);
    return true;
}

}  // namespace vistrel

#include "platform/file_stream.h"

namespace vistrel {

namespace {

void read_bytes(png_structp png, png_bytep data, size_t count) {
    InputStream* input = static_cast<InputStream*>(png_get_io_ptr(png));
    if (!input || input->read(data, count) != count) png_error(png, "the file is cut short");
}

}  // namespace

void read_png_from(png_structp png, InputStream* input) {
    png_set_read_fn(png, input, read_bytes);
}

}  // namespace vistrel
