#pragma once
// Checks resume records the way a tile decoder uses them: from each record's position,
// with the bit buffer rebuilt from the bytes before it, our decoder must decode the rest
// of the record's MCU row exactly as libjpeg reads it.

#include <cstdint>
#include <vector>

#include "library/jpeg/resume_record.h"

namespace vistrel::test {

// Adds a test failure for every record that does not resume correctly; `bytes` is the
// whole JPEG the records were taken from.
void expect_records_resume(const std::vector<uint8_t>& bytes,
                           const std::vector<ResumeRecord>& records);

}  // namespace vistrel::test
