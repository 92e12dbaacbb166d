#include "library/jpeg/jpeg_reader.h"

#include <jerror.h>

#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "library/colour/colour_transform.h"
#include "library/colour/icc_chunks.h"
#include "library/jpeg/jpeg_guard.h"
#include "platform/threads.h"
#include "platform/trace.h"

// libjpeg's entropy-decoder interface. Its header (jpegint.h) is not installed; the
// interface has had this shape since version 6, and we only replace its MCU method.
struct jpeg_entropy_decoder {
    void (*start_pass)(j_decompress_ptr cinfo);
    boolean (*decode_mcu)(j_decompress_ptr cinfo, JBLOCKROW* MCU_data);
    boolean insufficient_data;
};

namespace vistrel {

namespace {

constexpr size_t kBufferSize = 4096;
// More scans than any encoder writes; hostile files with thousands of tiny scans would
// otherwise keep us busy for minutes.
constexpr int kMaxScans = 1000;
// Coefficient memory for multi-scan pictures (a 100-megapixel progressive picture needs
// about 300 MB).
constexpr long kMaxMemory = 512L << 20;
// A picture cut short shows when this much of its entropy-coded data is there.
constexpr uint64_t kLeastData = 16;

// The ICC chunks of the APP2 segments read with the header, in libjpeg's memory pool (so a
// long jump leaves nothing behind). No more than a profile can take is kept.
struct IccSegments {
    static constexpr size_t kMaxSegments = 255;
    std::array<std::span<const uint8_t>, kMaxSegments> segments;
    size_t count = 0;
    size_t bytes = 0;
    bool too_many = false;  // more chunks or bytes than a profile has: none is believed
};

// The data source: reads the stream through a 4096-byte buffer, from a position of its
// own so that others may read the same stream in between.
struct StreamSource {
    jpeg_source_mgr pub;
    InputStream* stream;
    uint64_t next_read;  // stream position of the next refill
    int64_t unread;      // input bytes not yet delivered to the library
    bool ended = false;  // the input is used up; the library reads a made-up end marker
    IccSegments* icc = nullptr;
    JOCTET buffer[kBufferSize];
};

StreamSource& source_of(j_decompress_ptr cinfo) {
    return *reinterpret_cast<StreamSource*>(cinfo->src);
}

void init_source(j_decompress_ptr cinfo) {
    source_of(cinfo).pub.bytes_in_buffer = 0;
}

// The end of the input before the end of the picture: the library is handed an end of
// image marker, so that it finishes the picture with what it has (the rest grey).
constexpr JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

boolean fill_input_buffer(j_decompress_ptr cinfo) {
    StreamSource& src = source_of(cinfo);
    size_t got = 0;
    if (src.stream->seek(src.next_read)) got = src.stream->read(src.buffer, kBufferSize);
    if (got == 0) {
        reinterpret_cast<JpegErrorManager*>(cinfo->err)->cut_short = true;
        src.ended = true;
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src.pub.next_input_byte = kEndOfImage;
        src.pub.bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }
    src.next_read += got;
    src.unread -= static_cast<int64_t>(got);
    src.pub.next_input_byte = src.buffer;
    src.pub.bytes_in_buffer = got;
    return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long count) {
    StreamSource& src = source_of(cinfo);
    if (count <= 0) return;
    const auto n = static_cast<uint64_t>(count);
    if (n <= src.pub.bytes_in_buffer) {
        src.pub.next_input_byte += n;
        src.pub.bytes_in_buffer -= n;
        return;
    }
    const uint64_t rest = n - src.pub.bytes_in_buffer;
    src.next_read += rest;
    src.unread -= static_cast<int64_t>(rest);
    src.pub.bytes_in_buffer = 0;
}

void term_source(j_decompress_ptr) {}

// The next byte of the input; our source never suspends (past the end it repeats an end
// of image marker).
JOCTET next_byte(j_decompress_ptr cinfo) {
    jpeg_source_mgr& src = *cinfo->src;
    if (src.bytes_in_buffer == 0) (*src.fill_input_buffer)(cinfo);
    --src.bytes_in_buffer;
    return *src.next_input_byte++;
}

// Reads an APP2 segment, keeping it when it holds an ICC chunk.
boolean read_app2(j_decompress_ptr cinfo) {
    const int high = next_byte(cinfo);
    const long length = long(high << 8 | next_byte(cinfo)) - 2;
    if (length <= 0) return TRUE;
    static constexpr JOCTET kIcc[] = "ICC_PROFILE";
    JOCTET start[sizeof kIcc];
    const size_t head = std::min(sizeof kIcc, size_t(length));
    for (size_t i = 0; i < head; ++i)
        start[i] = next_byte(cinfo);
    const auto rest = size_t(length) - head;
    IccSegments& icc = *reinterpret_cast<StreamSource*>(cinfo->src)->icc;
    const bool chunk = head == sizeof kIcc && std::memcmp(start, kIcc, sizeof kIcc) == 0;
    if (chunk && (icc.count == IccSegments::kMaxSegments ||
                  icc.bytes + size_t(length) > IccChunks::kMaxProfileSize + 255 * 14))
        icc.too_many = true;
    if (!chunk || icc.too_many) {
        (*cinfo->src->skip_input_data)(cinfo, long(rest));
        return TRUE;
    }
    auto* kept = static_cast<JOCTET*>((*cinfo->mem->alloc_large)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, size_t(length)));
    std::memcpy(kept, start, head);
    for (size_t i = 0; i < rest; ++i)
        kept[head + i] = next_byte(cinfo);
    icc.segments[icc.count++] = {kept, size_t(length)};
    icc.bytes += size_t(length);
    return TRUE;
}

struct Progress {
    jpeg_progress_mgr pub;
    const StopTest* stop;
};

void on_progress(j_common_ptr cinfo) {
    auto* progress = reinterpret_cast<Progress*>(cinfo->progress);
    const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxScans) {
        if (jpeg_messages_shown())
            std::fprintf(stderr, "jpeg: more than %d scans\n", kMaxScans);
        else
            trace() << "jpeg: more than " << kMaxScans << " scans\n";
        abandon_jpeg_call(cinfo);
    }
    if (progress->stop && *progress->stop && (*progress->stop)()) abandon_jpeg_call(cinfo);
}

