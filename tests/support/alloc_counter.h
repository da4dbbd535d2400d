// Counts operator new / delete calls of the whole test program, so tests can
// prove that something allocates nothing, or frees all it took.
#pragma once

#include <cstdint>

namespace alloccount {

std::int64_t allocations();  // operator new calls so far
std::int64_t live();         // allocations not yet deleted

}  // namespace alloccount
