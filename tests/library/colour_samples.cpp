#include "colour_samples.h"

#include <lcms2.h>

#include <algorithm>
#include <cstring>

namespace vistrel::test {

namespace {

std::vector<uint8_t> saved(cmsHPROFILE profile) {
    std::vector<uint8_t> bytes;
    cmsUInt32Number size = 0;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
    }
    if (profile) cmsCloseProfile(profile);
    return bytes;
}

cmsToneCurve* srgb_curve() {
    const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, p);
}

std::vector<uint8_t> rgb_profile(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve) {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    std::vector<uint8_t> bytes = saved(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    return bytes;
}

// Lab of an sRGB colour, for the CMYK profile's table.
struct LabOfSrgb {
    cmsHTRANSFORM transform;
    LabOfSrgb() {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
        transform = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL,
                                       INTENT_RELATIVE_COLORIMETRIC, 0);
        cmsCloseProfile(srgb);
        cmsCloseProfile(lab);
    }
    ~LabOfSrgb() { cmsDeleteTransform(transform); }
};

int sample_odd_cyan(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    auto* lab_of = static_cast<LabOfSrgb*>(cargo);
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    // Cyan takes away green, magenta takes away green as well, yellow blue; red is taken
    // by nothing but black.
    const double rgb[3] = {(1 - k), (1 - c) * (1 - m) * (1 - k), (1 - y) * (1 - k)};
    cmsCIELab lab;
    cmsDoTransform(lab_of->transform, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

}  // namespace

std::vector<uint8_t> swapped_profile() {
    const cmsCIExyYTRIPLE swapped{{0.300, 0.600, 1.0}, {0.640, 0.330, 1.0}, {0.150, 0.060, 1.0}};
    return rgb_profile(swapped, srgb_curve());
}

std::vector<uint8_t> srgb_profile() {
    return saved(cmsCreate_sRGBProfile());
}

std::vector<uint8_t> adobe_rgb_profile() {
    const cmsCIExyYTRIPLE adobe{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    return rgb_profile(adobe, cmsBuildGamma(nullptr, 563.0 / 256));
}

std::vector<uint8_t> prophoto_profile() {
    const cmsCIExyY white{0.3457, 0.3585, 1.0};
    const cmsCIExyYTRIPLE prophoto{
        {0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    std::vector<uint8_t> bytes = saved(cmsCreateRGBProfile(&white, &prophoto, curves));
    cmsFreeToneCurve(gamma);
    return bytes;
}

std::vector<uint8_t> lcms_srgb(const std::vector<uint8_t>& profile,
                               const std::vector<uint8_t>& rgb) {
    cmsHPROFILE from = cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform =
        cmsCreateTransform(from, TYPE_RGB_8, srgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                           cmsFLAGS_BLACKPOINTCOMPENSATION);
    std::vector<uint8_t> out(rgb.size());
    if (transform)
        cmsDoTransform(transform, rgb.data(), out.data(), cmsUInt32Number(rgb.size() / 3));
    if (transform) cmsDeleteTransform(transform);
    cmsCloseProfile(srgb);
    if (from) cmsCloseProfile(from);
    return out;
}

std::vector<uint8_t> linear_grey_profile() {
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    std::vector<uint8_t> bytes = saved(cmsCreateGrayProfile(cmsD50_xyY(), linear));
    cmsFreeToneCurve(linear);
    return bytes;
}

std::vector<uint8_t> odd_cyan_cmyk_profile(int grid) {
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* table = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, cmsUInt32Number(grid), 4, 3, nullptr);
    LabOfSrgb lab_of;
    cmsStageSampleCLut16bit(clut, sample_odd_cyan, &lab_of, 0);
    // Stored as lutAtoBType, which wants curves on both sides of the table.
    cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(table, cmsAT_END, clut);
    cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, table);
    cmsWriteTag(profile, cmsSigAToB1Tag, table);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(table);
    return saved(profile);
}

std::vector<uint8_t> device_link_profile() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM identity =
        cmsCreateTransform(srgb, TYPE_RGB_8, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    cmsHPROFILE link = cmsTransform2DeviceLink(identity, 4.3, 0);
    cmsDeleteTransform(identity);
    cmsCloseProfile(srgb);
    return saved(link);
}

std::vector<uint8_t> icc_segment(int number, int count, const std::vector<uint8_t>& data) {
    static const char kMarker[] = "ICC_PROFILE";
    std::vector<uint8_t> payload(kMarker, kMarker + sizeof kMarker);
    payload.push_back(uint8_t(number));
    payload.push_back(uint8_t(count));
    payload.insert(payload.end(), data.begin(), data.end());
    return payload;
}

std::vector<uint8_t> with_icc_profile(const std::vector<uint8_t>& jpeg,
                                      const std::vector<uint8_t>& profile, size_t chunk) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + std::min<size_t>(2, jpeg.size()));
    const size_t count = (profile.size() + chunk - 1) / chunk;
    for (size_t i = 0; i < count; ++i) {
        const size_t start = i * chunk;
        const std::vector<uint8_t> data(profile.begin() + start,
                                        profile.begin() + std::min(profile.size(), start + chunk));
        const std::vector<uint8_t> payload = icc_segment(int(i + 1), int(count), data);
        const size_t length = payload.size() + 2;
        out.insert(out.end(), {0xFF, 0xE2, uint8_t(length >> 8), uint8_t(length & 0xFF)});
        out.insert(out.end(), payload.begin(), payload.end());
    }
    if (jpeg.size() > 2) out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

}  // namespace vistrel::test
