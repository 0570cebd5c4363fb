#pragma once

#include <cstdint>

// Counts the process's heap allocations (operator new, malloc, calloc, realloc) once
// scrapvolt_allocation_counter is linked in.
namespace allocation_counter {
uint64_t total();
}  // namespace allocation_counter

// Allocations made while this object lives.
struct AllocationScope {
    uint64_t count() const { return allocation_counter::total() - start; }
    uint64_t start = allocation_counter::total();
};
