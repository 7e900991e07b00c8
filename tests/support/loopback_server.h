#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP server on the loopback address for tests: every connection is served on its
// own thread by the handler, which gets the request head (request line and headers) and
// writes whatever bytes it likes. The heads received are kept for inspection.
class LoopbackServer {
public:
    class Connection {
    public:
        Connection(int socket, const std::atomic<bool>& stopping)
            : m_socket(socket), m_stopping(stopping) {}
        // Sends all bytes; false when the peer is gone or the server stops.
        bool Send(const std::string& bytes);
        // Waits until the peer closes the connection or the server stops, sending nothing.
        void WaitForClose();
        bool Stopping() const { return m_stopping; }

    private:
        int m_socket;
        const std::atomic<bool>& m_stopping;
    };
    using Handler = std::function<void(Connection& connection, const std::string& head)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by the path.
    std::string Url(const std::string& path) const;
    // The request heads received so far, in order.
    std::vector<std::string> Requests();

    // A complete response with a Content-Length, closing the connection.
    static std::string Response(int status, const std::string& body,
                                const std::string& headers = "");
    // The path of a request head ("GET /a HTTP/1.1" gives "/a"; an absolute address stays).
    static std::string PathOf(const std::string& head);
    // Unsets the proxy variables of the environment, so that requests go where a test says.
    static void ClearProxyEnvironment();
    // A loopback port with nothing listening on it.
    static int ClosedPort();

private:
    void AcceptLoop();
    void Serve(int socket);

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_workers;
    std::vector<std::string> m_requests;
};
