#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "storage/DataFolderLock.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

class DataFolder : public LogicFlow {
  protected:
    std::string fileBytes() const {
        std::ifstream file(h.databasePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    void writeFile(const std::string& bytes) const {
        std::ofstream(h.databasePath(), std::ios::binary | std::ios::trunc) << bytes;
    }

    /// The names of the custom events the gateway received.
    std::vector<std::string> sentNames() const {
        std::vector<std::string> names;
        for (const auto& event : sent("ce")) {
            names.push_back(event.value("name", ""));
        }
        return names;
    }
};

// A damaged file used to fail this start and every later one. Now the next
// start moves it aside, names both paths, and works on a fresh file: what the
// game records from then on is stored and sent.
TEST_F(DataFolder, AStartOverADamagedFileMovesItAsideAndReportsAgain) {
    std::mt19937 random(std::random_device{}());
    const auto randomBytes = [&](std::size_t count) {
        std::string bytes(count, '\0');
        for (auto& byte : bytes) {
            byte = static_cast<char>(random());
        }
        return bytes;
    };
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> damage;
    };
    const std::vector<Case> cases = {
        {"header overwritten",
         [&](const std::string& file) { return randomBytes(100) + file.substr(100); }},
        {"random bytes", [&](const std::string& file) { return randomBytes(file.size()); }},
        {"cut in half", [](const std::string& file) { return file.substr(0, file.size() / 2); }},
    };
    answerConfiguration("");
    const auto aside = h.dir.path() / "morvanix" / "morvanix.db.corrupt";
    for (const auto& [name, damage] : cases) {
        SCOPED_TRACE(name);
        start();
        MVKAnalytics::customEvent("kept-before");
        settle();
        h.dropCore();
        settle();
        ASSERT_EQ(h.openDatabaseDescriptors(), 0u);
        const auto damaged = damage(fileBytes());
        writeFile(damaged);

        LogCapture log(MVKLogLevel::error);
        const auto sentBefore = sentNames().size();
        restart();
        MVKAnalytics::customEvent(name);
        MVKAnalytics::sendBufferedEvents();
        settle();

        const auto names = sentNames();
        EXPECT_EQ(std::vector<std::string>(names.begin() + sentBefore, names.end()),
                  std::vector<std::string>{name});
        EXPECT_TRUE(h.columnTexts("events", "eventJson").empty()) << "everything was sent";
        std::ifstream asideFile(aside, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(asideFile), {}), damaged);
        const auto line =
            "[Database Module] The database " + h.databasePath().string() + " is damaged";
        bool named = false;
        for (const auto& message : log.messages()) {
            named = named || (message.find(line) != std::string::npos &&
                              message.find("moved to " + aside.string()) != std::string::npos);
        }
        EXPECT_TRUE(named) << "no line names both paths";
        EXPECT_FALSE(log.containsFragment("Can't init submodules"));
        h.dropCore();
        settle();
    }
}

// The kernel would grant this process a second lock on a file it already
// locks: a second claim from this same process is refused all the same while
// a core lives, and destroySDK lets the folder go before the core's last
// reference, which a host thread may hold.
TEST_F(DataFolder, ACoreHoldsItsFolderAgainstThisProcessTooUntilDestroy) {
    const auto folder = h.dir.path() / "morvanix";
    start();
    auto held = Core::shared();
    {
        LogCapture log(MVKLogLevel::error);
        try {
            DataFolderLock second(folder);
            ADD_FAILURE() << "a second owner took the folder";
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code().value(), EWOULDBLOCK);
        }
        EXPECT_TRUE(log.containsFragment("The data folder " + folder.string() + " is in use"));
    }
    testing::internal::CaptureStdout();
    MVKEngineWrapper::destroySDK();
    settle();
    EXPECT_NO_THROW(DataFolderLock{folder});
    held.reset();
    testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace mvk::test
