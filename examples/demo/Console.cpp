#include "Console.hpp"

#include <iostream>
#include <mutex>

namespace demo {

namespace {
// Never destroyed: a library thread may still log while the process exits.
std::mutex& outputMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}
}  // namespace

void say(const std::string& text) {
    std::lock_guard lock(outputMutex());
    std::cout << text << '\n' << std::flush;
}

void step(const std::string& title) {
    say("\n== " + title);
}

}  // namespace demo
