#pragma once

#include <cstdint>

// Counts every operator new and, outside sanitizer builds, every malloc, calloc and realloc made
// by the process. Link scrapvolt_allocation_counter into an executable to install the counting
// replacements.
namespace allocation_counter {

// Allocations made since the program started.
uint64_t total();

// True when malloc, calloc and realloc are counted too (not under AddressSanitizer, which owns
// them).
bool countsMalloc();

}  // namespace allocation_counter

// Allocations made while this object lives.
class AllocationScope {
public:
    AllocationScope() : start_(allocation_counter::total()) {}
    uint64_t count() const { return allocation_counter::total() - start_; }

private:
    uint64_t start_;
};
