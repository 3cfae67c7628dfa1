#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mvk/MVKStore.hpp"

namespace mvk::test {

/// A store driven by per-request scripts. Each request, in the order they are
/// made, takes the next script (silence when none is left). A script's steps
/// are delivered when the request starts: inside `start` on the caller's
/// thread, or from a thread of the store after a delay; or they wait until
/// the test calls `deliver`. Cancelling does not stop a delivery, as a store
/// may already be answering.
class FakeStore final : public MVKStore {
  public:
    struct Step {
        enum class Kind { products, failure, finish };
        Kind kind;
        std::vector<MVKStoreProduct> products{};
        std::string failure{};

        static Step answer(std::vector<MVKStoreProduct> products) {
            return {Kind::products, std::move(products)};
        }
        static Step fail(std::string text) { return {Kind::failure, {}, std::move(text)}; }
        static Step finish() { return {Kind::finish}; }
    };
    enum class Delivery { insideStart, ownThread, onDemand };
    struct Script {
        std::vector<Step> steps{};
        Delivery delivery = Delivery::onDemand;
        std::chrono::milliseconds delay{0};
    };
    /// What the library did with one request.
    struct Record {
        std::set<std::string> identifiers;
        int starts = 0;
        int cancels = 0;
    };

    ~FakeStore() override;

    void script(Script script);
    /// Answers the first request with these products, then finishes.
    void scriptProducts(std::vector<MVKStoreProduct> products,
                        Delivery delivery = Delivery::onDemand);
    void scriptFailure(std::string text, Delivery delivery = Delivery::onDemand);

    /// Delivers the steps of an on-demand request that has started (again).
    void deliver(std::size_t requestIndex);
    std::vector<Record> records() const;
    /// Waits for the threads of own-thread deliveries.
    void join();

    std::shared_ptr<MVKStoreProductsRequest> makeProductsRequest(
        const std::set<std::string>& productIdentifiers,
        std::shared_ptr<MVKStoreProductsRequestDelegate> delegate) override;

  private:
    class Request;
    struct Entry {
        Script script;
        std::shared_ptr<MVKStoreProductsRequestDelegate> delegate;
        Record record;
    };

    void started(std::size_t index);
    static void run(const std::vector<Step>& steps, MVKStoreProductsRequestDelegate& delegate);

    mutable std::mutex mutex_;
    std::deque<Script> scripts_;
    std::vector<Entry> entries_;
    std::vector<std::thread> threads_;
};

/// A store product priced in a locale.
MVKStoreProduct storeProduct(std::string id, double price, std::string localeIdentifier = "en_US",
                             std::optional<std::string> regionCode = "US",
                             std::optional<std::string> currencyCode = "USD");

}  // namespace mvk::test
