#include "support/BackendGatewayFixture.hpp"

#include "backend/BackendConfigUrl.hpp"

namespace mvk::test {

BackendGatewayFixture::BackendGatewayFixture() : backend_(Backend::make()) {
    BackendConfigUrl::setTestProxyUrl(fixture_.gateway().baseUrl());
    BackendConfigUrl::setTestCustomUrl("");
}

BackendGatewayFixture::~BackendGatewayFixture() {
    BackendConfigUrl::setTestProxyUrl("");
    BackendConfigUrl::setTestCustomUrl("");
}

void BackendGatewayFixture::answer(const std::string& endpoint, gateway::ScriptedAnswer answer) {
    fixture_.gateway().setAnswer("/v2" + endpoint, std::move(answer));
}

void BackendGatewayFixture::answer(const std::string& endpoint, int status, std::string body) {
    answer(endpoint, gateway::ScriptedAnswer::json(status, std::move(body)));
}

}  // namespace mvk::test
