#include "mvk/MVKOptionalText.hpp"

namespace mvk {

MVKOptionalText::MVKOptionalText(const char* text) {
    if (text != nullptr) {
        value_.emplace(text);
    }
}

}  // namespace mvk
