#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/UnrealBridge.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

TEST(EngineBridge, AnEngineLineIsWrittenAtItsMappedLevel) {
    struct Case {
        std::int64_t engineLevel;
        const char* written;
    };
    const std::vector<Case> cases = {
        {-1, "DEBUG"}, {0, "DEBUG"}, {1, "ERROR"}, {2, "WARNING"}, {3, "INFO"}, {4, "DEBUG"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        UnrealBridge::sendLogMessage(c.engineLevel, "from the engine");
        EXPECT_EQ(log.messages(),
                  std::vector<std::string>{std::string(c.written) + " from the engine"})
            << "engine level " << c.engineLevel;
    }
}

TEST(EngineBridge, AnEngineLineBelowTheLogLevelIsNotWritten) {
    LogCapture log(MVKLogLevel::warning);
    UnrealBridge::sendLogMessage(3, "info");
    UnrealBridge::sendLogMessage(1, std::string("bad \xC3", 5));
    EXPECT_EQ(log.messages(), std::vector<std::string>{"ERROR bad \xEF\xBF\xBD"});
}

TEST(EngineBridge, TheTestStringShowsTheTextAndItsBase64) {
    LogCapture log;
    MVKEngineWrapper::testString("abc");
    EXPECT_TRUE(log.contains(MVKLogLevel::debug,
                             "[EngineWrapper] Test string:\n\tOrigin: [abc]\n\tBase64: [YWJj]"));
    MVKEngineWrapper::testString(std::string("\xFF", 1));
    EXPECT_TRUE(
        log.contains(MVKLogLevel::debug,
                     "[EngineWrapper] Test string:\n\tOrigin: [\xEF\xBF\xBD]\n\tBase64: [/w==]"))
        << "the base64 form shows the bytes the engine sent";
}

}  // namespace
}  // namespace mvk::test
