// The one file that speaks to lcms2.
#include "library/colour/colour_transform.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "library/colour/matrix_shaper.h"
#include "platform/threads.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

void refuse(const char* why) {
    trace() << tick_count() << "colour: no conversion: " << why << "\n";
}

void on_lcms_error(cmsContext, cmsUInt32Number, const char* text) {
    trace() << tick_count() << "colour: lcms2: " << (text ? text : "") << "\n";
}

struct ContextDeleter {
    void operator()(void* context) const { cmsDeleteContext(static_cast<cmsContext>(context)); }
};
struct ProfileDeleter {
    void operator()(void* profile) const { cmsCloseProfile(static_cast<cmsHPROFILE>(profile)); }
};
struct TransformDeleter {
    void operator()(void* transform) const {
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform));
    }
};
struct CurveDeleter {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using ContextOwner = std::unique_ptr<void, ContextDeleter>;
using ProfileOwner = std::unique_ptr<void, ProfileDeleter>;
using TransformOwner = std::unique_ptr<void, TransformDeleter>;
using CurveOwner = std::unique_ptr<cmsToneCurve, CurveDeleter>;

cmsUInt32Number lcms_format(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::Gray8:
            return TYPE_GRAY_8;
        case PixelLayout::GrayAlpha8:
            return TYPE_GRAYA_8;
        case PixelLayout::Rgb8:
            return TYPE_RGB_8;
        case PixelLayout::Rgba8:
            return TYPE_RGBA_8;
        case PixelLayout::Gray16:
            return TYPE_GRAY_16;
        case PixelLayout::GrayAlpha16:
            return TYPE_GRAYA_16;
        case PixelLayout::Rgb16:
            return TYPE_RGB_16;
        case PixelLayout::Rgba16:
            return TYPE_RGBA_16;
        case PixelLayout::Cmyk8:
            return TYPE_CMYK_8;
        case PixelLayout::InvertedCmyk8:
            return TYPE_CMYK_8_REV;
    }
    return TYPE_RGB_8;
}

cmsColorSpaceSignature space_of(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::Gray8:
        case PixelLayout::GrayAlpha8:
        case PixelLayout::Gray16:
        case PixelLayout::GrayAlpha16:
            return cmsSigGrayData;
        case PixelLayout::Cmyk8:
        case PixelLayout::InvertedCmyk8:
            return cmsSigCmykData;
        default:
            return cmsSigRgbData;
    }
}

ContextOwner new_context() {
    ContextOwner context(cmsCreateContext(nullptr, nullptr));
    if (context) cmsSetLogErrorHandlerTHR(static_cast<cmsContext>(context.get()), on_lcms_error);
    return context;
}

// Pixels of the input layout on a grid of 17 levels per channel (alpha half), for checking
// a shortcut against lcms2.
std::vector<uint8_t> probe_pixels(PixelLayout input) {
    std::vector<uint8_t> in;
    for (int r = 0; r <= 256; r += 16)
        for (int g = 0; g <= 256; g += 16)
            for (int b = 0; b <= 256; b += 16) {
                for (const int v : {r, g, b})
                    in.push_back(uint8_t(std::min(v, 255)));
                if (input == PixelLayout::Rgba8) in.push_back(128);
            }
    return in;
}

// Whether converting through `profile` leaves every colour where it was: an sRGB profile
// under another name. Probes a grid of 17 levels per channel (grey: every level); a step of
// one level is rounding.
bool is_srgb_already(cmsContext context, cmsHPROFILE profile, cmsHPROFILE srgb) {
    const bool grey = cmsGetColorSpace(profile) == cmsSigGrayData;
    const TransformOwner probe(cmsCreateTransformTHR(
        context, profile, grey ? TYPE_GRAY_8 : TYPE_RGB_8, srgb, TYPE_RGB_8,
        INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE));
    if (!probe) return false;
    std::vector<uint8_t> in;
    if (grey) {
        for (int v = 0; v < 256; ++v)
            in.push_back(uint8_t(v));
    } else {
        in = probe_pixels(PixelLayout::Rgb8);
    }
    const size_t pixels = grey ? in.size() : in.size() / 3;
    std::vector<uint8_t> out(3 * pixels);
    cmsDoTransform(probe.get(), in.data(), out.data(), cmsUInt32Number(pixels));
    for (size_t i = 0; i < out.size(); ++i) {
        const int expected = grey ? in[i / 3] : in[i];
        if (std::abs(int(out[i]) - expected) > 1) return false;
    }
    return true;
}

