#include "backend/BackendRepository.hpp"

#include <exception>

#include "backend/BackendConfigUrl.hpp"
#include "backend/PercentEncoding.hpp"
#include "foundation/JsonCoding.hpp"
#include "foundation/Logger.hpp"
#include "records/DecodingError.hpp"
#include "records/ReceiptResult.hpp"

namespace mvk {

namespace {

bool hasBody(const Response& response) {
    return response.data && !response.data->empty();
}

/// The answer's body decoded as `T`, or nothing with the reason in `error`.
template <class T>
std::optional<T> decodeBody(const Response& response, std::string_view typeName,
                            std::string& error) {
    if (!hasBody(response)) {
        error = DecodingError::noBody();
        return std::nullopt;
    }
    std::string reason;
    auto json = parseJson(*response.data, &reason);
    if (!json) {
        error = DecodingError::notJson(reason);
        return std::nullopt;
    }
    try {
        std::optional<T> value;
        if constexpr (requires { T::fromJson(*json, &error); }) {
            value = T::fromJson(*json, &error);
        } else {
            value = T::fromJson(*json);
            if (!value) {
                DecodingError::describe(typeName, &error);
            }
        }
        return value;
    } catch (const std::exception& exception) {
        error = std::string(typeName) + ": " + exception.what();
        return std::nullopt;
    }
}

void logError(const std::string& message) {
    Logger::writeLog(MVKLogLevel::error, message);
}

/// No HTTP answer came (none at all, or one cut short): the request could not
/// be completed, which says nothing of the gateway's view of it.
bool isTransportFailure(const Response& response) {
    return !response.data || response.error;
}

std::string statusText(const Response& response) {
    return std::to_string(response.statusCode);
}

}  // namespace

BackendRepository::BackendRepository(std::shared_ptr<NetworkProtocol> network,
                                     std::shared_ptr<ContentFactoryProtocol> contentFactory)
    : network_(std::move(network)), contentFactory_(std::move(contentFactory)) {}

std::optional<Response> BackendRepository::perform(
    std::string_view path, std::size_t maxAnswerBytes, const std::string& appId,
    const BackendMessage& message, const std::optional<std::string>& requestIdentifier,
    std::string& failure) const {
    // A placeholder host never resolves: asking for it would only cost a
    // lookup and a failure line per request.
    if (BackendConfigUrl::isUnset()) {
        failure = "No gateway address is set";
        return std::nullopt;
    }
    try {
        auto builder = network_->post(BackendConfigUrl::baseApiUrl() + "/v2" + std::string(path));
        // Escaped so that a key holding "&", "#" or a blank cannot change the target.
        builder->setQueryParam("appId", percentEncodeQueryValue(appId));
        builder->setContent(contentFactory_->getContent(message.data, message.identifiers));
        builder->setMaxResponseBytes(maxAnswerBytes);
        if (requestIdentifier) {
            builder->setRequestIdentifier(requestIdentifier);
        }
        return builder->build()->send();
    } catch (const MVKError& error) {
        failure = error.description();
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "The request failed";
    }
    return std::nullopt;
}

ConfigRequestResult BackendRepository::requestConfig(const std::string& appId,
                                                     const BackendMessage& message) {
    constexpr const char* failureText = "[Backend Module] Can't create a config request. Error: ";
    const ConfigRequestResult fallback{Config::defaulConfiguration(), true};
    std::string error;
    auto response =
        perform("/analytics/config", stateAnswerMaxBytes, appId, message, std::nullopt, error);
    if (!response) {
        logError(failureText + error);
        return fallback;
    }
    if (response->statusCode != 200 || !hasBody(*response)) {
        return fallback;
    }
    auto config = decodeBody<Config>(*response, "Config", error);
    if (!config) {
        logError(failureText + error);
        return fallback;
    }
    return ConfigRequestResult{std::move(*config), false};
}

BackendIdentifiers BackendRepository::requestIdentification(const std::string& appId,
                                                            const BackendMessage& message) {
    std::string error;
    auto response = perform("/analytics/identification", stateAnswerMaxBytes, appId, message,
                            std::nullopt, error);
    if (!response) {
        return BackendIdentifiers::error(
            "[Backend Module] Can't build the backend identifiers request. Error: " + error);
    }
    switch (response->statusCode) {
        case 200: {
            auto data = decodeBody<SummaryBackendData>(*response, "SummaryBackendData", error);
            return data ? BackendIdentifiers::identifiers(std::move(*data))
                        : BackendIdentifiers::error("[Backend Module] parse identifiers. Error:  " +
                                                    error);
        }
        case 202: {
            auto retry = decodeBody<RetryAfter>(*response, "RetryAfter", error);
            return retry ? BackendIdentifiers::retryAfter(retry->retryAfter)
                         : BackendIdentifiers::error(
                               "[Backend Module] parse retry parametr. Error:  " + error);
        }
        case 422:
            return BackendIdentifiers::doNotRetry();
        default:
            return BackendIdentifiers::error("[Backend Module] identifiers, unknown status code " +
                                             statusText(*response));
    }
}

SendAnalyticsResult BackendRepository::sendAnalytics(
    const std::string& appId, const BackendMessage& message,
    const std::optional<std::string>& requestIdentifier) {
    std::string error;
    auto response = perform("/analytics/report", reportAnswerMaxBytes, appId, message,
                            requestIdentifier, error);
    if (!response) {
        const std::string text =
            "[Backend Module] Can't create a sent report request. Error: " + error;
        logError(text);
        return SendAnalyticsResult::failure(MVKError(text));
    }
    if (response->statusCode != 200) {
        // A request that got no HTTP answer (no body, not even an empty one)
        // takes the status-400 branch like a refusal, but carries no status
        // of the gateway's: it must not pass for a refusal for good, or the
        // report would be deleted while the network is down.
        std::optional<int> refusal;
        if (!isTransportFailure(*response)) {
            refusal = static_cast<int>(response->statusCode);
        }
        return SendAnalyticsResult::failure(
            MVKError("[Backend Module] Failed to send Report, status code: " +
                     statusText(*response)),
            refusal);
    }
    return SendAnalyticsResult::success(true);
}

MVKVerifyResponse BackendRepository::sendVerifyReceipt(const std::string& appId,
                                                       const BackendMessage& message) {
    constexpr const char* failureText =
        "[Backend Module] Can't create a request for receipt verification. Error: ";
    std::string error;
    auto response =
        perform("/verify/payment", receiptAnswerMaxBytes, appId, message, std::nullopt, error);
    // Not the gateway's refusal: a request that could not be completed.
    if (response && isTransportFailure(*response)) {
        error = response->error ? response->error->description() : "No HTTP answer came";
        response.reset();
    }
    if (!response) {
        logError(failureText + error);
        return MVKVerifyResponse(MVKReceiptStatus::internalError);
    }
    if (response->statusCode != 200) {
        logError("[Backend Module] Failed to send a receipt, status code: " +
                 statusText(*response));
        return MVKVerifyResponse(MVKReceiptStatus::serverError);
    }
    auto result = decodeBody<ReceiptResult>(*response, "ReceiptResult", error);
    if (!result) {
        logError(failureText + error);
        return MVKVerifyResponse(MVKReceiptStatus::internalError);
    }
    auto status = result->status ? MVKReceiptStatusFromRawValue(*result->status) : std::nullopt;
    if (!status) {
        logError("[Backend Module] Can't parse verification data");
        return MVKVerifyResponse(MVKReceiptStatus::internalError, result->verificationResult);
    }
    MVKVerifyResponse verdict(*status, result->verificationResult);
    Logger::writeLog(MVKLogLevel::info,
                     "[Backend Module] Receipt verification result: \n\t" + verdict.description());
    return verdict;
}

std::optional<MessagingConfig> BackendRepository::requestMessagingConfig(
    const std::string& appId, const BackendMessage& message) {
    std::string error;
    auto response =
        perform("/messaging/config", stateAnswerMaxBytes, appId, message, std::nullopt, error);
    if (!response) {
        logError("[Backend Module] Can't create messaging config request. Error: " + error);
        return std::nullopt;
    }
    // The status is not looked at: the gateway may answer categories with any of them.
    return decodeBody<MessagingConfig>(*response, "MessagingConfig", error);
}

std::optional<RemoteConfig> BackendRepository::requestABTestConfig(const std::string& appId,
                                                                   const BackendMessage& message) {
    return requestOn200<RemoteConfig>(
        "/remoteconfig/experiments", appId, message,
        "[Backend Module] Can't create A/B-Test config request. Error: ", "RemoteConfig");
}

std::optional<InvolvedExperimentsContainer> BackendRepository::requestAbTestOffer(
    const std::string& appId, const BackendMessage& message) {
    return requestOn200<InvolvedExperimentsContainer>(
        "/remoteconfig/offer", appId, message,
        "[Backend Module] Can't create A/B-Test offer request. Error: ",
        "InvolvedExperimentsContainer");
}

template <class T>
std::optional<T> BackendRepository::requestOn200(std::string_view path, const std::string& appId,
                                                 const BackendMessage& message,
                                                 std::string_view failureText,
                                                 std::string_view typeName) const {
    std::string error;
    auto response = perform(path, stateAnswerMaxBytes, appId, message, std::nullopt, error);
    if (!response) {
        logError(std::string(failureText) + error);
        return std::nullopt;
    }
    if (response->statusCode != 200 || !hasBody(*response)) {
        return std::nullopt;
    }
    auto answer = decodeBody<T>(*response, typeName, error);
    if (!answer) {
        logError(std::string(failureText) + error);
    }
    return answer;
}

}  // namespace mvk
