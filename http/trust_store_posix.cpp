#include "http/trust_store.h"

bool AddSystemTrustRoots(SSL_CTX* context) {
    return SSL_CTX_set_default_verify_paths(context) == 1;
}
