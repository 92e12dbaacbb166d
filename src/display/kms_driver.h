#pragma once
// Output through kernel mode setting, for boards whose kernel offers /dev/dri/cardN but no
// frame-buffer device: one CPU-mapped "dumb" buffer of 32-bit XRGB8888 pixels scanned out
// on the first connected connector at its preferred mode. Frames are drawn in RGB565 in
// system memory and converted into the buffer on show. libdrm appears only in this file's
// implementation.

#include <memory>
#include <string>

#include "display/driver.h"

namespace vistrel {

// What a KMS device shows: its preferred mode's size and the panel's mounting.
struct KmsMode {
    int width = 0;
    int height = 0;
    int orientation = 0;  // quarter turns from the connector's "panel orientation", 0 if none
};

// Whether `path` names a DRM device (a character device of the DRM major, or a path under
// /dev/dri).
bool is_kms_device(const std::string& path);

// Opens the device and finds a connected output; false with one line in `problem`.
bool probe_kms(const std::string& path, KmsMode& mode, std::string* problem = nullptr);

class KmsDriver final : public DisplayDriver {
public:
    KmsDriver();
    ~KmsDriver() override;
    bool initialise(Window& window, const DisplayParams& requested,
                    const DetectionRecord& record) override;
    Bitmap* lock() override;
    void unlock_and_show(uint32_t flags) override;
    const Bitmap* frame() const override;
    // Switches the output off (DPMS) while the program is inactive, on again after.
    void suspend() override;
    void resume() override;
    void repaint() override;

private:
    struct Output;
    std::unique_ptr<Output> m_output;
    std::unique_ptr<Bitmap> m_frame;
};

}  // namespace vistrel
