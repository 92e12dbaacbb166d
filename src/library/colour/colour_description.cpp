#include "library/colour/colour_description.h"

#include <cmath>

#include "platform/threads.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

void note(const char* what) {
    trace() << tick_count() << "colour: " << what << "\n";
}

bool near(Chromaticity a, Chromaticity b, double within) {
    return std::fabs(a.x - b.x) <= within && std::fabs(a.y - b.y) <= within;
}

bool near(const Primaries& a, const Primaries& b, double within) {
    return near(a.white, b.white, within) && near(a.red, b.red, within) &&
           near(a.green, b.green, within) && near(a.blue, b.blue, within);
}

constexpr Chromaticity kD65{0.3127, 0.3290};
constexpr Chromaticity kIlluminantC{0.310, 0.316};

// ITU-T H.273 colour primaries.
std::optional<Primaries> nclx_primaries(int code) {
    switch (code) {
        case 1:  // BT.709
        case 2:  // unspecified
            return kSrgbPrimaries;
        case 4:
            return Primaries{kIlluminantC, {0.67, 0.33}, {0.21, 0.71}, {0.14, 0.08}};
        case 5:
            return Primaries{kD65, {0.64, 0.33}, {0.29, 0.60}, {0.15, 0.06}};
        case 6:
        case 7:
            return Primaries{kD65, {0.630, 0.340}, {0.310, 0.595}, {0.155, 0.070}};
        case 8:
            return Primaries{kIlluminantC, {0.681, 0.319}, {0.243, 0.692}, {0.145, 0.049}};
        case 9:
            return Primaries{kD65, {0.708, 0.292}, {0.170, 0.797}, {0.131, 0.046}};
        case 11:  // DCI-P3, with its own white
            return Primaries{{0.314, 0.351}, {0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}};
        case 12:  // Display P3
            return Primaries{kD65, {0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}};
        case 22:
            return Primaries{kD65, {0.630, 0.340}, {0.295, 0.605}, {0.155, 0.077}};
        default:
            return std::nullopt;
    }
}

// ITU-T H.273 transfer characteristics. The camera curves of BT.709, BT.601 and BT.2020
// are shown as sRGB: still pictures tagged with them are made to look right that way.
std::optional<TransferCurve> nclx_transfer(int code) {
    switch (code) {
        case 1:
        case 2:  // unspecified
        case 6:
        case 7:
        case 11:
        case 12:
        case 13:
        case 14:
        case 15:
            return TransferCurve{TransferKind::Srgb, 1};
        case 4:
            return TransferCurve{TransferKind::Gamma, 2.2};
        case 5:
            return TransferCurve{TransferKind::Gamma, 2.8};
        case 8:
            return TransferCurve{TransferKind::Gamma, 1};
        case 16:
            return TransferCurve{TransferKind::Pq, 1};
        case 17:
            return TransferCurve{TransferKind::Gamma, 2.6};
        case 18:
            return TransferCurve{TransferKind::Hlg, 1};
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<ColourDescription> png_colour_description(const PngColourChunks& chunks) {
    ColourDescription description;
    bool srgb_primaries = true, srgb_curve = true;
    if (chunks.has_chromaticities) {
        const auto& c = chunks.chromaticities;
        const auto at = [&](int i) { return Chromaticity{c[2 * i] / 1e5, c[2 * i + 1] / 1e5}; };
        description.primaries = {at(0), at(1), at(2), at(3)};
        // Writers round sRGB's figures differently.
        srgb_primaries = near(description.primaries, kSrgbPrimaries, 0.002);
    }
    // A file gamma outside 1/5..4 is damage, not a picture.
    if (chunks.gamma >= 20000 && chunks.gamma <= 400000) {
        description.transfer = {TransferKind::Gamma, 1e5 / chunks.gamma};
        srgb_curve = chunks.gamma >= 45000 && chunks.gamma <= 46000;
    } else if (chunks.gamma != 0) {
        note("PNG gamma ignored: out of range");
    }
    if (srgb_primaries && srgb_curve) return std::nullopt;
    return description;
}

std::unique_ptr<ColourTransform> png_colour_transform(const PngColourChunks& chunks,
                                                      PixelLayout input) {
    if (!chunks.icc_profile.empty()) {
        if (auto transform = ColourTransform::from_icc(chunks.icc_profile, input)) return transform;
        // An unusable profile leaves what the writer put beside it for readers without one.
    }
    if (chunks.srgb) return nullptr;
    const std::optional<ColourDescription> description = png_colour_description(chunks);
    if (!description) return nullptr;
    return ColourTransform::from_description(*description, input);
}

std::optional<ColourDescription> nclx_colour_description(int colour_primaries,
                                                         int transfer_characteristics) {
    const std::optional<Primaries> primaries = nclx_primaries(colour_primaries);
    const std::optional<TransferCurve> transfer = nclx_transfer(transfer_characteristics);
    if (!primaries || !transfer) {
        trace() << tick_count() << "colour: nclx not known: primaries " << colour_primaries
                << ", transfer " << transfer_characteristics << "\n";
        return std::nullopt;
    }
    if (near(*primaries, kSrgbPrimaries, 1e-6) && transfer->kind == TransferKind::Srgb)
        return std::nullopt;
    return ColourDescription{*primaries, *transfer};
}

std::unique_ptr<ColourTransform> nclx_colour_transform(int colour_primaries,
                                                       int transfer_characteristics,
                                                       PixelLayout input) {
    const std::optional<ColourDescription> description =
        nclx_colour_description(colour_primaries, transfer_characteristics);
    if (!description) return nullptr;
    return ColourTransform::from_description(*description, input);
}

}  // namespace vistrel
