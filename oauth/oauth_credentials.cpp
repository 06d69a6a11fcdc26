#include "oauth/oauth_credentials.h"

#include <atomic>
#include <list>
#include <mutex>

namespace {

std::mutex publicationMutex;
// Every published instance is kept, so a reference handed out earlier never dangles.
std::list<OAuthCredentials> publishedCredentials;
std::atomic<const OAuthCredentials*> currentCredentials{nullptr};

}  // namespace

void publishCredentials(OAuthCredentials credentials) {
    std::lock_guard lock(publicationMutex);
    publishedCredentials.push_back(std::move(credentials));
    currentCredentials.store(&publishedCredentials.back(), std::memory_order_release);
}

const OAuthCredentials& processCredentials() {
    static const OAuthCredentials kNone;
    const OAuthCredentials* current = currentCredentials.load(std::memory_order_acquire);
    return current != nullptr ? *current : kNone;
}