static_assert(sizeof(JCOEF) == sizeof(int16_t));

// The library asks with no blocks when it only wants to pass over an MCU.
boolean decode_mcu_from_source(j_decompress_ptr cinfo, JBLOCKROW* data) {
    auto* source = static_cast<McuSource*>(cinfo->client_data);
    if (!data) return source->decode_mcu(nullptr) ? TRUE : FALSE;
    int16_t* blocks[D_MAX_BLOCKS_IN_MCU];
    for (int b = 0; b < cinfo->blocks_in_MCU && b < D_MAX_BLOCKS_IN_MCU; ++b)
        blocks[b] = data[b][0];
    return source->decode_mcu(blocks) ? TRUE : FALSE;
}

}  // namespace

void cmyk_to_rgb(const uint8_t* cmyk, uint8_t* rgb, int count, bool inverted) {
    // Each channel is (255 - ink) * (255 - black) / 255, rounded; inverted pictures store
    // 255 - ink already.
    const int flip = inverted ? 0 : 255;
    for (int i = 0; i < count; ++i, cmyk += 4, rgb += 3) {
        const int black = flip ^ cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const int product = (flip ^ cmyk[c]) * black + 128;
            rgb[c] = static_cast<uint8_t>((product + (product >> 8)) >> 8);
        }
    }
}

struct JpegReader::State {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager errors;
    StreamSource source{};
    Progress progress{};
    uint64_t input_size = 0;
    uint64_t header_size = 0;
    jvirt_barray_ptr* coefficients = nullptr;
    std::vector<uint8_t> ink;  // a CMYK (or grey) row, before it becomes RGB
    bool inverted = false;     // CMYK stored inverted (pictures with an Adobe marker)
    bool created = false;
    IccSegments icc_segments;
    std::vector<uint8_t> icc_profile;
    std::shared_ptr<const ColourTransform> transform;  // rows into sRGB, when the profile asks

    ~State() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

JpegReader::JpegReader(InputStream& input, uint64_t input_size)
    : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    install_error_manager(s.errors, *reinterpret_cast<jpeg_common_struct*>(&s.cinfo));
    if (!guarded_create_decompress(&s.cinfo)) return;
    s.created = true;
    if (!input.is_open()) return;
    s.cinfo.mem->max_memory_to_use = kMaxMemory;
    s.source.pub.init_source = init_source;
    s.source.pub.fill_input_buffer = fill_input_buffer;
    s.source.pub.skip_input_data = skip_input_data;
    s.source.pub.resync_to_restart = jpeg_resync_to_restart;
    s.source.pub.term_source = term_source;
    s.source.stream = &input;
    s.source.next_read = input.position();
    s.source.unread = static_cast<int64_t>(input_size);
    s.input_size = input_size;
    s.cinfo.src = &s.source.pub;
    s.progress.pub.progress_monitor = on_progress;
    s.cinfo.progress = &s.progress.pub;
    s.source.icc = &s.icc_segments;
    if (!guarded_set_marker_processor(&s.cinfo, JPEG_APP0 + 2, read_app2)) return;
    int result = 0;
    if (!guarded_read_header(&s.cinfo, true, &result) || result != JPEG_HEADER_OK) return;
    const uint64_t pixels = uint64_t(s.cinfo.image_width) * s.cinfo.image_height;
    if (pixels == 0 || pixels > kMaxPixels) return;
    s.header_size = input_size - unconsumed();
    if (s.icc_segments.too_many) {
        trace() << tick_count() << "colour: JPEG profile ignored: more chunks than a profile has\n";
    } else {
        IccChunks chunks;
        for (size_t i = 0; i < s.icc_segments.count; ++i)
            chunks.add_segment(s.icc_segments.segments[i]);
        s.icc_profile = chunks.profile();
    }
    s.inverted = is_cmyk() && s.cinfo.saw_Adobe_marker;
    if (!s.icc_profile.empty()) {
        const PixelLayout layout =
            is_cmyk() ? (s.inverted ? PixelLayout::InvertedCmyk8 : PixelLayout::Cmyk8)
            : s.cinfo.jpeg_color_space == JCS_GRAYSCALE ? PixelLayout::Gray8
                                                        : PixelLayout::Rgb8;
        s.transform = ColourTransform::shared_from_icc(s.icc_profile, layout);
    }
    m_ok = true;
}

