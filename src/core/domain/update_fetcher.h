#pragma once

#include "domain/domain_config.h"
#include "domain/update_status.h"

#include <atomic>
#include <cstddef>
#include <string>

// The bounds of one fetch of the update description.
struct UpdateLimits {
    long connectTimeoutMs = 10000;
    long totalTimeoutMs = 30000;
    // A transfer slower than `lowSpeedBytes` per second for `lowSpeedSeconds` is given up.
    long lowSpeedBytes = 64;
    long lowSpeedSeconds = 10;
    long maxRedirects = 5;
    size_t maxBytes = 256 * 1024;
};

// Fetches the update description over HTTP or HTTPS with libcurl: redirects followed within
// the limit and only to HTTP or HTTPS, status 200 only, the body kept as bytes up to the cap.
// A proxy record with an address and a port sends the request through that HTTP proxy (with
// its user name and password when given; HTTPS is tunnelled); an empty record leaves the
// choice to the environment's proxy variables, as libcurl reads them.
class UpdateFetcher {
public:
    // Initialises libcurl for the process; call on the main thread before any fetch.
    // Later calls do nothing.
    static void GlobalInit();

    // kFetched with the body, or the reason of the failure. `cancel` (may be null) is polled
    // during the transfer; when it turns true the fetch ends with kCancelled.
    static UpdateStatus Fetch(const std::string& url, const ProxyRecord& proxy,
                              const UpdateLimits& limits, const std::atomic<bool>* cancel,
                              std::string& body);

    // True for a port number from 1 to 65535, in decimal digits only.
    static bool IsValidPort(const std::string& port);
    // The proxy address libcurl is given ("http://host:port"), or empty when the record names
    // no proxy. False when the record is incomplete.
    static bool ProxyUrl(const ProxyRecord& proxy, std::string& url);
};
