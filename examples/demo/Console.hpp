#pragma once

#include <string>

namespace demo {

/// One line on standard output. The library's log closure, its completions
/// and the game's two threads all print, so lines never interleave.
void say(const std::string& text);

/// A blank line and a step title.
void step(const std::string& title);

}  // namespace demo