JpegReader::~JpegReader() = default;

int JpegReader::width() const {
    return static_cast<int>(m_state->cinfo.image_width);
}
int JpegReader::height() const {
    return static_cast<int>(m_state->cinfo.image_height);
}
int JpegReader::components() const {
    return m_state->cinfo.num_components;
}

int JpegReader::horizontal_sampling(int component) const {
    if (component < 0 || component >= components()) return 0;
    return m_state->cinfo.comp_info[component].h_samp_factor;
}

int JpegReader::vertical_sampling(int component) const {
    if (component < 0 || component >= components()) return 0;
    return m_state->cinfo.comp_info[component].v_samp_factor;
}

int JpegReader::restart_interval() const {
    return static_cast<int>(m_state->cinfo.restart_interval);
}

bool JpegReader::is_sequential_huffman() const {
    const jpeg_decompress_struct& c = m_state->cinfo;
    return !c.progressive_mode && !c.arith_code && c.data_precision == 8;
}

bool JpegReader::is_cmyk() const {
    const J_COLOR_SPACE space = m_state->cinfo.jpeg_color_space;
    return space == JCS_CMYK || space == JCS_YCCK;
}

bool JpegReader::is_copyable_to_baseline() const {
    const jpeg_decompress_struct& c = m_state->cinfo;
    return (c.progressive_mode || c.arith_code) && c.data_precision == 8;
}

uint64_t JpegReader::header_size() const {
    return m_state->header_size;
}

bool JpegReader::is_ycc_or_grey() const {
    const J_COLOR_SPACE space = m_state->cinfo.jpeg_color_space;
    return space == JCS_YCbCr || space == JCS_GRAYSCALE;
}

bool JpegReader::start(int scale, const StopTest* stop, bool fast) {
    if (!m_ok || m_started) return false;
    State& s = *m_state;
    s.cinfo.scale_num = 1;
    s.cinfo.scale_denom = static_cast<unsigned>(scale);
    if (fast) s.cinfo.dct_method = JDCT_IFAST;
    // libjpeg turns YCCK into CMYK; CMYK becomes RGB here, row by row, through the
    // picture's profile when it has one. Grey pictures with a grey profile come out grey
    // and become RGB through it; other pictures with a profile are converted in place.
    const bool cmyk = is_cmyk();
    const bool staged = cmyk || (s.transform && s.transform->input() == PixelLayout::Gray8);
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : staged ? JCS_GRAYSCALE : JCS_RGB;
    const int components = cmyk ? 4 : staged ? 1 : 3;
    s.progress.stop = stop;
    bool started = false;
    m_started = guarded_start_decompress(&s.cinfo, &started) && started &&
                s.cinfo.output_components == components;
    if (m_started && staged) s.ink.resize(size_t(components) * s.cinfo.output_width);
    m_cropped_width = output_width();
    s.progress.stop = nullptr;
    if (!m_started) m_ok = false;
    return m_started;
}

int JpegReader::output_width() const {
    return static_cast<int>(m_state->cinfo.output_width);
}
int JpegReader::output_height() const {
    return static_cast<int>(m_state->cinfo.output_height);
}
int JpegReader::output_row() const {
    return static_cast<int>(m_state->cinfo.output_scanline);
}

