#pragma once
// Compiles a skin source into the bytes of a skin file: attribute names first (they must
// lie in the first 64 KiB), then the other names and the string pool (pictures in
// declaration order; fonts and texts each sorted and without repeats), then the top-level
// nodes as a balanced search tree, each record followed by its body and the bodies of its
// descendants. Tables are sorted by name. The same source always gives the same bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "skinc/skin_source.h"

namespace vistrel::skinc {

// False with the reason in `error` when the source cannot be a skin file (repeated names,
// unknown pictures, limits of the format exceeded).
bool compile_skin(const SkinSource& source, std::vector<uint8_t>& out, std::string& error);

}  // namespace vistrel::skinc