// Where a primary lies on the chromaticity diagram: strictly inside the unit triangle.
bool plausible(Chromaticity c) {
    return std::isfinite(c.x) && std::isfinite(c.y) && c.x >= 0 && c.y > 0 && c.x + c.y <= 1.0001;
}

double pq_to_linear(double v) {
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
    constexpr double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double p = std::pow(v, 1 / m2);
    const double nits = 10000 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1);
    return nits / 203;
}

double hlg_to_linear(double v) {
    constexpr double a = 0.17883277, b = 1 - 4 * a, c = 0.55991073;
    const double scene = v <= 0.5 ? v * v / 3 : (std::exp((v - c) / a) + b) / 12;
    // The display's system gamma of 1.2 at 1000 cd/m2, channel by channel.
    return 1000 * std::pow(scene, 1.2) / 203;
}

CurveOwner build_curve(cmsContext context, const TransferCurve& transfer) {
    switch (transfer.kind) {
        case TransferKind::Srgb: {
            const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
            return CurveOwner(cmsBuildParametricToneCurve(context, 4, srgb));
        }
        case TransferKind::Gamma:
            if (!std::isfinite(transfer.exponent) || transfer.exponent < 0.1 ||
                transfer.exponent > 10)
                return nullptr;
            return CurveOwner(cmsBuildGamma(context, transfer.exponent));
        case TransferKind::Pq:
        case TransferKind::Hlg: {
            constexpr int kEntries = 4096;
            std::vector<cmsFloat32Number> values(kEntries);
            for (int i = 0; i < kEntries; ++i) {
                const double v = double(i) / (kEntries - 1);
                const double linear =
                    transfer.kind == TransferKind::Pq ? pq_to_linear(v) : hlg_to_linear(v);
                values[size_t(i)] = cmsFloat32Number(std::clamp(linear, 0.0, 1.0));
            }
            return CurveOwner(cmsBuildTabulatedToneCurveFloat(context, kEntries, values.data()));
        }
    }
    return nullptr;
}

ProfileOwner profile_for(cmsContext context, const ColourDescription& d, bool grey) {
    const Primaries& p = d.primaries;
    for (const Chromaticity c : {p.white, p.red, p.green, p.blue})
        if (!plausible(c)) return nullptr;
    const CurveOwner curve = build_curve(context, d.transfer);
    if (!curve) return nullptr;
    const cmsCIExyY white{p.white.x, p.white.y, 1.0};
    if (grey) return ProfileOwner(cmsCreateGrayProfileTHR(context, &white, curve.get()));
    const cmsCIExyYTRIPLE primaries{
        {p.red.x, p.red.y, 1.0}, {p.green.x, p.green.y, 1.0}, {p.blue.x, p.blue.y, 1.0}};
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    return ProfileOwner(cmsCreateRGBProfileTHR(context, &white, &primaries, curves));
}

// The transform from `profile` into sRGB, or null (with a trace line saying why).
TransformOwner transform_from(cmsContext context, cmsHPROFILE profile, PixelLayout input) {
    const cmsProfileClassSignature device = cmsGetDeviceClass(profile);
    if (device == cmsSigLinkClass || device == cmsSigAbstractClass ||
        device == cmsSigNamedColorClass) {
        refuse("the profile is not one of a picture's colours");
        return nullptr;
    }
    if (cmsGetColorSpace(profile) != space_of(input)) {
        refuse("the profile's colour space does not fit the pixels");
        return nullptr;
    }
    const ProfileOwner srgb(cmsCreate_sRGBProfileTHR(context));
    if (!srgb) return nullptr;
    if (space_of(input) != cmsSigCmykData && is_srgb_already(context, profile, srgb.get())) {
        refuse("the profile is sRGB already");
        return nullptr;
    }
    // Without lcms2's cache of the last pixel the transform holds no state that converting
    // changes, so threads may share it.
    cmsUInt32Number flags = cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE;
    if (has_alpha(input)) flags |= cmsFLAGS_COPY_ALPHA;
    TransformOwner transform(cmsCreateTransformTHR(context, profile, lcms_format(input), srgb.get(),
                                                   has_alpha(input) ? TYPE_RGBA_8 : TYPE_RGB_8,
                                                   INTENT_RELATIVE_COLORIMETRIC, flags));
    if (!transform) refuse("the profile cannot be used as a source");
    return transform;
}

