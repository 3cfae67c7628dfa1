#include "gateway/CannedAnswers.hpp"

#include <chrono>

namespace mvk::gateway {

std::map<std::string, ScriptedAnswer> cannedAnswers() {
    const auto now = std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
    return {
        {"/v2/analytics/config",
         ScriptedAnswer::json(200, R"({"timeForRequest":120000,"countForRequest":10,)"
                                   R"("eventParamsCount":20,"sessionTimeout":600000,)"
                                   R"("serverTime":)" +
                                       now + R"(,"aliveTimeout":300000,"userCounting":true})")},
        {"/v2/analytics/identification",
         ScriptedAnswer::json(200, R"({"morvanixId":1,"morvanixIdTimestamp":)" + now +
                                       R"(,"created":)" + now + R"(,"newUser":true})")},
        {"/v2/analytics/report", ScriptedAnswer::json(200, "{}")},
        {"/v2/verify/payment",
         ScriptedAnswer::json(200, R"({"status":0,"verificationResult":"valid"})")},
        {"/v2/messaging/config",
         ScriptedAnswer::json(200, R"({"pushCategories":{"version":1,"categories":[]}})")},
        {"/v2/remoteconfig/experiments",
         ScriptedAnswer::json(200, R"({"experiments":[],"version":1,"userProperties":{}})")},
        {"/v2/remoteconfig/offer", ScriptedAnswer::json(200, R"({"involvedExperiments":[]})")},
    };
}

}  // namespace mvk::gateway
