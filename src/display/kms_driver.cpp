#include "display/kms_driver.h"

#include <drm.h>
#include <drm_mode.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <xf86drm.h>
#include <xf86drmMode.h>

#include <cerrno>
#include <cstring>

#include "display/framebuffer_driver.h"
#include "display/pixel_output.h"
#include "platform/file_descriptor.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

constexpr int kMaxSide = 8192;
constexpr unsigned kDrmMajor = 226;

struct FreeResources {
    void operator()(drmModeRes* p) const { drmModeFreeResources(p); }
};
struct FreeConnector {
    void operator()(drmModeConnector* p) const { drmModeFreeConnector(p); }
};
struct FreeEncoder {
    void operator()(drmModeEncoder* p) const { drmModeFreeEncoder(p); }
};
struct FreeCrtc {
    void operator()(drmModeCrtc* p) const { drmModeFreeCrtc(p); }
};
struct FreeProperties {
    void operator()(drmModeObjectProperties* p) const { drmModeFreeObjectProperties(p); }
};
struct FreeProperty {
    void operator()(drmModePropertyRes* p) const { drmModeFreeProperty(p); }
};
using Resources = std::unique_ptr<drmModeRes, FreeResources>;
using Connector = std::unique_ptr<drmModeConnector, FreeConnector>;
using Encoder = std::unique_ptr<drmModeEncoder, FreeEncoder>;
using Crtc = std::unique_ptr<drmModeCrtc, FreeCrtc>;

// A connected connector, its chosen mode and a CRTC that can drive it.
struct Route {
    uint32_t connector = 0;
    uint32_t crtc = 0;
    drmModeModeInfo mode{};
};

// The id of the connector's property `name` and its current value; false when absent.
bool connector_property(int fd, uint32_t connector, const char* name, uint32_t& id,
                        uint64_t& value, std::string* enum_name = nullptr) {
    std::unique_ptr<drmModeObjectProperties, FreeProperties> props(
        drmModeObjectGetProperties(fd, connector, DRM_MODE_OBJECT_CONNECTOR));
    if (!props) return false;
    for (uint32_t i = 0; i < props->count_props; ++i) {
        std::unique_ptr<drmModePropertyRes, FreeProperty> prop(drmModeGetProperty(fd, props->props[i]));
        if (!prop || std::strcmp(prop->name, name) != 0) continue;
        id = prop->prop_id;
        value = props->prop_values[i];
        if (enum_name)
            for (int e = 0; e < prop->count_enums; ++e)
                if (prop->enums[e].value == value) *enum_name = prop->enums[e].name;
        return true;
    }
    return false;
}

bool find_route(int fd, Route& route, std::string& problem, const std::string& path) {
    Resources res(drmModeGetResources(fd));
    if (!res) {
        problem = path + " offers no mode setting (" + std::strerror(errno) + ")";
        return false;
    }
    for (int c = 0; c < res->count_connectors; ++c) {
        Connector conn(drmModeGetConnector(fd, res->connectors[c]));
        if (!conn || conn->connection != DRM_MODE_CONNECTED || conn->count_modes < 1) continue;
        const drmModeModeInfo* chosen = &conn->modes[0];
        for (int m = 0; m < conn->count_modes; ++m)
            if (conn->modes[m].type & DRM_MODE_TYPE_PREFERRED) {
                chosen = &conn->modes[m];
                break;
            }
        if (chosen->hdisplay < 1 || chosen->vdisplay < 1 || chosen->hdisplay > kMaxSide ||
            chosen->vdisplay > kMaxSide)
            continue;
        uint32_t crtc = 0;
        if (conn->encoder_id) {
            Encoder enc(drmModeGetEncoder(fd, conn->encoder_id));
            if (enc) crtc = enc->crtc_id;
        }
        for (int e = 0; !crtc && e < conn->count_encoders; ++e) {
            Encoder enc(drmModeGetEncoder(fd, conn->encoders[e]));
            if (!enc) continue;
            for (int k = 0; k < res->count_crtcs && k < 32; ++k)
                if (enc->possible_crtcs & (1u << k)) {
                    crtc = res->crtcs[k];
                    break;
                }
        }
        if (!crtc) continue;
        route.connector = conn->connector_id;
        route.crtc = crtc;
        route.mode = *chosen;
        return true;
    }
    problem = path + " has no connected display";
    return false;
}

int orientation_of(int fd, uint32_t connector) {
    uint32_t id = 0;
    uint64_t value = 0;
    std::string name;
    if (!connector_property(fd, connector, "panel orientation", id, value, &name)) return 0;
    if (name == "Upside Down") return 2;
    if (name == "Left Side Up") return 1;
    if (name == "Right Side Up") return 3;
    return 0;
}

}  // namespace

bool is_kms_device(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) return major(st.st_rdev) == kDrmMajor;
    return path.rfind("/dev/dri/", 0) == 0;
}

bool probe_kms(const std::string& path, KmsMode& mode, std::string* problem) {
    std::string why;
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    Route route;
    if (fd.get() < 0) {
        why = device_open_problem(path, errno);
    } else {
        uint64_t dumb = 0;
        if (drmGetCap(fd.get(), DRM_CAP_DUMB_BUFFER, &dumb) != 0 || !dumb)
            why = path + " cannot give CPU-drawn buffers (no dumb buffers)";
        else if (find_route(fd.get(), route, why, path)) {
            mode.width = route.mode.hdisplay;
            mode.height = route.mode.vdisplay;
            mode.orientation = orientation_of(fd.get(), route.connector);
            return true;
        }
    }
    trace() << "Kms " << why << "\n";
    if (problem) *problem = why;
    return false;
}