struct LcmsParts {
    ContextOwner context;  // outlives the transform made in it
    TransformOwner transform;
    // Quicker ways to the same pixels, when there are some: the matrix and curves of an
    // RGB profile, or a table of every grey level.
    std::optional<MatrixShaper> shaper;
    // An RGB triple per grey level (8 bits), or per 16th level and 65535 (16 bits).
    std::vector<uint8_t> grey_table;
};

// The matrix from an RGB matrix-shaper profile's colorants (columns X, Y, Z of red, green,
// blue), or nothing.
std::optional<std::array<double, 9>> colorants(cmsHPROFILE profile) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                     cmsSigBlueColorantTag};
    std::array<double, 9> m{};
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
        if (!xyz) return std::nullopt;
        m[size_t(c)] = xyz->X;
        m[size_t(3 + c)] = xyz->Y;
        m[size_t(6 + c)] = xyz->Z;
    }
    return m;
}

// The matrix and curves of an RGB profile, when converting through them gives what lcms2's
// transform gives, to within one level on every probe.
std::optional<MatrixShaper> shaper_for(cmsHPROFILE profile, cmsHPROFILE srgb,
                                       cmsHTRANSFORM reference, PixelLayout input) {
    if ((input != PixelLayout::Rgb8 && input != PixelLayout::Rgba8) ||
        !cmsIsMatrixShaper(profile) || !cmsIsMatrixShaper(srgb))
        return std::nullopt;
    const auto from = colorants(profile), to = colorants(srgb);
    const auto between = from && to ? MatrixShaper::matrix_between(*from, *to) : std::nullopt;
    if (!between) return std::nullopt;
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    std::array<std::array<double, 256>, 3> linear{};
    for (size_t c = 0; c < 3; ++c) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
        if (!curve) return std::nullopt;
        for (size_t v = 0; v < 256; ++v)
            linear[c][v] = cmsEvalToneCurveFloat(curve, cmsFloat32Number(v / 255.0));
    }
    const std::array<double, 9>& matrix = *between;
    for (const double k : matrix)
        if (!std::isfinite(k) || std::fabs(k) > MatrixShaper::kMaxCoefficient) return std::nullopt;
    MatrixShaper shaper(linear, matrix);
    const std::vector<uint8_t> in = probe_pixels(input);
    std::vector<uint8_t> ours(in.size()), theirs(in.size());
    const size_t count = in.size() / size_t(bytes_per_pixel(input));
    shaper.convert(in.data(), ours.data(), count, bytes_per_pixel(input));
    cmsDoTransform(reference, in.data(), theirs.data(), cmsUInt32Number(count));
    for (size_t i = 0; i < in.size(); ++i)
        if (std::abs(int(ours[i]) - int(theirs[i])) > 1) return std::nullopt;
    return shaper;
}

bool is_grey(PixelLayout layout) {
    return layout == PixelLayout::Gray8 || layout == PixelLayout::GrayAlpha8 ||
           layout == PixelLayout::Gray16 || layout == PixelLayout::GrayAlpha16;
}

bool is_wide(PixelLayout layout) {
    return layout == PixelLayout::Gray16 || layout == PixelLayout::GrayAlpha16 ||
           layout == PixelLayout::Rgb16 || layout == PixelLayout::Rgba16;
}

// 16-bit grey levels between two entries of a grey table.
constexpr uint32_t kWideGreyStep = 16;

// Every grey level of the input's depth through the profile (for 16 bits, every 16th and
// the last), unoptimised: lcms2's optimised grey transforms are up to ten levels off in the
// darks of a linear curve, and a table costs no more to use.
std::vector<uint8_t> grey_table_of(cmsContext context, cmsHPROFILE profile, cmsHPROFILE srgb,
                                   PixelLayout input) {
    const bool wide = is_wide(input);
    const TransformOwner exact(cmsCreateTransformTHR(
        context, profile, wide ? TYPE_GRAY_16 : TYPE_GRAY_8, srgb, TYPE_RGB_8,
        INTENT_RELATIVE_COLORIMETRIC,
        cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE));
    if (!exact) return {};
    const size_t entries = wide ? 65536 / kWideGreyStep + 1 : 256;
    std::vector<uint8_t> table(3 * entries);
    if (wide) {
        std::vector<uint16_t> in(entries);
        for (size_t i = 0; i < entries; ++i)
            in[i] = uint16_t(std::min<size_t>(i * kWideGreyStep, 65535));
        cmsDoTransform(exact.get(), in.data(), table.data(), cmsUInt32Number(entries));
    } else {
        std::vector<uint8_t> in(entries);
        for (size_t i = 0; i < entries; ++i)
            in[i] = uint8_t(i);
        cmsDoTransform(exact.get(), in.data(), table.data(), cmsUInt32Number(entries));
    }
    return table;
}

