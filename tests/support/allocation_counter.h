// Counts heap allocations made on the calling thread, by the host or by the
// plug-in it loaded (the plug-in's operator new resolves to ours). Not
// available under AddressSanitizer, which keeps operator new for itself.
#pragma once

#include <cstdint>

namespace allocations {

bool counting();
/// Allocations on this thread since it started.
std::uint64_t onThisThread();
/// Bytes requested by those allocations.
std::uint64_t bytesOnThisThread();

}  // namespace allocations
