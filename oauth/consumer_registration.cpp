#include "oauth/consumer_registration.h"

#include <atomic>
#include <list>
#include <mutex>

namespace {

struct ConsumerRegistration {
    std::string key;
    std::string secret;
};

const ConsumerRegistration kBuiltInRegistration{"tilvaneDemoConsumer22K",
                                                "tilvaneDemoConsumerSecretPlaceholder00041"};

std::mutex registrationMutex;
// Replaced registrations are kept, so references handed out earlier never dangle.
std::list<ConsumerRegistration> replacedRegistrations;
std::atomic<const ConsumerRegistration*> currentRegistration{&kBuiltInRegistration};

}  // namespace

const std::string& consumerKey() {
    return currentRegistration.load(std::memory_order_acquire)->key;
}

const std::string& consumerSecret() {
    return currentRegistration.load(std::memory_order_acquire)->secret;
}

void setConsumerRegistration(std::string key, std::string secret) {
    std::lock_guard lock(registrationMutex);
    replacedRegistrations.push_back({std::move(key), std::move(secret)});
    currentRegistration.store(&replacedRegistrations.back(), std::memory_order_release);
}
