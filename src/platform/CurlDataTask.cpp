#include "platform/CurlDataTask.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/CurlGlobal.hpp"
#include "platform/ProcessExit.hpp"
#include "platform/URL.hpp"
#include "platform/URLSessionSettings.hpp"

namespace mvk {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::string_view errorPrefix = "[Network Module] ";

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Outcome {
    std::optional<std::string> data;
    std::optional<HTTPURLResponse> response;
    std::optional<MVKError> error;
};

Outcome failure(std::string_view text) {
    return Outcome{std::nullopt, std::nullopt,
                   MVKError(std::string(errorPrefix) + std::string(text))};
}

/// State the transfer callbacks share with the thread running the exchange.
struct Transfer {
    std::string body;
    std::size_t maxBytes = URLSessionSettings::defaultMaxResponseBytes;
    bool tooLarge = false;
    std::vector<std::pair<std::string, std::string>> headers;
    std::chrono::milliseconds silentTimeout{0};
    SteadyClock::time_point started = SteadyClock::now();
    SteadyClock::time_point lastActivity = started;
    curl_off_t bytesMoved = 0;
    bool timedOut = false;

    std::chrono::milliseconds totalTimeout{0};
    bool deadlinePassed = false;

    /// The low-speed watch counts answer bytes per window, from the first one.
    std::size_t lowSpeedBytesPerSecond = 0;
    std::chrono::milliseconds lowSpeedWindow{0};
    std::optional<SteadyClock::time_point> windowStart;
    curl_off_t downloadedAtWindowStart = 0;
    bool tooSlow = false;

    bool processExiting = false;
};

std::size_t receiveBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    if (bytes > transfer.maxBytes - transfer.body.size()) {
        transfer.tooLarge = true;
        return 0;  // makes curl abort the exchange
    }
    transfer.body.append(data, bytes);
    return bytes;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::size_t receiveHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (line.rfind("HTTP/", 0) == 0) {
        // A new status line (after an interim 1xx answer) starts a new head.
        transfer.headers.clear();
        return bytes;
    }
    const auto colon = line.find(':');
    if (colon != std::string_view::npos) {
        transfer.headers.emplace_back(std::string(trimmed(line.substr(0, colon))),
                                      std::string(trimmed(line.substr(colon + 1))));
    }
    return bytes;
}

bool answerTooSlow(Transfer& transfer, SteadyClock::time_point now, curl_off_t downloaded) {
    if (transfer.lowSpeedBytesPerSecond == 0 || downloaded == 0) {
        return false;
    }
    if (!transfer.windowStart) {
        transfer.windowStart = now;
        transfer.downloadedAtWindowStart = downloaded;
        return false;
    }
    if (now - *transfer.windowStart < transfer.lowSpeedWindow) {
        return false;
    }
    const auto windowMillis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - *transfer.windowStart).count();
    const long double wanted = static_cast<long double>(transfer.lowSpeedBytesPerSecond) *
                               static_cast<long double>(windowMillis) / 1000.0L;
    if (static_cast<long double>(downloaded - transfer.downloadedAtWindowStart) < wanted) {
        return true;
    }
    transfer.windowStart = now;
    transfer.downloadedAtWindowStart = downloaded;
    return false;
}

/// A process on its way out gives the exchange under way what is left of
/// its bound to be answered (a report the gateway took is then deleted, not
/// sent again), and no more: its OpenSSL and statics must not be torn down
/// under a running transfer.
bool cutByExit(Transfer& transfer, SteadyClock::time_point now) {
    if (now < ProcessExit::cutOffTime()) {
        return false;
    }
    transfer.processExiting = true;
    return true;
}

/// Every way an exchange is given up while it runs: silence, the total
/// deadline, an answer that trickles, and the exit's cut-off time.
int watchTransfer(void* context, curl_off_t, curl_off_t downloaded, curl_off_t,
                  curl_off_t uploaded) {
    auto& transfer = *static_cast<Transfer*>(context);
    const auto now = SteadyClock::now();
    if (cutByExit(transfer, now)) {
        return 1;  // makes curl abort the exchange
    }
    if (now - transfer.started >= transfer.totalTimeout) {
        transfer.deadlinePassed = true;
        return 1;
    }
    if (answerTooSlow(transfer, now, downloaded)) {
        transfer.tooSlow = true;
        return 1;
    }
    const curl_off_t moved = downloaded + uploaded;
    if (moved != transfer.bytesMoved) {
        transfer.bytesMoved = moved;
        transfer.lastActivity = now;
        return 0;
    }
    if (now - transfer.lastActivity >= transfer.silentTimeout) {
        transfer.timedOut = true;
        return 1;
    }
    return 0;
}

