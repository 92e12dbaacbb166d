#include "library/jpeg/jpeg_writer.h"

#include <jerror.h>

#include <algorithm>
#include <vector>

#include "library/jpeg/jpeg_guard.h"
#include "library/jpeg/jpeg_reader.h"

namespace vistrel {

namespace {

constexpr size_t kBufferSize = 4096;

struct StreamDestination {
    jpeg_destination_mgr pub;
    OutputStream* stream;
    JOCTET buffer[kBufferSize];
};

StreamDestination& destination_of(j_compress_ptr cinfo) {
    return *reinterpret_cast<StreamDestination*>(cinfo->dest);
}

void init_destination(j_compress_ptr cinfo) {
    StreamDestination& dest = destination_of(cinfo);
    dest.pub.next_output_byte = dest.buffer;
    dest.pub.free_in_buffer = kBufferSize;
}

boolean empty_output_buffer(j_compress_ptr cinfo) {
    StreamDestination& dest = destination_of(cinfo);
    if (dest.stream->write(dest.buffer, kBufferSize) != kBufferSize)
        raise_jpeg_error(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_WRITE);
    dest.pub.next_output_byte = dest.buffer;
    dest.pub.free_in_buffer = kBufferSize;
    return TRUE;
}

void term_destination(j_compress_ptr cinfo) {
    StreamDestination& dest = destination_of(cinfo);
    const size_t used = kBufferSize - dest.pub.free_in_buffer;
    if (used > 0 && dest.stream->write(dest.buffer, used) != used)
        raise_jpeg_error(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_WRITE);
}

}  // namespace

struct JpegWriter::State {
    jpeg_compress_struct cinfo{};
    JpegErrorManager errors;
    StreamDestination destination{};
    bool created = false;

    ~State() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

namespace {

// Creates the compression object writing to `output`; false when that fails.
bool set_up(JpegWriter::State& s, OutputStream& output) {
    install_error_manager(s.errors, *reinterpret_cast<jpeg_common_struct*>(&s.cinfo));
    if (!guarded_create_compress(&s.cinfo)) return false;
    s.created = true;
    if (!output.is_open()) return false;
    s.destination.pub.init_destination = init_destination;
    s.destination.pub.empty_output_buffer = empty_output_buffer;
    s.destination.pub.term_destination = term_destination;
    s.destination.stream = &output;
    s.cinfo.dest = &s.destination.pub;
    return true;
}

}  // namespace

JpegWriter::JpegWriter(OutputStream& output, int width, int height, int quality)
    : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    if (!set_up(s, output) || width <= 0 || height <= 0) return;
    m_ok = guarded_set_defaults(&s.cinfo, static_cast<JDIMENSION>(width),
                                static_cast<JDIMENSION>(height), quality) &&
           guarded_start_compress(&s.cinfo);
}

JpegWriter::~JpegWriter() = default;

bool JpegWriter::write_row(const uint8_t* rgb) {
    if (!m_ok) return false;
    State& s = *m_state;
    JSAMPROW row = const_cast<uint8_t*>(rgb);
    JDIMENSION done = 0;
    if (!guarded_write_scanlines(&s.cinfo, &row, 1, &done) || done != 1) m_ok = false;
    return m_ok;
}

bool JpegWriter::finish() {
    if (!m_ok) return false;
    State& s = *m_state;
    m_ok = s.cinfo.next_scanline == s.cinfo.image_height && guarded_finish_compress(&s.cinfo);
    return m_ok;
}

namespace {

// The profile as APP2 "ICC_PROFILE" segments, numbered 1..n, each as large as a segment
// allows.
bool write_icc_profile(j_compress_ptr cinfo, const std::vector<uint8_t>& profile) {
    constexpr size_t kHeader = 14, kChunk = 65533 - kHeader;
    const size_t count = (profile.size() + kChunk - 1) / kChunk;
    if (count > 255) return false;
    std::vector<JOCTET> segment;
    for (size_t i = 0; i < count; ++i) {
        const size_t start = i * kChunk, size = std::min(kChunk, profile.size() - start);
        static constexpr char kIcc[] = "ICC_PROFILE";
        segment.assign(kIcc, kIcc + sizeof kIcc);
        segment.push_back(JOCTET(i + 1));
        segment.push_back(JOCTET(count));
        segment.insert(segment.end(), profile.begin() + ptrdiff_t(start),
                       profile.begin() + ptrdiff_t(start + size));
        if (!guarded_write_marker(cinfo, JPEG_APP0 + 2, segment.data(), unsigned(segment.size())))
            return false;
    }
    return true;
}

}  // namespace

bool write_baseline_copy(JpegReader& reader, OutputStream& output) {
    if (!reader.coefficients()) return false;
    JpegWriter::State s;
    return set_up(s, output) &&
           guarded_write_coefficients(reader.handle(), &s.cinfo, reader.coefficients()) &&
           write_icc_profile(&s.cinfo, reader.icc_profile()) && guarded_finish_compress(&s.cinfo);
}

}  // namespace vistrel
