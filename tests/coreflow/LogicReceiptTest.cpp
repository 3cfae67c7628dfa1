#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKAntiCheat.hpp"
#include "mvk/MVKApplication.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

enum class Road { text, file };
enum class ReceiptFile { none, missing, directory, oversized, empty, abc };
enum class On { income, anticheat };

struct ReceiptCase {
    const char* name;
    Road road;
    std::string text;  // the host's receipt text on the first road
    ReceiptFile file;  // what the path names on the second road
    std::optional<gateway::ScriptedAnswer> answer;
    MVKReceiptStatus status;
    std::optional<std::string> verificationResult;
    std::size_t requests;
    std::string errorLine;  // the start of a level-2 message expected, when not empty
    On on;
    bool initialized = true;
};

void PrintTo(const ReceiptCase& c, std::ostream* os) {
    *os << c.name;
}

/// What the completions received and where they ran.
struct Outcomes {
    std::mutex mutex;
    std::vector<MVKVerifyResponse> responses;
    std::vector<On> queues;

    MVKAntiCheat::CompletionHandler completion() {
        return [this](const MVKVerifyResponse& response) {
            const auto on =
                QueueManager::incomeQueue().queue().isCurrent() ? On::income : On::anticheat;
            std::lock_guard lock(mutex);
            responses.push_back(response);
            queues.push_back(on);
        };
    }
};

class LogicReceipts : public LogicFlow, public ::testing::WithParamInterface<ReceiptCase> {
  public:
    void TearDown() override {
        MVKApplication::setAppStoreReceiptPath("");
        LogicFlow::TearDown();
    }

    std::string receiptPath(ReceiptFile kind) const {
        const auto base = h.dir.path() / "receipt";
        switch (kind) {
            case ReceiptFile::none:
                return "";
            case ReceiptFile::missing:
                break;
            case ReceiptFile::directory:
                std::filesystem::create_directories(base);
                break;
            case ReceiptFile::oversized:
                std::ofstream(base).put('x');
                std::filesystem::resize_file(base, 16 * 1024 * 1024 + 1);
                break;
            case ReceiptFile::empty:
                std::ofstream{base};
                break;
            case ReceiptFile::abc:
                std::ofstream(base) << "abc";
                break;
        }
        return base.string();
    }
};

TEST_P(LogicReceipts, EveryRoadCompletesOnceWithItsStatus) {
    const auto& c = GetParam();
    if (c.answer) {
        h.gateway().setAnswer("/v2/verify/payment", *c.answer);
    }
    if (c.initialized) {
        start();
    }
    MVKApplication::setAppStoreReceiptPath(receiptPath(c.file));
    LogCapture log;
    Outcomes outcomes;
    if (c.road == Road::text) {
        MVKAntiCheat::verifyPayment(c.text, outcomes.completion());
    } else {
        MVKAntiCheat::verifyPayment(outcomes.completion());
    }
    settle();

    ASSERT_EQ(outcomes.responses.size(), 1u);
    EXPECT_EQ(outcomes.responses[0].receiptStatus(), c.status)
        << outcomes.responses[0].description();
    EXPECT_EQ(outcomes.queues[0], c.on);
    if (c.status != MVKReceiptStatus::internalError) {
        EXPECT_EQ(outcomes.responses[0].verificationResult(), c.verificationResult);
    }
    EXPECT_EQ(requestCount("/v2/verify/payment"), c.requests);
    if (!c.errorLine.empty()) {
        EXPECT_TRUE(log.containsFragment("ERROR " + c.errorLine)) << c.errorLine;
    } else if (c.requests == 0) {
        EXPECT_FALSE(log.containsFragment("ERROR")) << "a missing receipt is no read error";
    }
}

using Answer = gateway::ScriptedAnswer;
constexpr auto internal = MVKReceiptStatus::internalError;
const std::string notInitialized =
    "In the VerifyPayment method an error has occurred: The SDK is not initialized yet!";
const std::string notRegular =
    "Couldn't read receipt data. Error: the receipt path does not name a regular file";
const std::string oversized =
    "Couldn't read receipt data. Error: the receipt file is larger "
    "than 16 MiB";
const std::string notCompleted =
    "[Backend Module] Can't create a request for receipt verification. Error: ";

Answer cutShort() {
    auto answer = Answer::json(200, R"({"status": 0, "verificationResult": "valid"})");
    answer.cutAfterBytes = 5;
    return answer;
}

Answer noAnswer() {
    Answer answer;
    answer.closeWithoutAnswer = true;
    return answer;
}

