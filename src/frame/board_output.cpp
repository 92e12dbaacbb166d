#include "frame/board_output.h"

#include <sys/stat.h>

#include "display/framebuffer_driver.h"
#include "display/kms_driver.h"

namespace vistrel {

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

bool is_device_node(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

}  // namespace

bool find_board_output(const std::string& requested, Size file_size, BoardOutput& output,
                       std::string& problem, const BoardDevices& devices) {
    std::string device = requested;
    if (device == "auto") {
        if (exists(devices.framebuffer))
            device = devices.framebuffer;
        else if (exists(devices.kms))
            device = devices.kms;
        else {
            problem = "no screen: neither the frame buffer " + devices.framebuffer +
                      " nor the KMS device " + devices.kms + " exists";
            return false;
        }
    }
    output = BoardOutput{};
    output.device = device;
    output.real_device = is_device_node(device);
    std::string why;
    if (is_kms_device(device)) {
        KmsMode mode;
        if (!probe_kms(device, mode, &why)) {
            problem = "cannot show frames through KMS: " + why;
            return false;
        }
        output.kms = true;
        output.size = {mode.width, mode.height};
        output.orientation = mode.orientation;
        return true;
    }
    FrameBufferGeometry geometry;
    if (!probe_framebuffer(device, file_size, geometry, &why)) {
        problem = "cannot show frames on the frame buffer: " + why;
        return false;
    }
    output.size = {geometry.width, geometry.height};
    output.orientation = geometry.rotate;
    return true;
}

}  // namespace vistrel
