#include "gateway/Gateway.hpp"

#include <httplib.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "gateway/SelfSignedCertificate.hpp"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MVK_GATEWAY_UNDER_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define MVK_GATEWAY_UNDER_TSAN 1
#endif

#ifdef MVK_GATEWAY_UNDER_TSAN
// The system's httplib is not built for ThreadSanitizer: the lazily built
// statics it shares between its workers are read past a guard the tool cannot
// see, and its memcmp calls on them are reported as races. Only the checks of
// the C library calls made directly from httplib are dropped; its locks and
// our own handler code are still checked.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\n";
}
#endif

namespace mvk::gateway {

namespace {

constexpr std::size_t serverThreads = 32;

std::int64_t nowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

/// httplib files the peer's and its own address among the header fields.
bool isAddressPseudoHeader(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

RecordedRequest record(const httplib::Request& request) {
    RecordedRequest recorded;
    recorded.method = request.method;
    const auto question = request.target.find('?');
    recorded.path = request.target.substr(0, question);
    if (question != std::string::npos) {
        recorded.query = request.target.substr(question + 1);
    }
    for (const auto& [name, value] : request.headers) {
        if (!isAddressPseudoHeader(name)) {
            recorded.headers.emplace_back(name, value);
        }
    }
    recorded.body = request.body;
    recorded.receivedAtMillis = nowMillis();
    return recorded;
}

}  // namespace

class Gateway::Impl {
  public:
    Impl() : server_(certificate_.certificate(), certificate_.privateKey()) {
        if (!server_.is_valid()) {
            throw std::runtime_error("gateway: TLS set-up failed");
        }
        // Without it a small answer written in two pieces waits for a delayed ACK.
        server_.set_tcp_nodelay(true);
        // Clients keep their connections open; stopping waits for each idle
        // one to time out, so keep that wait short.
        server_.set_keep_alive_timeout(1);
        server_.new_task_queue = [] { return new httplib::ThreadPool(serverThreads); };
        const httplib::Server::Handler handler = [this](const httplib::Request& request,
                                                        httplib::Response& response) {
            handle(request, response);
        };
        const std::string everything = ".*";
        server_.Get(everything, handler);
        server_.Post(everything, handler);
        server_.Put(everything, handler);
        server_.Patch(everything, handler);
        server_.Delete(everything, handler);
        server_.Options(everything, handler);

        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            throw std::runtime_error("gateway: cannot bind to 127.0.0.1");
        }
        listener_ = std::thread([this] {
            // Writing to a connection the client already closed raises SIGPIPE
            // in the writing thread; the workers inherit this thread's mask.
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
            server_.listen_after_bind();
            listenerEnded_ = true;
        });
        while (!server_.is_running()) {
            if (listenerEnded_) {
                listener_.join();
                throw std::runtime_error("gateway: cannot listen on 127.0.0.1");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    ~Impl() { stop(); }

    void stop() {
        {
            std::lock_guard lock(mutex_);
            if (stopped_) {
                return;
            }
            stopped_ = true;
        }
        changed_.notify_all();
        server_.stop();
        if (listener_.joinable()) {
            listener_.join();
        }
    }

    int port() const { return port_; }
    const std::string& caPem() const { return certificate_.pem(); }

    void setDefaultAnswer(ScriptedAnswer answer) {
        std::lock_guard lock(mutex_);
        defaultAnswer_ = std::move(answer);
    }

    void setAnswer(const std::string& path, ScriptedAnswer answer) {
        std::lock_guard lock(mutex_);
        standing_[path] = std::move(answer);
    }

    void enqueueAnswer(const std::string& path, ScriptedAnswer answer) {
        std::lock_guard lock(mutex_);
        queued_[path].push_back(std::move(answer));
    }

    void clearAnswers() {
        std::lock_guard lock(mutex_);
        standing_.clear();
        queued_.clear();
        defaultAnswer_ = ScriptedAnswer::json(200, "{}");
    }

    std::vector<RecordedRequest> requests(const std::string* path) const {
        std::lock_guard lock(mutex_);
        std::vector<RecordedRequest> result;
        for (const auto& request : requests_) {
            if (path == nullptr || request.path == *path) {
                result.push_back(request);
            }
        }
        return result;
    }

    bool waitForRequests(const std::string& path, std::size_t count,
                         std::chrono::milliseconds timeout) const {
        const auto arrived = [&] {
            std::size_t seen = 0;
            for (const auto& request : requests_) {
                seen += request.path == path ? 1 : 0;
            }
            return seen >= count;
        };
        // Waited in slices, each charged at most its own length: a machine
        // paused mid-wait wakes with the clock moved on, and the client must
        // get its turn before the wait gives up.
        constexpr auto slice = std::chrono::milliseconds(100);
        std::unique_lock lock(mutex_);
        std::chrono::steady_clock::duration spent{};
        while (!arrived()) {
            if (spent >= timeout) {
                return false;
            }
            const auto before = std::chrono::steady_clock::now();
            changed_.wait_for(
                lock, std::min<std::chrono::steady_clock::duration>(slice, timeout - spent));
            spent += std::min<std::chrono::steady_clock::duration>(
                std::chrono::steady_clock::now() - before, slice);
        }
        return true;
    }

    void clearRequests() {
        std::lock_guard lock(mutex_);
        requests_.clear();
    }

    void setRequestObserver(std::function<void(const RecordedRequest&)> observer) {
        std::lock_guard lock(mutex_);
        observer_ = std::move(observer);
    }

  private:
    void handle(const httplib::Request& request, httplib::Response& response) {
        auto recorded = record(request);
        ScriptedAnswer answer;
        std::function<void(const RecordedRequest&)> observer;
        {
            std::lock_guard lock(mutex_);
            answer = answerFor(recorded.path);
            observer = observer_;
            requests_.push_back(recorded);
        }
        changed_.notify_all();
        if (observer) {
            observer(recorded);
        }

        if (answer.delay.count() > 0) {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, answer.delay, [&] { return stopped_; });
        }
        if (answer.closeWithoutAnswer) {
            // httplib always writes an answer; with the socket shut down that
            // write fails and the client sees the connection end instead.
            if (request.ssl != nullptr) {
                shutdown(SSL_get_fd(request.ssl), SHUT_RDWR);
            }
            return;
        }
        response.status = answer.status;
        for (const auto& [name, value] : answer.headers) {
            response.headers.emplace(name, value);
        }
        if (answer.cutAfterBytes) {
            auto body = std::make_shared<std::string>(
                answer.body.substr(0, std::min(*answer.cutAfterBytes, answer.body.size())));
            const int socket = request.ssl != nullptr ? SSL_get_fd(request.ssl) : -1;
            response.set_chunked_content_provider(
                answer.contentType, [body, socket](std::size_t offset, httplib::DataSink& sink) {
                    if (offset < body->size()) {
                        return sink.write(body->data() + offset, body->size() - offset);
                    }
                    // Without the closing chunk the client cannot take the
                    // answer for a whole one.
                    if (socket >= 0) {
                        shutdown(socket, SHUT_RDWR);
                    }
                    return false;
                });
        } else if (answer.dripInterval.count() > 0) {
            auto body = std::make_shared<std::string>(std::move(answer.body));
            const auto interval = answer.dripInterval;
            const auto piece = std::max<std::size_t>(answer.dripBytes, 1);
            response.set_chunked_content_provider(
                answer.contentType,
                [this, body, interval, piece](std::size_t offset, httplib::DataSink& sink) {
                    {
                        std::unique_lock lock(mutex_);
                        if (changed_.wait_for(lock, interval, [&] { return stopped_; })) {
                            return false;
                        }
                    }
                    if (offset < body->size()) {
                        return sink.write(body->data() + offset,
                                          std::min(piece, body->size() - offset));
                    }
                    sink.done();
                    return true;
                });
        } else if (answer.chunked) {
            auto body = std::make_shared<std::string>(std::move(answer.body));
            response.set_chunked_content_provider(
                answer.contentType, [body](std::size_t offset, httplib::DataSink& sink) {
                    constexpr std::size_t chunk = 64 * 1024;
                    if (offset < body->size()) {
                        const auto size = std::min(chunk, body->size() - offset);
                        return sink.write(body->data() + offset, size);
                    }
                    sink.done();
                    return true;
                });
        } else if (!answer.body.empty() || !answer.contentType.empty()) {
            response.set_content(answer.body, answer.contentType);
        }
    }

    /// Called with the lock held.
    ScriptedAnswer answerFor(const std::string& path) {
        auto queued = queued_.find(path);
        if (queued != queued_.end() && !queued->second.empty()) {
            auto answer = std::move(queued->second.front());
            queued->second.pop_front();
            return answer;
        }
        auto standing = standing_.find(path);
        return standing != standing_.end() ? standing->second : defaultAnswer_;
    }

    SelfSignedCertificate certificate_;
    httplib::SSLServer server_;
    int port_ = 0;
    std::thread listener_;
    std::atomic<bool> listenerEnded_{false};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopped_ = false;
    ScriptedAnswer defaultAnswer_ = ScriptedAnswer::json(200, "{}");
    std::map<std::string, ScriptedAnswer> standing_;
    std::map<std::string, std::deque<ScriptedAnswer>> queued_;
    std::vector<RecordedRequest> requests_;
    std::function<void(const RecordedRequest&)> observer_;
};

Gateway::Gateway() : impl_(std::make_unique<Impl>()) {}

Gateway::~Gateway() = default;

int Gateway::port() const {
    return impl_->port();
}

std::string Gateway::baseUrl() const {
    return "https://127.0.0.1:" + std::to_string(impl_->port());
}

std::string Gateway::url(std::string_view pathAndQuery) const {
    return baseUrl() + std::string(pathAndQuery);
}

const std::string& Gateway::caPem() const {
    return impl_->caPem();
}

void Gateway::setDefaultAnswer(ScriptedAnswer answer) {
    impl_->setDefaultAnswer(std::move(answer));
}

void Gateway::setAnswer(const std::string& path, ScriptedAnswer answer) {
    impl_->setAnswer(path, std::move(answer));
}

void Gateway::enqueueAnswer(const std::string& path, ScriptedAnswer answer) {
    impl_->enqueueAnswer(path, std::move(answer));
}

void Gateway::clearAnswers() {
    impl_->clearAnswers();
}

std::vector<RecordedRequest> Gateway::requests() const {
    return impl_->requests(nullptr);
}

std::vector<RecordedRequest> Gateway::requests(const std::string& path) const {
    return impl_->requests(&path);
}

bool Gateway::waitForRequests(const std::string& path, std::size_t count,
                              std::chrono::milliseconds timeout) const {
    return impl_->waitForRequests(path, count, timeout);
}

void Gateway::clearRequests() {
    impl_->clearRequests();
}

void Gateway::setRequestObserver(std::function<void(const RecordedRequest&)> observer) {
    impl_->setRequestObserver(std::move(observer));
}

void Gateway::stop() {
    impl_->stop();
}

}  // namespace mvk::gateway
