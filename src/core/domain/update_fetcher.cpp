#include "domain/update_fetcher.h"

#include "app/app_util.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>

namespace {
struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;

struct Transfer {
    std::string* body;
    size_t maxBytes;
    const std::atomic<bool>* cancel;
    bool tooLarge = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (bytes > transfer->maxBytes - transfer->body->size()) {
        transfer->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    transfer->body->append(data, bytes);
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* transfer = static_cast<const Transfer*>(user);
    return transfer->cancel != nullptr && transfer->cancel->load() ? 1 : 0;
}

bool IsHttpUrl(const std::string& url) {
    auto startsWith = [&url](const char* prefix) {
        const std::string p = prefix;
        if (url.size() <= p.size()) {
            return false;
        }
        for (size_t i = 0; i < p.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(url[i])) != p[i]) {
                return false;
            }
        }
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}

UpdateStatus FromCurlError(CURLcode code) {
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return UpdateStatus::kTimedOut;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return UpdateStatus::kProxyRefused;
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_WEIRD_SERVER_REPLY:
        return UpdateStatus::kServerError;
    case CURLE_FILESIZE_EXCEEDED:
        return UpdateStatus::kTooLarge;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
        return UpdateStatus::kSecureConnection;
    default:
        return UpdateStatus::kNoNetwork;
    }
}

// Sets the options one after the other and remembers the first that fails.
class Options {
public:
    explicit Options(CURL* curl) : m_curl(curl) {}
    template <typename T> Options& Set(CURLoption option, T value) {
        if (m_result == CURLE_OK) {
            m_result = curl_easy_setopt(m_curl, option, value);
        }
        return *this;
    }
    bool Ok() const { return m_result == CURLE_OK; }

private:
    CURL* m_curl;
    CURLcode m_result = CURLE_OK;
};
} // namespace

void UpdateFetcher::GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool UpdateFetcher::IsValidPort(const std::string& port) {
    if (port.empty() || port.size() > 5) {
        return false;
    }
    long value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool UpdateFetcher::ProxyUrl(const ProxyRecord& proxy, std::string& url) {
    url.clear();
    std::string address = std::string(proxy.address.utf8_str());
    const std::string port = std::string(proxy.port.utf8_str());
    if (address.empty() && port.empty()) {
        return true;
    }
    if (address.rfind("http://", 0) == 0) {
        address.erase(0, 7);
    }
    if (address.empty() || !IsValidPort(port) ||
        address.find_first_of(" \t\r\n/@?#") != std::string::npos) {
        return false;
    }
    // An IPv6 address goes in brackets.
    if (address.find(':') != std::string::npos && address.front() != '[') {
        address = "[" + address + "]";
    }
    url = "http://" + address + ":" + port;
    return true;
}

UpdateStatus UpdateFetcher::Fetch(const std::string& url, const ProxyRecord& proxy,
                                  const UpdateLimits& limits, const std::atomic<bool>* cancel,
                                  std::string& body) {
    body.clear();
    if (!IsHttpUrl(url)) {
        return UpdateStatus::kNoAddress;
    }
    std::string proxyUrl;
    if (!ProxyUrl(proxy, proxyUrl)) {
        return UpdateStatus::kProxyIncomplete;
    }
    GlobalInit();
    CurlPtr curl(curl_easy_init());
    if (!curl) {
        return UpdateStatus::kNoNetwork;
    }
    Transfer transfer{&body, limits.maxBytes, cancel};
    const std::string agent = std::string(AppUtil::GetProductId().utf8_str()) + "/" +
                              std::string(AppUtil::GetVersion().utf8_str());
    Options options(curl.get());
    options.Set(CURLOPT_URL, url.c_str())
        .Set(CURLOPT_NOSIGNAL, 1L)
        .Set(CURLOPT_PROTOCOLS_STR, "http,https")
        .Set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https")
        .Set(CURLOPT_FOLLOWLOCATION, 1L)
        .Set(CURLOPT_MAXREDIRS, limits.maxRedirects)
        .Set(CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs)
        .Set(CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs)
        .Set(CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytes)
        .Set(CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds)
        .Set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes))
        .Set(CURLOPT_USERAGENT, agent.c_str())
        .Set(CURLOPT_WRITEFUNCTION, OnData)
        .Set(CURLOPT_WRITEDATA, &transfer)
        .Set(CURLOPT_XFERINFOFUNCTION, OnProgress)
        .Set(CURLOPT_XFERINFODATA, &transfer)
        .Set(CURLOPT_NOPROGRESS, 0L);
    const std::string user = std::string(proxy.user.utf8_str());
    const std::string password = std::string(proxy.password.utf8_str());
    if (!proxyUrl.empty()) {
        // Plain HTTP goes to the proxy as an absolute address; HTTPS is tunnelled by libcurl.
        options.Set(CURLOPT_PROXY, proxyUrl.c_str()).Set(CURLOPT_PROXYTYPE, CURLPROXY_HTTP);
        if (!user.empty()) {
            options.Set(CURLOPT_PROXYUSERNAME, user.c_str())
                .Set(CURLOPT_PROXYPASSWORD, password.c_str());
        }
    }
    if (!options.Ok()) {
        return UpdateStatus::kNoNetwork;
    }

    const CURLcode result = curl_easy_perform(curl.get());
    long status = 0;
    long connectStatus = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(curl.get(), CURLINFO_HTTP_CONNECTCODE, &connectStatus);
    if (result != CURLE_OK) {
        std::printf("error num: %d\n", static_cast<int>(result));
        std::fflush(stdout);
        if (cancel != nullptr && cancel->load()) {
            return UpdateStatus::kCancelled;
        }
        if (transfer.tooLarge) {
            return UpdateStatus::kTooLarge;
        }
        if (connectStatus != 0 && connectStatus != 200) {
            return UpdateStatus::kProxyRefused;
        }
        return FromCurlError(result);
    }
    if (status == 407) {
        return UpdateStatus::kProxyRefused;
    }
    if (status != 200) {
        return UpdateStatus::kServerError;
    }
    return UpdateStatus::kFetched;
}
