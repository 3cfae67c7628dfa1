#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "mvk/MVKUserCard.hpp"
#include "people/PeopleLogicProxy.hpp"
#include "platform/QueueManager.hpp"
#include "platform/SerialQueue.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk::test {
namespace {

/// The getters' answers, in the order they came, as "getter=answer".
class Answers {
  public:
    void add(std::string answer) {
        std::lock_guard lock(mutex_);
        answers_.push_back(std::move(answer));
    }
    std::vector<std::string> all() const {
        std::lock_guard lock(mutex_);
        return answers_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> answers_;
};

void askName(Answers& answers) {
    MVKUserCard::getName([&answers](const std::string& name) { answers.add("name=" + name); });
}

void askGender(Answers& answers) {
    MVKUserCard::getGender([&answers](MVKGender gender) {
        answers.add("gender=" + std::string(description(gender)));
    });
}

void askAge(Answers& answers) {
    MVKUserCard::getAge(
        [&answers](std::int64_t age) { answers.add("age=" + std::to_string(age)); });
}

void askValue(Answers& answers, const std::string& key) {
    MVKUserCard::getValue(key, [&answers, key](const std::optional<MVKUserCard::Value>& value) {
        std::string text = "<none>";
        if (value) {
            text = std::visit(
                [](const auto& v) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>) {
                        return v;
                    } else {
                        return nlohmann::json(v).dump();
                    }
                },
                *value);
        }
        answers.add(key + "=" + text);
    });
}

void setCustomKeys(int count) {
    for (int i = 1; i <= count; ++i) {
        MVKUserCard::setInt("k" + std::to_string(i), i);
    }
}

std::string notInitialized(const std::string& method) {
    return "In the " + method + " method an error has occurred: The SDK is not initialized yet!";
}

