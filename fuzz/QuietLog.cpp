// Linked into every target: a decoder that refuses its input may log, and
// millions of log lines would only slow the run down.
#include "foundation/Logger.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    mvk::Logger::setLogLevel(mvk::MVKLogLevel::no);
    return 0;
}
