#include "mvk/MVKIdentifiersListener.hpp"

namespace mvk {

MVKIdentifiersListener::~MVKIdentifiersListener() = default;

void MVKIdentifiersListener::didReceiveMorvanixIdWith(std::int64_t) {}

}  // namespace mvk