const std::string longKey(70, 'q');
const std::string excludedLongKey = R"({"pl":[")" + longKey + R"("]})";

struct CardCase {
    const char* name;
    bool started;
    std::function<void(Answers&)> calls;
    std::vector<std::string> answers;
    /// The "ch", "tstr" and "pl" events that reached the gateway, in order, as
    /// "ch:<cheater>", "tstr:<tester>", "pl:<number of parameters>".
    std::vector<std::string> events;
    /// Level-2 lines, each expected exactly once.
    std::vector<std::string> errors;
    /// Texts the stored card must not hold.
    std::vector<std::string> notOnCard;
    /// The gateway configuration's "exclude" events, if any.
    const char* excluded = nullptr;
};

void PrintTo(const CardCase& c, std::ostream* os) {
    *os << c.name;
}

class UserCard : public LogicFlow, public ::testing::WithParamInterface<CardCase> {
  public:
    std::vector<std::string> cardEvents() const {
        std::vector<std::string> events;
        for (const auto& event : sentEvents()) {
            const auto code = event.value("code", "");
            if (code == "ch") {
                events.push_back("ch:" + event["cheater"].dump());
            } else if (code == "tstr") {
                events.push_back("tstr:" + event["tester"].dump());
            } else if (code == "pl") {
                const auto& parameters = event["parameters"];
                events.push_back("pl:" +
                                 std::to_string(parameters.is_object() ? parameters.size() : 0));
            }
        }
        return events;
    }
};

TEST_P(UserCard, PublicCallsReachTheCardAndTheGateway) {
    const auto& c = GetParam();
    LogCapture log(MVKLogLevel::info);
    if (c.excluded) {
        answerConfiguration(R"(,"exclude":{"version":1,"events":)" + std::string(c.excluded) + "}");
    }
    if (c.started) {
        start();
    }
    Answers answers;
    c.calls(answers);
    settle();

    EXPECT_EQ(answers.all(), c.answers);
    EXPECT_EQ(cardEvents(), c.events);
    for (const auto& line : c.errors) {
        EXPECT_EQ(log.count(MVKLogLevel::error, line), 1u) << line;
    }
    for (const auto& json : h.columnTexts("peopleCards", "json")) {
        for (const auto& text : c.notOnCard) {
            EXPECT_EQ(json.find(text), std::string::npos) << json;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UserCard,
    ::testing::Values(
        CardCase{"CheaterInAnyCaseIsAnEventNeverOnTheCard",
                 true,
                 [](Answers& a) {
                     MVKUserCard::setBool("Cheater", true);
                     MVKUserCard::setTester(true);
                     askValue(a, "cheater");
                     askValue(a, "Cheater");
                 },
                 {"cheater=<none>", "Cheater=<none>"},
                 {"ch:true", "tstr:true"},
                 {},
                 {"heater", "ester"}},
        CardCase{"CheaterNeedsAFlag",
                 true,
                 [](Answers&) { MVKUserCard::setString("CHEATER", "yes"); },
                 {},
                 {},
                 {"Invalid value! The [yes] value of the reserved key [cheater] must be Bool"},
                 {"heater"}},
        CardCase{"SixtiethCustomKeyKeepsTheCard",
                 true,
                 [](Answers& a) {
                     setCustomKeys(60);
                     askValue(a, "k60");
                 },
                 {"k60=60"},
                 {},
                 {},
                 {}},
        CardCase{"SixtyFirstCustomKeySendsTheFullCardThenClearsTheCustomKeys",
                 true,
                 [](Answers& a) {
                     MVKUserCard::setName("Ann");
                     setCustomKeys(61);
                     askValue(a, "k1");
                     askValue(a, "k61");
                     askName(a);
                 },
                 {"k1=<none>", "k61=<none>", "name=Ann"},
                 {"pl:62"},
                 {},
                 {"\"k1\""}},
        CardCase{"UnsetOfCheaterTesterAndACustomKey",
                 true,
                 [](Answers& a) {
                     MVKUserCard::setInt("clan", 7);
                     MVKUserCard::unset({"cheater", "Tester", "clan"});
                     askValue(a, "clan");
                 },
                 {"clan=<none>"},
                 {"ch:false", "tstr:false"},
                 {},
                 {"heater", "ester"}},
        CardCase{"GenericGenderIsRefused",
                 true,
                 [](Answers& a) {
                     MVKUserCard::setInt("Gender", 1);
                     askGender(a);
                 },
                 {"gender=Unknown"},
                 {},
                 {"Invalid value! The [1] value of the reserved key [gender] must be MVKGender"},
                 {"gender"}},
        CardCase{"GenderTwoIsFemale",
                 true,
                 [](Answers& a) {
                     MVKUserCard::setGender(MVKGender::female);
                     askGender(a);
                     askValue(a, "gender");
                 },
                 {"gender=Female", "gender=2"},
                 {},
                 {},
                 {}},
        CardCase{"GenderSevenIsUnknown",
                 true,
                 [](Answers& a) {
                     MVKUserCard::setGender(static_cast<MVKGender>(7));
                     askGender(a);
                 },
                 {"gender=Unknown"},
                 {},
                 {},
                 {}},
        CardCase{"GenderMinusOneIsUnknown",
                 true,
                 [](Answers& a) {
                     MVKUserCard::setGender(static_cast<MVKGender>(-1));
                     askGender(a);
                 },
                 {"gender=Unknown"},
                 {},
                 {},
                 {}},
        CardCase{"NameAfterUnsetIsEmpty",
                 true,
                 [](Answers& a) {
                     MVKUserCard::setName("Ann");
                     MVKUserCard::setAge(33);
                     askName(a);
                     MVKUserCard::unsetProperty("NAME");
                     askName(a);
                     askValue(a, "name");
                     askAge(a);
                 },
                 {"name=Ann", "name=", "name=<none>", "age=33"},
                 {},
                 {},
                 {"Ann"}},
        CardCase{"ExcludedKeyIsNeitherSetNorUnset",
                 true,
                 [](Answers& a) {
                     MVKUserCard::setInt("clan", 1);
                     MVKUserCard::setInt("rank", 2);
                     askValue(a, "rank");
                     MVKUserCard::unset({"clan", "rank"});
                     askValue(a, "rank");
                 },
                 {"rank=2", "rank=<none>"},
                 {},
                 {},
                 {"clan"},
                 R"({"pl":["clan"]})"},
        CardCase{"ExcludedKeyIsTestedAsWrittenNotAsCut",
                 true,
                 [](Answers&) { MVKUserCard::setInt(longKey, 1); },
                 {},
                 {},
                 {},
                 {std::string(64, 'q')},
                 excludedLongKey.c_str()},
        CardCase{"RefusedKeyAnswersNothing",
                 true,
                 [](Answers& a) { askValue(a, "\x01\x02"); },
                 {"\x01\x02=<none>"},
                 {},
                 {"Execution of the getValue(key:_:) method was canceled!"},
                 {}},
        CardCase{"DefaultsBeforeStartUp",
                 false,
                 [](Answers& a) {
                     MVKUserCard::setName("Ann");
                     askName(a);
                     askGender(a);
                     askAge(a);
                     askValue(a, "name");
                 },
                 {"name=", "gender=Unknown", "age=0", "name=<none>"},
                 {},
                 {notInitialized("setName(name:)"), notInitialized("getName(completionHandler:)"),
                  notInitialized("getGender(completionHandler:)"),
                  notInitialized("getAge(completionHandler:)"), notInitialized("getValue(key:_:)")},
                 {"Ann"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A getter whose core went between the call and its block: a host waiting on
// the answer would otherwise wait for ever.
TEST(UserCardProxy, GetterOfAProxyThatIsGoneIsAnsweredSilently) {
    LogCapture log(MVKLogLevel::debug);
    auto& queue = QueueManager::incomeQueue().queue();
    int answered = 0;
    bool empty = false;
    queue.pause();
    {
        PeopleLogicProxy proxy;
        proxy.getValue(
            "name",
            [&](std::optional<PeopleValueType> value) {
                ++answered;
                empty = !value.has_value();
            },
            "getName(completionHandler:)");
    }
    queue.resume();
    ASSERT_TRUE(queue.drain(drainLimit()));
    EXPECT_EQ(answered, 1);
    EXPECT_TRUE(empty);
    EXPECT_TRUE(log.messages().empty());
}

}  // namespace
}  // namespace mvk::test
