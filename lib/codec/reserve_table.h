// Working tables that grow to the largest block and are then reused, so
// that packing many blocks allocates once.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace ls11 {

// Makes `table` hold at least `count` elements, keeping it when it already
// does. False when the memory cannot be had.
template <typename T>
bool reserve_table(std::unique_ptr<T[]>& table, size_t& capacity, size_t count) {
  if (capacity >= count) return true;
  table.reset(new (std::nothrow) T[count]);
  capacity = table ? count : 0;
  return table != nullptr;
}

}  // namespace ls11
