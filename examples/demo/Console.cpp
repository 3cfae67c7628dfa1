#include "Console.hpp"

#include <iostream>
#include <mutex>

namespace demo {

namespace {
std::mutex outputMutex;
}

void say(const std::string& text) {
    std::lock_guard lock(outputMutex);
    std::cout << text << '\n' << std::flush;
}

void step(const std::string& title) {
    say("\n== " + title);
}

}  // namespace demo
