#pragma once
// The machine check's timing figures, read from the table's own trace: each
// input's stamp against the moment it was sent, the glide ticks, and each
// glide of a deal against its step.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/machinecheck/MachineCheck.h"
#include "desktop/table/Trace.h"

namespace qbx {

// `sent` holds the steady moments the timed inputs were sent, in order.
void addTraceFigures(const trace::Entry* entries, size_t count, size_t dropped, const std::vector<int64_t>& sent,
                     machinecheck::Measurements& m);

}  // namespace qbx
