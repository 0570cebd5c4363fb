#pragma once

#include <cstdint>

// Counts the heap allocations the process makes (operator new, malloc, calloc, realloc). Link
// scrapvolt_allocation_counter into an executable to install the counting.
namespace allocation_counter {
uint64_t total();
inline bool countsMalloc() {
    return true;
}
}  // namespace allocation_counter

// Allocations made while this object lives.
class AllocationScope {
  public:
    uint64_t count() const { return allocation_counter::total() - start_; }

  private:
    uint64_t start_ = allocation_counter::total();
};