// A context, the profile `open` makes in it, the transform from that profile and its
// shortcuts.
template <typename OpenProfile>
std::optional<LcmsParts> build(PixelLayout input, OpenProfile&& open) {
    LcmsParts parts;
    parts.context = new_context();
    if (!parts.context) return std::nullopt;
    auto* c = static_cast<cmsContext>(parts.context.get());
    {
        const ProfileOwner profile = open(c);
        if (!profile) return std::nullopt;
        parts.transform = transform_from(c, profile.get(), input);
        if (!parts.transform) return std::nullopt;
        const ProfileOwner srgb(cmsCreate_sRGBProfileTHR(c));
        if (srgb)
            parts.shaper = shaper_for(profile.get(), srgb.get(), parts.transform.get(), input);
        if (srgb && is_grey(input))
            parts.grey_table = grey_table_of(c, profile.get(), srgb.get(), input);
    }  // the profiles close while their context lives
    return parts;
}

}  // namespace

struct ColourTransform::Lcms : LcmsParts {
    explicit Lcms(LcmsParts&& parts) : LcmsParts(std::move(parts)) {}
};

int bytes_per_pixel(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::Gray8:
            return 1;
        case PixelLayout::GrayAlpha8:
            return 2;
        case PixelLayout::Rgb8:
            return 3;
        case PixelLayout::Rgba8:
            return 4;
        case PixelLayout::Gray16:
            return 2;
        case PixelLayout::GrayAlpha16:
            return 4;
        case PixelLayout::Rgb16:
            return 6;
        case PixelLayout::Rgba16:
            return 8;
        case PixelLayout::Cmyk8:
        case PixelLayout::InvertedCmyk8:
            return 4;
    }
    return 3;
}

bool has_alpha(PixelLayout layout) {
    return layout == PixelLayout::GrayAlpha8 || layout == PixelLayout::Rgba8 ||
           layout == PixelLayout::GrayAlpha16 || layout == PixelLayout::Rgba16;
}

ColourTransform::ColourTransform(std::unique_ptr<Lcms> lcms, PixelLayout input)
    : m_lcms(std::move(lcms)), m_input(input) {}

ColourTransform::~ColourTransform() = default;

std::unique_ptr<ColourTransform> ColourTransform::from_icc(std::span<const uint8_t> bytes,
                                                           PixelLayout input) {
    if (bytes.empty()) return nullptr;
    std::optional<LcmsParts> parts = build(input, [&](cmsContext context) {
        ProfileOwner profile(
            cmsOpenProfileFromMemTHR(context, bytes.data(), cmsUInt32Number(bytes.size())));
        if (!profile) refuse("the profile is damaged");
        return profile;
    });
    if (!parts) return nullptr;
    return std::unique_ptr<ColourTransform>(
        new ColourTransform(std::make_unique<Lcms>(std::move(*parts)), input));
}

std::unique_ptr<ColourTransform> ColourTransform::from_description(
    const ColourDescription& description, PixelLayout input) {
    if (space_of(input) == cmsSigCmykData) {
        refuse("primaries and a curve describe no CMYK");
        return nullptr;
    }
    std::optional<LcmsParts> parts = build(input, [&](cmsContext context) {
        ProfileOwner profile = profile_for(context, description, space_of(input) == cmsSigGrayData);
        if (!profile) refuse("the primaries or the transfer curve make no sense");
        return profile;
    });
    if (!parts) return nullptr;
    return std::unique_ptr<ColourTransform>(
        new ColourTransform(std::make_unique<Lcms>(std::move(*parts)), input));
}