// The watch compares the timeouts with steady-clock nanoseconds: a longer one
// would overflow that conversion, and a day is already "never".
constexpr std::chrono::milliseconds longestTimeout = std::chrono::hours(24);

std::chrono::milliseconds silentTimeoutFor(const URLRequest& request,
                                           const URLSessionSettings::Values& settings) {
    if (settings.silentTimeout) {
        return std::clamp(*settings.silentTimeout, std::chrono::milliseconds(1), longestTimeout);
    }
    double seconds = request.timeoutInterval;
    if (!std::isfinite(seconds) || seconds <= 0) {
        seconds = URLRequest::defaultTimeoutInterval;
    }
    seconds = std::min(seconds, 24.0 * 3600.0);
    return std::max(std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000.0)),
                    std::chrono::milliseconds(1));
}

bool isHeaderNameCharacter(unsigned char c) {
    return c > 0x20 && c < 0x7f && c != ':';
}

bool isHeaderValueSafe(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool isMethodToken(std::string_view method) {
    return !method.empty() && std::all_of(method.begin(), method.end(), [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

/// Checked before anything is sent: a field that could split the head into
/// more lines than were asked for is refused.
std::optional<std::string> headerProblem(const URLRequest& request) {
    for (const auto& [name, value] : request.headers) {
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](unsigned char c) {
                return isHeaderNameCharacter(c);
            })) {
            return "A header name holds characters that cannot be sent";
        }
        if (!isHeaderValueSafe(value)) {
            return "The value of the header " + name + " holds a line break or a NUL";
        }
    }
    return std::nullopt;
}

bool hasHeader(const URLRequest& request, std::string_view name) {
    return std::any_of(request.headers.begin(), request.headers.end(), [&](const auto& field) {
        return field.first.size() == name.size() &&
               std::equal(name.begin(), name.end(), field.first.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    });
}

curl_slist* appendHeader(curl_slist* list, const std::string& line) {
    curl_slist* extended = curl_slist_append(list, line.c_str());
    if (extended == nullptr) {
        curl_slist_free_all(list);
    }
    return extended;
}

const char* nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

/// The trust store the host's environment names, read as curl's own tool
/// reads it, so that a host can trust a test gateway's certificate without a
/// call of ours: CURL_CA_BUNDLE alone when set, else SSL_CERT_DIR and
/// SSL_CERT_FILE. Without them the system's store stays.
void trustFromEnvironment(CURL* curl) {
    if (const char* bundle = nonEmptyVariable("CURL_CA_BUNDLE")) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, bundle);
        return;
    }
    if (const char* directory = nonEmptyVariable("SSL_CERT_DIR")) {
        curl_easy_setopt(curl, CURLOPT_CAPATH, directory);
    }
    if (const char* file = nonEmptyVariable("SSL_CERT_FILE")) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, file);
    }
}

/// The thread's kept handles: the multi handle's connection cache lets the
/// next exchange with the same server skip the TCP and TLS set-up.
struct ThreadHandle {
    // Declared first, cleaned up last: the easy handle was used in it.
    std::unique_ptr<CURLM, MultiDeleter> multi;
    std::unique_ptr<CURL, EasyDeleter> handle;
    bool busy = false;
};

