#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace {
constexpr int kPollMs = 50;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

int BoundPort(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

const char* Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 407:
        return "Proxy Authentication Required";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}
} // namespace

bool LoopbackServer::Connection::Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (m_stopping) {
            return false;
        }
        pollfd ready{m_socket, POLLOUT, 0};
        if (poll(&ready, 1, kPollMs) <= 0) {
            continue;
        }
        const ssize_t n = send(m_socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

void LoopbackServer::Connection::WaitForClose() {
    char buffer[256];
    while (!m_stopping) {
        pollfd ready{m_socket, POLLIN, 0};
        if (poll(&ready, 1, kPollMs) <= 0) {
            continue;
        }
        if (recv(m_socket, buffer, sizeof buffer, 0) <= 0) {
            return;
        }
    }
}

LoopbackServer::LoopbackServer(Handler handler) : m_handler(std::move(handler)) {
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(0);
    if (m_listener < 0 ||
        bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, 16) != 0) {
        throw std::runtime_error("cannot listen on the loopback address");
    }
    m_port = BoundPort(m_listener);
    m_acceptor = std::thread(&LoopbackServer::AcceptLoop, this);
}

LoopbackServer::~LoopbackServer() {
    m_stopping = true;
    m_acceptor.join();
    close(m_listener);
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
}

std::string LoopbackServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> LoopbackServer::Requests() {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::string LoopbackServer::Response(int status, const std::string& body,
                                     const std::string& headers) {
    return "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" +
           headers + "\r\n" + body;
}

std::string LoopbackServer::PathOf(const std::string& head) {
    const size_t start = head.find(' ');
    const size_t end = head.find(' ', start + 1);
    return start == std::string::npos ? std::string() : head.substr(start + 1, end - start - 1);
}

void LoopbackServer::ClearProxyEnvironment() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        unsetenv(name);
    }
}

int LoopbackServer::ClosedPort() {
    // Bind a port, then let it go: nothing listens there afterwards.
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(0);
    bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int port = BoundPort(probe);
    close(probe);
    return port;
}

void LoopbackServer::AcceptLoop() {
    while (!m_stopping) {
        pollfd ready{m_listener, POLLIN, 0};
        if (poll(&ready, 1, kPollMs) <= 0) {
            continue;
        }
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        const int on = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::lock_guard lock(m_mutex);
        m_workers.emplace_back(&LoopbackServer::Serve, this, client);
    }
}

void LoopbackServer::Serve(int socket) {
    std::string head;
    char buffer[1024];
    while (!m_stopping && head.find("\r\n\r\n") == std::string::npos) {
        pollfd ready{socket, POLLIN, 0};
        if (poll(&ready, 1, kPollMs) <= 0) {
            continue;
        }
        const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        head.append(buffer, static_cast<size_t>(n));
    }
    if (!head.empty()) {
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(head.substr(0, head.find("\r\n\r\n")));
        }
        Connection connection(socket, m_stopping);
        m_handler(connection, head);
    }
    shutdown(socket, SHUT_RDWR);
    close(socket);
}
