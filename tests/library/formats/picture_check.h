#pragma once
// Decoding a picture's bytes through the readers, for the tests of this folder.

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "library/formats/picture_source.h"
#include "platform/file_stream.h"

namespace vistrel::test {

struct Decoded {
    std::unique_ptr<PictureSource> source;
    std::string problem;
    std::vector<uint8_t> rgb;  // every row read, 3 bytes a pixel
};

inline Decoded decode(const std::vector<uint8_t>& bytes, std::u16string_view name = u"picture") {
    Decoded d;
    d.source = open_picture_source(std::make_unique<MemoryStream>(bytes), name, &d.problem);
    if (!d.source) return d;
    std::vector<uint8_t> row(size_t(d.source->width()) * 3);
    while (d.source->read_row(row.data()))
        d.rgb.insert(d.rgb.end(), row.begin(), row.end());
    return d;
}

// The largest difference of two pictures' samples; 256 when their sizes differ.
inline int max_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return 256;
    int most = 0;
    for (size_t i = 0; i < a.size(); ++i)
        most = std::max(most, std::abs(int(a[i]) - int(b[i])));
    return most;
}

}  // namespace vistrel::test