/// The handle one exchange runs on: the thread's kept one when reuse is on
/// and it is free, else a fresh one dropped afterwards.
class HandleLease {
  public:
    explicit HandleLease(bool reuse) {
        static thread_local ThreadHandle kept;
        if (reuse && !kept.busy) {
            if (!kept.multi) {
                kept.multi.reset(curl_multi_init());
            }
            if (!kept.handle) {
                kept.handle.reset(curl_easy_init());
            }
            if (kept.multi && kept.handle) {
                kept_ = &kept;
                kept.busy = true;
                multi_ = kept.multi.get();
                handle_ = kept.handle.get();
                return;
            }
        }
        ownedMulti_.reset(curl_multi_init());
        owned_.reset(curl_easy_init());
        multi_ = ownedMulti_.get();
        handle_ = owned_.get();
    }
    ~HandleLease() {
        if (kept_ != nullptr) {
            // The options point into the finished exchange's stack frame; a
            // reset drops them but keeps the live connections.
            curl_easy_reset(handle_);
            kept_->busy = false;
        }
    }
    HandleLease(const HandleLease&) = delete;
    HandleLease& operator=(const HandleLease&) = delete;

    /// Null when either handle could not be made.
    CURL* get() const { return multi_ != nullptr ? handle_ : nullptr; }
    CURLM* multi() const { return multi_; }

  private:
    ThreadHandle* kept_ = nullptr;
    std::unique_ptr<CURLM, MultiDeleter> ownedMulti_;
    std::unique_ptr<CURL, EasyDeleter> owned_;
    CURLM* multi_ = nullptr;
    CURL* handle_ = nullptr;
};

/// The longest wait on the exchange's sockets between two looks at the exit's
/// cut-off time. Left to itself, curl calls the progress callback about once
/// a second while a server is silent: a cut that late could fall after the
/// exit handler returned, under the teardown of OpenSSL.
constexpr std::chrono::milliseconds longestPollStep{25};

/// Runs the exchange on `multi` to its end; answers curl's result for it.
CURLcode exchange(CURLM* multi, CURL* curl, Transfer& transfer) {
    if (curl_multi_add_handle(multi, curl) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    std::optional<CURLcode> result;
    while (!result) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
                result = message->data.result;
            }
        }
        if (result) {
            break;
        }
        if (running == 0) {
            result = CURLE_FAILED_INIT;  // ended without telling how: never expected
            break;
        }
        const auto now = SteadyClock::now();
        if (cutByExit(transfer, now)) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        const auto step = std::chrono::ceil<std::chrono::milliseconds>(
            std::min<SteadyClock::duration>(longestPollStep, ProcessExit::cutOffTime() - now));
        if (curl_multi_poll(multi, nullptr, 0, static_cast<int>(step.count()), nullptr) !=
            CURLM_OK) {
            result = CURLE_FAILED_INIT;
        }
    }
    // Mid-exchange, this closes the connection: an exchange given up is never
    // taken up again.
    curl_multi_remove_handle(multi, curl);
    return *result;
}