INSTANTIATE_TEST_SUITE_P(
    Roads, LogicReceipts,
    ::testing::Values(
        ReceiptCase{"EmptyText", Road::text, "", ReceiptFile::none, std::nullopt, internal,
                    std::nullopt, 0, "Invalid receipt data.", On::income},
        ReceiptCase{"NoPath", Road::file, "", ReceiptFile::none, std::nullopt, internal,
                    std::nullopt, 0, "", On::income},
        ReceiptCase{"MissingFile", Road::file, "", ReceiptFile::missing, std::nullopt, internal,
                    std::nullopt, 0, "", On::income},
        ReceiptCase{"Directory", Road::file, "", ReceiptFile::directory, std::nullopt, internal,
                    std::nullopt, 0, notRegular, On::income},
        ReceiptCase{"OversizedFile", Road::file, "", ReceiptFile::oversized, std::nullopt, internal,
                    std::nullopt, 0, oversized, On::income},
        ReceiptCase{"EmptyFile", Road::file, "", ReceiptFile::empty, std::nullopt, internal,
                    std::nullopt, 0, "Invalid receipt data.", On::income},
        ReceiptCase{"File", Road::file, "", ReceiptFile::abc, std::nullopt, MVKReceiptStatus::valid,
                    "valid", 1, "", On::anticheat},
        ReceiptCase{"NoAnswer", Road::text, "r", ReceiptFile::none, noAnswer(), internal,
                    std::nullopt, 1, notCompleted, On::anticheat},
        ReceiptCase{"AnswerCutShort", Road::text, "r", ReceiptFile::none, cutShort(), internal,
                    std::nullopt, 1, notCompleted, On::anticheat},
        ReceiptCase{"Refused", Road::text, "r", ReceiptFile::none, Answer::json(500, "{}"),
                    MVKReceiptStatus::serverError, std::nullopt, 1,
                    "[Backend Module] Failed to send a receipt, status code: 500", On::anticheat},
        ReceiptCase{"Sandbox", Road::text, "r", ReceiptFile::none,
                    Answer::json(200, R"({"status": 3})"), MVKReceiptStatus::sandbox, std::nullopt,
                    1, "", On::anticheat},
        ReceiptCase{"StatusOutOfRange", Road::text, "r", ReceiptFile::none,
                    Answer::json(200, R"({"status": 7})"), internal, std::nullopt, 1,
                    "[Backend Module] Can't parse verification data", On::anticheat},
        ReceiptCase{"NoStatus", Road::text, "r", ReceiptFile::none,
                    Answer::json(200, R"({"verificationResult": "x"})"), internal, std::nullopt, 1,
                    "[Backend Module] Can't parse verification data", On::anticheat},
        ReceiptCase{"NotInitializedText", Road::text, "r", ReceiptFile::none, std::nullopt,
                    internal, std::nullopt, 0, notInitialized, On::income, false},
        ReceiptCase{"NotInitializedFile", Road::file, "", ReceiptFile::abc, std::nullopt, internal,
                    std::nullopt, 0, notInitialized, On::income, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogicFlow, AReceiptFileIsSentAsBase64WithTheBundleTheHostSet) {
    start();
    const auto path = h.dir.path() / "receipt";
    std::ofstream(path) << "abc";
    MVKApplication::setAppStoreReceiptPath(path.string());
    Outcomes outcomes;
    MVKAntiCheat::verifyPayment(outcomes.completion());
    settle();
    MVKApplication::setBundleIdentifier("com.example.game");
    MVKAntiCheat::verifyPayment(outcomes.completion());
    MVKAntiCheat::verifyPayment("host-receipt", outcomes.completion());
    settle();
    MVKApplication::setAppStoreReceiptPath("");
    MVKApplication::setBundleIdentifier("");

    const auto requests = h.gateway().requests("/v2/verify/payment");
    ASSERT_EQ(requests.size(), 3u);
    const std::string receipt =
        R"({"platform":"ios","receipt":{"receipt-data":"YWJj","password":""})";
    EXPECT_EQ(requests[0].body, receipt + "}") << "no bundle without the host's identifier";
    EXPECT_EQ(requests[1].body, receipt + R"(,"bundle":"com.example.game"})");
    EXPECT_EQ(nlohmann::json::parse(requests[2].body)["receipt"]["receipt-data"], "host-receipt");
    EXPECT_EQ(requests[2].query, std::string("appId=") + key);
}

}  // namespace
}  // namespace mvk::test