// The device, the buffer scanned out and what the CRTC showed before.
struct KmsDriver::Output {
    FileDescriptor fd;
    Route route;
    Crtc saved;
    uint32_t handle = 0;
    uint32_t fb = 0;
    void* map = nullptr;
    size_t map_length = 0;
    PixelTarget target;
    uint32_t dpms = 0;  // the connector's DPMS property, 0 when it has none

    ~Output() {
        const int f = fd.get();
        if (saved && saved->mode_valid) {
            uint32_t connector = route.connector;
            drmModeSetCrtc(f, saved->crtc_id, saved->buffer_id, saved->x, saved->y, &connector, 1,
                           &saved->mode);
        }
        if (map) munmap(map, map_length);
        if (fb) drmModeRmFB(f, fb);
        if (handle) {
            drm_mode_destroy_dumb destroy{};
            destroy.handle = handle;
            drmIoctl(f, DRM_IOCTL_MODE_DESTROY_DUMB, &destroy);
        }
    }
};

KmsDriver::KmsDriver() {
    m_swap_type = kSystemMemory;
}

KmsDriver::~KmsDriver() = default;

bool KmsDriver::initialise(Window& window, const DisplayParams& requested,
                           const DetectionRecord& record) {
    auto out = std::make_unique<Output>();
    out->fd.reset(::open(record.framebuffer.c_str(), O_RDWR | O_CLOEXEC));
    std::string problem;
    if (out->fd.get() < 0 || !find_route(out->fd.get(), out->route, problem, record.framebuffer)) {
        trace() << "Kms cannot start " << record.framebuffer << " " << problem << "\n";
        return false;
    }
    const int fd = out->fd.get();
    const int w = out->route.mode.hdisplay, h = out->route.mode.vdisplay;
    drm_mode_create_dumb create{};
    create.width = uint32_t(w);
    create.height = uint32_t(h);
    create.bpp = 32;
    if (drmIoctl(fd, DRM_IOCTL_MODE_CREATE_DUMB, &create) != 0) return false;
    out->handle = create.handle;
    if (create.pitch < uint32_t(w) * 4 || create.size < uint64_t(create.pitch) * uint64_t(h))
        return false;
    if (drmModeAddFB(fd, uint32_t(w), uint32_t(h), 24, 32, create.pitch, create.handle,
                     &out->fb) != 0)
        return false;
    drm_mode_map_dumb map_request{};
    map_request.handle = create.handle;
    if (drmIoctl(fd, DRM_IOCTL_MODE_MAP_DUMB, &map_request) != 0) return false;
    void* map = mmap(nullptr, size_t(create.size), PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                     off_t(map_request.offset));
    if (map == MAP_FAILED) return false;
    out->map = map;
    out->map_length = size_t(create.size);
    std::memset(map, 0, out->map_length);
    out->target = {static_cast<uint8_t*>(map), w, h, int(create.pitch), PixelLayout::Xrgb8888};
    out->saved.reset(drmModeGetCrtc(fd, out->route.crtc));
    uint32_t connector = out->route.connector;
    if (drmModeSetCrtc(fd, out->route.crtc, out->fb, 0, 0, &connector, 1, &out->route.mode) != 0) {
        trace() << "Kms cannot set the mode: " << std::strerror(errno) << "\n";
        out->saved.reset();
        return false;
    }
    uint64_t ignored = 0;
    connector_property(fd, connector, "DPMS", out->dpms, ignored);
    m_frame = Bitmap::create(w, h);
    if (!m_frame) return false;
    m_frame->clear(0);
    m_output = std::move(out);
    m_width = w;
    m_height = h;
    m_pitch = m_frame->pitch();
    m_orientation = 0;
    m_dirty = {0, 0, w, h};
    return true;
}

Bitmap* KmsDriver::lock() {
    return m_frame.get();
}

const Bitmap* KmsDriver::frame() const {
    return m_frame.get();
}

void KmsDriver::unlock_and_show(uint32_t flags) {
    if (!m_output || !m_frame || m_dirty.empty()) return;
    write_pixels(*m_frame, m_dirty, m_output->target);
    // Outputs that are not scanned out continuously (USB, SPI panels) copy what is marked.
    drmModeClip clip{uint16_t(m_dirty.left), uint16_t(m_dirty.top), uint16_t(m_dirty.right),
                     uint16_t(m_dirty.bottom)};
    drmModeDirtyFB(m_output->fd.get(), m_output->fb, &clip, 1);
}

void KmsDriver::repaint() {
    if (!m_output || !m_frame) return;
    m_dirty = {0, 0, m_width, m_height};
    unlock_and_show(0);
}

void KmsDriver::suspend() {
    if (m_output && m_output->dpms)
        drmModeConnectorSetProperty(m_output->fd.get(), m_output->route.connector, m_output->dpms,
                                    DRM_MODE_DPMS_OFF);
}

void KmsDriver::resume() {
    if (m_output && m_output->dpms)
        drmModeConnectorSetProperty(m_output->fd.get(), m_output->route.connector, m_output->dpms,
                                    DRM_MODE_DPMS_ON);
    repaint();
}

}  // namespace vistrel
