#include "library/jpeg/jpeg_guard.h"

#include <atomic>
#include <csetjmp>
#include <type_traits>

#include <jerror.h>

#include "platform/trace.h"

namespace vistrel {

namespace {

std::atomic<bool> g_messages_shown{true};

JpegErrorManager& manager_of(j_common_ptr cinfo) {
    return *reinterpret_cast<JpegErrorManager*>(cinfo->err);
}

[[noreturn]] void on_error_exit(j_common_ptr cinfo) {
    JpegErrorManager& manager = manager_of(cinfo);
    if (!manager.quiet) (*cinfo->err->output_message)(cinfo);
    if (!manager.jump) log_fatal("on_error_exit()", "libjpeg error outside a guarded call");
    std::longjmp(*static_cast<std::jmp_buf*>(manager.jump), 1);
}

// Warnings (level -1) are counted, and those that mean broken entropy-coded data are
// remembered; only the first warning of an object is shown, as libjpeg itself does.
void on_emit_message(j_common_ptr cinfo, int level) {
    JpegErrorManager& manager = manager_of(cinfo);
    if (level >= 0) return;  // trace messages: our trace level is 0
    const int code = cinfo->err->msg_code;
    if (code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE || code == JWRN_MUST_RESYNC ||
        code == JWRN_NOT_SEQUENTIAL || code == JWRN_BOGUS_PROGRESSION ||
        code == JWRN_ARITH_BAD_CODE) {
        if (!manager.data_damaged && !manager.cut_short && cinfo->is_decompressor) {
            const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
            manager.damage_scan = dinfo->input_scan_number;
            manager.damage_row = int(dinfo->input_iMCU_row);
        }
        manager.data_damaged = manager.data_damaged || !manager.cut_short;
    }
    if (manager.warnings++ == 0 && !manager.quiet) (*cinfo->err->output_message)(cinfo);
}

void on_output_message(j_common_ptr cinfo) {
    if (!g_messages_shown) return;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    std::fprintf(stderr, "jpeg: %s\n", text);
}

using JpegStep = void (*)(void* arguments);

// Runs one library call with the error handler armed: false when the library raised an
// error inside it. The step and its arguments are plain data, so the long jump skips no
// destructor.
bool run_guarded(j_common_ptr cinfo, JpegStep step, void* arguments) {
    JpegErrorManager& manager = manager_of(cinfo);
    void* const previous = manager.jump;
    std::jmp_buf jump_buffer;
    manager.jump = &jump_buffer;
    if (setjmp(jump_buffer)) {
        manager.jump = previous;
        return false;
    }
    step(arguments);
    manager.jump = previous;
    return true;
}

template <typename Info>
j_common_ptr common(Info cinfo) {
    return reinterpret_cast<j_common_ptr>(cinfo);
}

// Runs a lambda under the guard. It must capture by reference only, so that nothing in its
// frame or ours needs destroying when the library jumps out of it.
template <typename Call>
bool guarded(j_common_ptr cinfo, Call&& call) {
    using Plain = std::remove_reference_t<Call>;
    static_assert(std::is_trivially_destructible_v<Plain>);
    return run_guarded(
        cinfo, [](void* p) { (*static_cast<Plain*>(p))(); }, &call);
}

}  // namespace

void show_jpeg_messages(bool shown) {
    g_messages_shown = shown;
}

bool jpeg_messages_shown() {
    return g_messages_shown;
}

void install_error_manager(JpegErrorManager& manager, jpeg_common_struct& object) {
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = on_error_exit;
    manager.pub.emit_message = on_emit_message;
    manager.pub.output_message = on_output_message;
    object.err = &manager.pub;
}

[[noreturn]] void raise_jpeg_error(j_common_ptr cinfo, int message_code) {
    cinfo->err->msg_code = message_code;
    (*cinfo->err->error_exit)(cinfo);
    log_fatal("raise_jpeg_error()", "libjpeg error handler returned");
}

[[noreturn]] void abandon_jpeg_call(j_common_ptr cinfo) {
    JpegErrorManager& manager = manager_of(cinfo);
    const bool quiet = manager.quiet;
    manager.quiet = true;
    if (!manager.jump) log_fatal("abandon_jpeg_call()", "libjpeg call abandoned outside a guard");
    std::jmp_buf* jump = static_cast<std::jmp_buf*>(manager.jump);
    manager.quiet = quiet;
    std::longjmp(*jump, 1);
}

bool guarded_create_decompress(j_decompress_ptr cinfo) {
    return guarded(common(cinfo), [&] { jpeg_create_decompress(cinfo); });
}

bool guarded_create_compress(j_compress_ptr cinfo) {
    return guarded(common(cinfo), [&] { jpeg_create_compress(cinfo); });
}

bool guarded_set_marker_processor(j_decompress_ptr cinfo, int marker_code,
                                  jpeg_marker_parser_method routine) {
    return guarded(common(cinfo), [&] { jpeg_set_marker_processor(cinfo, marker_code, routine); });
}

bool guarded_read_header(j_decompress_ptr cinfo, bool require_image, int* result) {
    return guarded(common(cinfo),
                   [&] { *result = jpeg_read_header(cinfo, require_image ? TRUE : FALSE); });
}

bool guarded_start_decompress(j_decompress_ptr cinfo, bool* started) {
    return guarded(common(cinfo), [&] { *started = jpeg_start_decompress(cinfo) != FALSE; });
}

bool guarded_read_scanlines(j_decompress_ptr cinfo, JSAMPARRAY rows, JDIMENSION count,
                            JDIMENSION* done) {
    return guarded(common(cinfo), [&] { *done = jpeg_read_scanlines(cinfo, rows, count); });
}

bool guarded_skip_scanlines(j_decompress_ptr cinfo, JDIMENSION count, JDIMENSION* skipped) {
    return guarded(common(cinfo), [&] { *skipped = jpeg_skip_scanlines(cinfo, count); });
}

bool guarded_crop_scanline(j_decompress_ptr cinfo, JDIMENSION* x, JDIMENSION* width) {
    return guarded(common(cinfo), [&] { jpeg_crop_scanline(cinfo, x, width); });
}

bool guarded_read_coefficients(j_decompress_ptr cinfo, jvirt_barray_ptr** coefficients) {
    return guarded(common(cinfo), [&] { *coefficients = jpeg_read_coefficients(cinfo); });
}

bool guarded_set_defaults(j_compress_ptr cinfo, JDIMENSION width, JDIMENSION height, int quality) {
    return guarded(common(cinfo), [&] {
        cinfo->image_width = width;
        cinfo->image_height = height;
        cinfo->input_components = 3;
        cinfo->in_color_space = JCS_RGB;
        jpeg_set_defaults(cinfo);
        jpeg_set_quality(cinfo, quality, FALSE);
    });
}

bool guarded_start_compress(j_compress_ptr cinfo) {
    return guarded(common(cinfo), [&] { jpeg_start_compress(cinfo, TRUE); });
}

bool guarded_write_scanlines(j_compress_ptr cinfo, JSAMPARRAY rows, JDIMENSION count,
                             JDIMENSION* done) {
    return guarded(common(cinfo), [&] { *done = jpeg_write_scanlines(cinfo, rows, count); });
}

bool guarded_finish_compress(j_compress_ptr cinfo) {
    return guarded(common(cinfo), [&] { jpeg_finish_compress(cinfo); });
}

bool guarded_write_marker(j_compress_ptr cinfo, int marker_code, const JOCTET* data,
                          unsigned length) {
    return guarded(common(cinfo), [&] { jpeg_write_marker(cinfo, marker_code, data, length); });
}

bool guarded_write_coefficients(j_decompress_ptr source, j_compress_ptr cinfo,
                                jvirt_barray_ptr* coefficients) {
    return guarded(common(cinfo), [&] {
        jpeg_copy_critical_parameters(source, cinfo);
        cinfo->optimize_coding = TRUE;
        cinfo->arith_code = FALSE;
        cinfo->restart_interval = 0;
        cinfo->restart_in_rows = 0;
        jpeg_write_coefficients(cinfo, coefficients);
    });
}

}  // namespace vistrel
