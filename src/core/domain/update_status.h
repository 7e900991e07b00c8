#pragma once

// How an update check ended. Workers hand these codes to the window, which turns them into
// translated texts.
enum class UpdateStatus {
    kNewer,              // a newer version is available
    kLatest,             // the running version is the latest
    kFetched,            // the description arrived (an intermediate step of the check)
    kNoAddress,          // no usable update address
    kProxyIncomplete,    // a proxy port without an address, or the other way round
    kNoNetwork,          // the server cannot be reached
    kTimedOut,           // no complete answer in time
    kSecureConnection,   // the secure connection cannot be made
    kProxyRefused,       // the proxy refused the request or cannot be reached
    kServerError,        // an HTTP status other than 200, or a redirect that is not allowed
    kTooLarge,           // the description exceeds the size cap
    kInvalidDescription, // not a description, or its version is not a version
    kProductMissing,     // the description does not list this product
    kCancelled,          // the user cancelled the check
};