bool JpegReader::read_row(uint8_t* rgb) {
    if (!m_started) return false;
    State& s = *m_state;
    if (s.cinfo.output_scanline >= s.cinfo.output_height) return false;
    JSAMPROW row = s.ink.empty() ? rgb : s.ink.data();
    JDIMENSION done = 0;
    if (!guarded_read_scanlines(&s.cinfo, &row, 1, &done) || done != 1) {
        m_started = false;
        m_ok = false;
        return false;
    }
    if (s.transform)
        s.transform->convert(row, rgb, size_t(m_cropped_width));
    else if (!s.ink.empty())
        cmyk_to_rgb(s.ink.data(), rgb, m_cropped_width, s.inverted);
    return true;
}

bool JpegReader::crop(int& x, int& width) {
    if (!m_started || x < 0 || width < 1 || output_row() != 0) return false;
    State& s = *m_state;
    if (uint64_t(x) + uint64_t(width) > s.cinfo.output_width) return false;
    auto first = static_cast<JDIMENSION>(x);
    auto count = static_cast<JDIMENSION>(width);
    if (!guarded_crop_scanline(&s.cinfo, &first, &count)) {
        m_started = m_ok = false;
        return false;
    }
    x = static_cast<int>(first);
    width = static_cast<int>(count);
    m_cropped_width = width;
    return true;
}

bool JpegReader::skip_rows(int count) {
    if (!m_started || count < 0) return false;
    State& s = *m_state;
    if (uint64_t(count) > s.cinfo.output_height - s.cinfo.output_scanline) return false;
    JDIMENSION skipped = 0;
    if (!guarded_skip_scanlines(&s.cinfo, static_cast<JDIMENSION>(count), &skipped) ||
        skipped != static_cast<JDIMENSION>(count)) {
        m_started = m_ok = false;
        return false;
    }
    return true;
}

bool JpegReader::take_mcus_from(McuSource& source) {
    if (!m_started || !is_sequential_huffman()) return false;
    jpeg_decompress_struct& c = m_state->cinfo;
    if (c.comps_in_scan != c.num_components || c.inputctl == nullptr || !c.entropy ||
        !c.entropy->decode_mcu || c.blocks_in_MCU > D_MAX_BLOCKS_IN_MCU)
        return false;
    c.client_data = &source;
    c.entropy->decode_mcu = decode_mcu_from_source;
    return true;
}

bool JpegReader::read_coefficients(const StopTest* stop) {
    if (!m_ok || m_started) return false;
    State& s = *m_state;
    s.progress.stop = stop;
    jvirt_barray_ptr* arrays = nullptr;
    const bool read = guarded_read_coefficients(&s.cinfo, &arrays) && arrays;
    s.progress.stop = nullptr;
    m_started = true;  // the picture is read; no rows follow
    if (!read) {
        m_ok = false;
        return false;
    }
    s.coefficients = arrays;
    return true;
}

jvirt_barray_control** JpegReader::coefficients() const {
    return m_state->coefficients;
}

bool JpegReader::data_damaged() const {
    return m_state->errors.data_damaged;
}

bool JpegReader::cut_short() const {
    return m_state->errors.cut_short;
}

bool JpegReader::holds_image_data() const {
    const JpegErrorManager& errors = m_state->errors;
    const bool broken_from_start = errors.data_damaged && errors.damage_scan <= 1 &&
                                   errors.damage_row == 0 && restart_interval() == 0;
    return m_ok && !broken_from_start &&
           (!cut_short() || m_state->input_size >= m_state->header_size + kLeastData);
}

uint64_t JpegReader::unconsumed() const {
    const StreamSource& src = m_state->source;
    const uint64_t buffered = src.ended ? 0 : src.pub.bytes_in_buffer;
    return buffered + static_cast<uint64_t>(src.unread > 0 ? src.unread : 0);
}

const std::vector<uint8_t>& JpegReader::icc_profile() const {
    return m_state->icc_profile;
}

bool JpegReader::converts_colours() const {
    return m_ok && m_state->transform;
}

std::shared_ptr<const ColourTransform> JpegReader::take_rgb_transform() {
    State& s = *m_state;
    if (m_started || !s.transform || s.transform->input() != PixelLayout::Rgb8) return nullptr;
    return std::move(s.transform);
}

jpeg_decompress_struct* JpegReader::handle() {
    return &m_state->cinfo;
}

bool layout_matches(const JpegLayout& layout, const JpegReader& reader) {
    if (!layout.ok() || !reader.ok() || !reader.is_sequential_huffman()) return false;
    if (reader.width() != layout.width || reader.height() != layout.height ||
        reader.components() != static_cast<int>(layout.components.size()) ||
        reader.restart_interval() != layout.restart_interval ||
        reader.header_size() != layout.data_offset)
        return false;
    for (int c = 0; c < reader.components(); ++c)
        if (reader.horizontal_sampling(c) != layout.components[c].h ||
            reader.vertical_sampling(c) != layout.components[c].v)
            return false;
    return true;
}

}  // namespace vistrel