Outcome perform(const URLRequest& request) {
    CurlGlobal::ensureInitialized();
    const auto url = URL::fromString(request.url);
    if (!url) {
        return failure("The URL is not valid: " + request.url);
    }
    if (url->scheme() != "http" && url->scheme() != "https") {
        return failure("The URL scheme is not supported: " + url->scheme());
    }
    if (!isMethodToken(request.httpMethod)) {
        return failure("The HTTP method is not valid");
    }
    if (auto problem = headerProblem(request)) {
        return failure(*problem);
    }

    // A request that work under way at the exit makes still gets the rest of
    // the exit's bound; past it, nothing is set going.
    if (SteadyClock::now() >= ProcessExit::cutOffTime()) {
        return failure("The request was not sent: the process is exiting");
    }

    const auto settings = URLSessionSettings::current();
    HandleLease handle(settings.reuseConnections);
    if (handle.get() == nullptr) {
        return failure("Could not create a transfer");
    }
    CURL* curl = handle.get();

    Transfer transfer;
    transfer.maxBytes = std::min(settings.maxResponseBytes,
                                 request.maxResponseBytes.value_or(settings.maxResponseBytes));
    transfer.silentTimeout = silentTimeoutFor(request, settings);
    transfer.totalTimeout =
        std::clamp(settings.totalTimeout, std::chrono::milliseconds(1), longestTimeout);
    transfer.lowSpeedBytesPerSecond = settings.lowSpeedBytesPerSecond;
    transfer.lowSpeedWindow =
        std::clamp(settings.lowSpeedWindow, std::chrono::milliseconds(1), longestTimeout);

    // Each header goes out once, in the order it was added: curl adds none of
    // its own for the fields we set, and its Accept and Expect are removed.
    curl_slist* headerList = nullptr;
    for (const auto& [name, value] : request.headers) {
        // curl reads "Name:" as "remove this header" and "Name;" as an empty value.
        headerList = appendHeader(headerList, value.empty() ? name + ";" : name + ": " + value);
        if (headerList == nullptr) {
            return failure("Out of memory while building the request");
        }
    }
    for (const char* removed : {"Accept", "Expect"}) {
        if (hasHeader(request, removed)) {
            continue;
        }
        headerList = appendHeader(headerList, std::string(removed) + ":");
        if (headerList == nullptr) {
            return failure("Out of memory while building the request");
        }
    }
    std::unique_ptr<curl_slist, SlistDeleter> headers(headerList);

    char errorBuffer[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_blob caBlob{};
    if (settings.caPem) {
        caBlob.data = const_cast<char*>(settings.caPem->data());
        caBlob.len = settings.caPem->size();
        caBlob.flags = CURL_BLOB_COPY;
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &caBlob);
    } else if (settings.caFile) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, settings.caFile->c_str());
    } else {
        trustFromEnvironment(curl);
    }

    if (request.httpMethod == "GET" && request.body.empty()) {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else {
        if (request.httpMethod == "POST") {
            curl_easy_setopt(curl, CURLOPT_POST, 1L);
        } else {
            curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.httpMethod.c_str());
        }
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());

    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(transfer.maxBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, receiveBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, receiveHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::min<std::int64_t>(transfer.silentTimeout.count(),
                                                              24LL * 3600 * 1000)));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, watchTransfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    // A backstop for the deadline should the callback not be reached in time;
    // later than the callback's own check, which runs at least every second,
    // so that the callback tells which limit ended the exchange.
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(transfer.totalTimeout.count() + 2'000));

    transfer.started = SteadyClock::now();
    transfer.lastActivity = transfer.started;
    const CURLcode code = exchange(handle.multi(), curl, transfer);

    // Partial bytes of a failed exchange are dropped: a caller that decodes
    // whatever body came must never see a truncated one.
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        return failure("The answer is larger than " + std::to_string(transfer.maxBytes) + " bytes");
    }
    if (transfer.processExiting) {
        return failure("The request was given up: the process is exiting");
    }
    if (transfer.tooSlow) {
        return failure("The request timed out: the answer came slower than " +
                       std::to_string(transfer.lowSpeedBytesPerSecond) + " bytes per second");
    }
    if (transfer.deadlinePassed ||
        (code == CURLE_OPERATION_TIMEDOUT && !transfer.timedOut &&
         SteadyClock::now() - transfer.started >= transfer.totalTimeout)) {
        return failure("The request timed out: it took longer than " +
                       std::to_string(transfer.totalTimeout.count()) + " ms in all");
    }
    if (transfer.timedOut || code == CURLE_OPERATION_TIMEDOUT) {
        return failure("The request timed out");
    }
    if (code != CURLE_OK) {
        return failure(errorBuffer[0] != '\0' ? std::string(errorBuffer)
                                              : std::string(curl_easy_strerror(code)));
    }

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    char* location = nullptr;
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
    if (status >= 300 && status < 400 && location != nullptr) {
        return failure("The answer redirects (status " + std::to_string(status) +
                       "); redirects are not followed");
    }
    if (status <= 0) {
        return failure("No HTTP answer came");
    }
    return Outcome{std::move(transfer.body), HTTPURLResponse{status, std::move(transfer.headers)},
                   std::nullopt};
}

}  // namespace

CurlDataTask::CurlDataTask(URLRequest request, URLSessionProtocol::Completion completion)
    : request_(std::move(request)), completion_(std::move(completion)) {}

void CurlDataTask::resume() {
    if (started_.exchange(true)) {
        return;
    }
    Outcome outcome;
    try {
        outcome = perform(request_);
    } catch (const std::exception& e) {
        outcome = failure(e.what());
    } catch (...) {
        outcome = failure("The request failed");
    }
    if (completion_) {
        completion_(std::move(outcome.data), std::move(outcome.response), std::move(outcome.error));
    }
}

}  // namespace mvk