IccProfileInfo describe_icc_profile(std::span<const uint8_t> bytes) {
    IccProfileInfo info;
    if (bytes.empty()) return info;
    const ContextOwner context = new_context();
    if (!context) return info;
    auto* c = static_cast<cmsContext>(context.get());
    const ProfileOwner profile(
        cmsOpenProfileFromMemTHR(c, bytes.data(), cmsUInt32Number(bytes.size())));
    if (!profile) return info;
    auto* p = static_cast<cmsHPROFILE>(profile.get());
    info.readable = true;
    char text[256] = {};
    if (cmsGetProfileInfoASCII(p, cmsInfoDescription, "en", "US", text, sizeof text) > 0)
        info.description.assign(text, strnlen(text, sizeof text));
    switch (cmsGetColorSpace(p)) {
        case cmsSigRgbData:
            info.colour_space = "RGB";
            break;
        case cmsSigGrayData:
            info.colour_space = "grey";
            break;
        case cmsSigCmykData:
            info.colour_space = "CMYK";
            break;
        default:
            info.colour_space = "other";
            break;
    }
    switch (cmsGetDeviceClass(p)) {
        case cmsSigDisplayClass:
            info.device_class = "display";
            break;
        case cmsSigInputClass:
            info.device_class = "input";
            break;
        case cmsSigOutputClass:
            info.device_class = "output";
            break;
        case cmsSigColorSpaceClass:
            info.device_class = "colour space";
            break;
        case cmsSigLinkClass:
            info.device_class = "device link";
            break;
        default:
            info.device_class = "other";
            break;
    }
    const cmsColorSpaceSignature space = cmsGetColorSpace(p);
    if (space == cmsSigRgbData || space == cmsSigGrayData) {
        const ProfileOwner srgb(cmsCreate_sRGBProfileTHR(c));
        info.srgb = srgb && is_srgb_already(c, p, srgb.get());
    }
    return info;
}

void ColourTransform::convert(const void* in, uint8_t* out, size_t count) const {
    if (m_lcms->shaper)
        return m_lcms->shaper->convert(static_cast<const uint8_t*>(in), out, count,
                                       bytes_per_pixel(m_input));
    if (!m_lcms->grey_table.empty()) {
        const auto* grey = static_cast<const uint8_t*>(in);
        const uint8_t* table = m_lcms->grey_table.data();
        const bool wide = is_wide(m_input), alpha = has_alpha(m_input);
        const size_t in_bytes = size_t(bytes_per_pixel(m_input));
        const size_t out_bytes = alpha ? 4 : 3;
        // From the last pixel back: `in` may be `out`, and no pixel grows smaller.
        for (size_t i = count; i-- > 0;) {
            const uint8_t* p = grey + i * in_bytes;
            uint16_t level = p[0], a = alpha ? p[in_bytes / 2] : 0;
            if (wide) {
                std::memcpy(&level, p, 2);
                if (alpha) {
                    std::memcpy(&a, p + 2, 2);
                    a = uint16_t((uint32_t(a) * 255 + 32767) / 65535);
                }
            }
            uint8_t* o = out + i * out_bytes;
            if (wide) {
                // Between two entries, in proportion.
                const uint8_t* low = table + 3 * size_t(level / kWideGreyStep);
                const uint32_t part = level % kWideGreyStep;
                for (int c = 0; c < 3; ++c)
                    o[c] = uint8_t((low[c] * (kWideGreyStep - part) + low[3 + c] * part +
                                    kWideGreyStep / 2) / kWideGreyStep);
            } else {
                const uint8_t* rgb = table + 3 * size_t(level);
                o[0] = rgb[0];
                o[1] = rgb[1];
                o[2] = rgb[2];
            }
            if (alpha) o[3] = uint8_t(a);
        }
        return;
    }
    // lcms2 counts pixels in 32 bits; rows are never that long, but stay safe.
    constexpr size_t kStep = size_t(1) << 30;
    const auto* from = static_cast<const uint8_t*>(in);
    const size_t in_bytes = size_t(bytes_per_pixel(m_input));
    const size_t out_bytes = size_t(output_channels());
    while (count > 0) {
        const size_t n = std::min(count, kStep);
        cmsDoTransform(m_lcms->transform.get(), from, out, cmsUInt32Number(n));
        from += n * in_bytes;
        out += n * out_bytes;
        count -= n;
    }
}

}  // namespace vistrel
