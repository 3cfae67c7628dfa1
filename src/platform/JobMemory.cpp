#include "platform/JobMemory.hpp"

#include <new>

namespace mvk {

void* JobMemory::allocate(std::size_t size) {
    return ::operator new(size);
}

void JobMemory::release(void* memory) noexcept {
    ::operator delete(memory);
}

}  // namespace mvk
