#include "backend/PlatformRequest.hpp"

#include <condition_variable>
#include <mutex>
#include <string_view>

#include "foundation/Logger.hpp"
#include "foundation/MVKError.hpp"

namespace mvk {

namespace {

/// "\t\tkey: value" per pair in key order, joined by ",\n".
std::string headerList(const HeaderMap& headers) {
    std::string text;
    for (const auto& [key, value] : headers) {
        if (!text.empty()) {
            text += ",\n";
        }
        text += "\t\t";
        text += key;
        text += ": ";
        text += value;
    }
    return text;
}

/// Where the session's completion leaves the answer for the waiting thread.
struct ResultBox {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    Response response;
};

}  // namespace

PlatformRequest::PlatformRequest(std::shared_ptr<UrlBuilderProtocol> urlBuilder, RequestType type,
                                 std::shared_ptr<RequestContentProtocol> requestContent,
                                 std::optional<std::string> requestIdentifier,
                                 std::shared_ptr<URLSessionProtocol> session,
                                 std::optional<std::size_t> maxResponseBytes)
    : urlBuilder_(std::move(urlBuilder)),
      type_(type),
      requestContent_(std::move(requestContent)),
      requestIdentifier_(std::move(requestIdentifier)),
      session_(std::move(session)),
      maxResponseBytes_(maxResponseBytes) {}

Response PlatformRequest::send() {
    const auto url = urlBuilder_->getUrl();
    if (!url) {
        // A gateway address without a scheme ends here: the caller sees only
        // status 400, the line says which address.
        logFailure(urlBuilder_->text(), "The URL is not valid");
        return Response{};
    }

    URLRequest request;
    request.url = url->absoluteString();
    request.timeoutInterval = URLRequest::defaultTimeoutInterval;
    request.cachePolicy = 0;
    request.maxResponseBytes = maxResponseBytes_;
    auto body = requestContent_->object().toJSONData();
    if (!body) {
        throw MVKError("getContent Error");
    }
    request.httpMethod = std::string(rawValue(type_));
    request.addValue(std::to_string(body->size()), "Content-Length");
    request.addValue(requestContent_->headerKeyType(), "Content-Type");
    request.body = std::move(*body);
    for (const auto& [key, value] : requestContent_->getBase64Headers()) {
        request.addValue(value, key);
    }

    writeSendLog(*url);

    auto box = std::make_shared<ResultBox>();
    auto task = session_->dataTaskWithRequest(
        std::move(request),
        [box](std::optional<std::string> data, std::optional<HTTPURLResponse> response,
              std::optional<MVKError> error) {
            std::lock_guard lock(box->mutex);
            if (box->finished) {
                return;
            }
            if (error) {
                box->response.error = std::move(error);
            }
            if (response) {
                box->response.statusCode = response->statusCode;
            }
            box->response.data = std::move(data);
            box->finished = true;
            box->done.notify_all();
        });
    if (!task) {
        Response failed{400, std::nullopt, MVKError("[Network Module] The session made no task")};
        logFailure(url->absoluteString(), failed.error->description());
        return failed;
    }
    task->resume();

    Response response;
    {
        std::unique_lock lock(box->mutex);
        box->done.wait(lock, [&] { return box->finished; });
        response = std::move(box->response);
    }
    if (response.error) {
        logFailure(url->absoluteString(), response.error->description());
    }
    return response;
}

// Every caller reports a transport failure as status 400 and no more; this
// line keeps the reason (curl's own words) and where the request went.
void PlatformRequest::logFailure(const std::string& url, std::string_view reason) {
    constexpr std::string_view prefix = "[Network Module] ";
    if (reason.starts_with(prefix)) {
        reason.remove_prefix(prefix.size());
    }
    Logger::writeLog(MVKLogLevel::error, std::string(prefix) + "The request to " + url +
                                             " got no answer: " + std::string(reason));
}

void PlatformRequest::writeSendLog(const URL& url) const {
    if (rawValue(Logger::logLevel()) < rawValue(MVKLogLevel::debug)) {
        return;  // the pretty body is not worth building for nobody
    }
    std::string message = "[Network Module] \n";
    message += " Method: " + std::string(rawValue(type_)) + "\n";
    message += " URL: " + url.absoluteString() + "\n";
    message += " Content-type: " + requestContent_->headerKeyType() + "\n";
    message += " Headers: \n" + headerList(requestContent_->getHeader()) + "\n";
    message += " EncodedHeaders: \n" + headerList(requestContent_->getBase64Headers()) + "\n";
    message += " ";
    if (requestIdentifier_) {
        message += "Content UUID: " + *requestIdentifier_ + " \n";
    }
    message += " Content: " + requestContent_->object().toPrettyJson() + " \n";
    Logger::writeLog(MVKLogLevel::debug, message);
}

}  // namespace mvk
