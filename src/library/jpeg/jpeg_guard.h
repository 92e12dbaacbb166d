#pragma once
// The only place that lets libjpeg report a fatal error: every library call that may fail
// runs through one of the guarded_* functions, which return false instead of ending the
// process. The long jump behind this lives in jpeg_guard.cpp alone; the functions there
// keep no objects with destructors alive across it.

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace vistrel {

// libjpeg's error manager with what we keep about one decompression or compression.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    void* jump = nullptr;       // the armed guard's jump buffer; null between calls
    int warnings = 0;           // every warning so far
    bool data_damaged = false;  // a warning said the entropy-coded data is broken
    bool cut_short = false;     // the input ended before the picture did (set by the source);
                                // what the decoder then warns about is not damage
    int damage_scan = 0;        // where the first damage was met: scan (from 1) and row of
    int damage_row = 0;         // MCUs within it
    bool quiet = false;         // when set, nothing is written to standard error
};

// Whether libjpeg's warnings and errors are written to standard error (by default they
// are) or to the trace log, for every object of the process.
void show_jpeg_messages(bool shown);
bool jpeg_messages_shown();

// Fills in libjpeg's standard routines and ours; call before creating the object.
void install_error_manager(JpegErrorManager& manager, jpeg_common_struct& object);

bool guarded_create_decompress(j_decompress_ptr cinfo);
bool guarded_create_compress(j_compress_ptr cinfo);

// jpeg_set_marker_processor.
bool guarded_set_marker_processor(j_decompress_ptr cinfo, int marker_code,
                                  jpeg_marker_parser_method routine);
// jpeg_read_header; `result` receives its answer.
bool guarded_read_header(j_decompress_ptr cinfo, bool require_image, int* result);
// jpeg_start_decompress; `started` is false when the source ran out of data.
bool guarded_start_decompress(j_decompress_ptr cinfo, bool* started);
bool guarded_read_scanlines(j_decompress_ptr cinfo, JSAMPARRAY rows, JDIMENSION count,
                            JDIMENSION* done);
bool guarded_skip_scanlines(j_decompress_ptr cinfo, JDIMENSION count, JDIMENSION* skipped);
bool guarded_crop_scanline(j_decompress_ptr cinfo, JDIMENSION* x, JDIMENSION* width);
// jpeg_read_coefficients: every scan of the picture, gathered as quantised coefficients.
bool guarded_read_coefficients(j_decompress_ptr cinfo, jvirt_barray_ptr** coefficients);

// jpeg_set_defaults and jpeg_set_quality for RGB input of the given size.
bool guarded_set_defaults(j_compress_ptr cinfo, JDIMENSION width, JDIMENSION height, int quality);
bool guarded_start_compress(j_compress_ptr cinfo);
bool guarded_write_scanlines(j_compress_ptr cinfo, JSAMPARRAY rows, JDIMENSION count,
                             JDIMENSION* done);
bool guarded_finish_compress(j_compress_ptr cinfo);
// jpeg_write_marker, between the start of compression and the first row.
bool guarded_write_marker(j_compress_ptr cinfo, int marker_code, const JOCTET* data,
                          unsigned length);
// Sets up `cinfo` to write the coefficients `source` read as one sequential scan coded
// with Huffman tables made for them (jpeg_copy_critical_parameters, jpeg_write_coefficients).
bool guarded_write_coefficients(j_decompress_ptr source, j_compress_ptr cinfo,
                                jvirt_barray_ptr* coefficients);

// Raises a library error from inside a callback (a data source or destination); it
// returns through the guard of the call that is running.
[[noreturn]] void raise_jpeg_error(j_common_ptr cinfo, int message_code);
// The same without a message: the call was abandoned on purpose (a stop request).
[[noreturn]] void abandon_jpeg_call(j_common_ptr cinfo);

}  // namespace vistrel
