// Frames for calling any export with operands that are awkward for the x87 unit.
#pragma once

#include <cstdint>
#include <vector>

#include "exports/catalogue.h"

namespace zk::test {

// Several frames for the row: its operands at their slots, markers elsewhere.
std::vector<std::vector<std::uint32_t>> SampleFrames(const ExportRow& row);

}  // namespace zk::test
