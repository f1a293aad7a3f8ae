#pragma once

#include <cstdint>

// How many times operator new ran in this program so far.
std::uint64_t AllocationCount();
