// read_orientation over any bytes: an answer from 0 to 8, never a read out of bounds.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "library/jpeg/orientation.h"
#include "platform/file_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemoryStream stream(std::vector<uint8_t>(data, data + size));
    const int orientation = vistrel::read_orientation(stream);
    if (orientation < 0 || orientation > 8) std::abort();
    return 0;
}
