// The update check against HTTP servers on the loopback address: fetching, parsing and
// comparing, the bounds of the transfer and the proxy.
#include "domain/update_description.h"
#include "domain/update_fetcher.h"
#include "domain/version_number.h"
#include "support/loopback_server.h"
#include "thread/update_worker.h"

#include <gtest/gtest.h>
#include <wx/event.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {
const std::string kProduct = "Ombrix Image to PDF Converter";

std::string Description(const std::string& products,
                        const std::string& declaration = "<?xml version=\"1.0\"?>\n") {
    return declaration + "<updates>\n" + products + "</updates>\n";
}

std::string Product(const std::string& name, const std::string& version) {
    return "<product name=\"" + name + "\" version=\"" + version + "\"/>\n";
}

// Serves fixed responses by path; anything else is 404.
class Site {
public:
    void Add(const std::string& path, const std::string& response) { m_pages[path] = response; }
    LoopbackServer::Handler Handler() {
        return [this](LoopbackServer::Connection& connection, const std::string& head) {
            const auto page = m_pages.find(LoopbackServer::PathOf(head));
            connection.Send(page != m_pages.end() ? page->second
                                                  : LoopbackServer::Response(404, "none"));
        };
    }

private:
    std::map<std::string, std::string> m_pages;
};

std::string Redirect(const std::string& location) {
    return LoopbackServer::Response(302, "", "Location: " + location + "\r\n");
}

// Waits until a condition holds, for at most ten seconds.
template <typename Condition> bool WaitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class UpdateCheckTest : public testing::Test {
protected:
    void SetUp() override {
        LoopbackServer::ClearProxyEnvironment();
        UpdateFetcher::GlobalInit();
    }

    static UpdateLimits ShortLimits() {
        UpdateLimits limits;
        limits.connectTimeoutMs = 2000;
        limits.totalTimeoutMs = 3000;
        limits.lowSpeedSeconds = 1;
        return limits;
    }

    static UpdateTask Task(const std::string& url, const ProxyRecord& proxy = ProxyRecord{}) {
        UpdateTask task;
        task.url = url;
        task.proxy = proxy;
        task.product = kProduct;
        task.running = "2.1.13";
        task.limits = ShortLimits();
        return task;
    }

    static UpdateStatus Check(const UpdateTask& task, std::string* found = nullptr) {
        std::string version;
        const UpdateStatus status = UpdateWorker::Check(task, version);
        if (found != nullptr) {
            *found = version;
        }
        return status;
    }

    static ProxyRecord Proxy(const std::string& address, const std::string& port) {
        ProxyRecord proxy;
        proxy.address = address;
        proxy.port = port;
        return proxy;
    }
};
} // namespace

TEST(VersionNumberTest, ComparesDottedNumbersPartByPart) {
    struct Case {
        const char* a;
        const char* b;
        int order;
    };
    const Case cases[] = {
        {"2.1.9", "2.1.13", -1}, {"2.1.13", "2.1.13", 0}, {"2.1", "2.1.0", 0},
        {"2.1.0.0", "2.1", 0},   {"10.0", "9.9.9", 1},    {"2.1.13", "2.2", -1},
        {"3", "2.99.99", 1},     {"2.01", "2.1", 0},      {"2.1.13", "2.1.130", -1},
    };
    for (const Case& c : cases) {
        int order = 99;
        ASSERT_TRUE(VersionNumber::Compare(c.a, c.b, order)) << c.a << " " << c.b;
        EXPECT_EQ(order, c.order) << c.a << " vs " << c.b;
        ASSERT_TRUE(VersionNumber::Compare(c.b, c.a, order));
        EXPECT_EQ(order, -c.order) << c.b << " vs " << c.a;
    }
    for (const char* bad : {"", "2.1a", "v2.1", "2..1", "2.1.", ".2", " 2.1", "2.1 ", "-1", "2,1",
                            "1234567890.1", "2.1-beta", "1.2.3.4.5", "0.0.0.0.0"}) {
        int order = 99;
        EXPECT_FALSE(VersionNumber::Compare("2.1.13", bad, order)) << "\"" << bad << "\"";
    }
}

TEST_F(UpdateCheckTest, DescriptionsServedOverHttp) {
    struct Case {
        const char* name;
        std::string response;
        UpdateStatus status;
        std::string version;
    };
    using S = UpdateStatus;
    auto ok = [](const std::string& body) { return LoopbackServer::Response(200, body); };
    const Case cases[] = {
        {"newer", ok(Description(Product(kProduct, "2.1.14"))), S::kNewer, "2.1.14"},
        {"newer minor", ok(Description(Product(kProduct, "2.2"))), S::kNewer, "2.2"},
        {"equal", ok(Description(Product(kProduct, "2.1.13"))), S::kLatest, "2.1.13"},
        {"equal, longer", ok(Description(Product(kProduct, "2.1.13.0"))), S::kLatest, "2.1.13.0"},
        {"older", ok(Description(Product(kProduct, "2.1.9"))), S::kLatest, "2.1.9"},
        {"attributes read by name, in any order, among others",
         ok(Description("<group><product id=\"7\" version=\"3.0\" name=\"" + kProduct +
                        "\" c=\"x\">text</product></group>")),
         S::kNewer, "3.0"},
        {"other attribute names", ok(Description("<product a=\"" + kProduct + "\" b=\"9.0\"/>")),
         S::kProductMissing, ""},
        {"fewer than two attributes, then a good one",
         ok(Description("<product/><product name=\"" + kProduct + "\"/>" +
                        Product(kProduct, "2.5"))),
         S::kNewer, "2.5"},
        {"one attribute only", ok(Description("<product name=\"" + kProduct + "\"/>")),
         S::kProductMissing, ""},
        {"several products, the first match wins",
         ok(Description(Product("Ombrix Word to PDF", "7.0") + Product(kProduct, "2.1.20") +
                        Product(kProduct, "9.9"))),
         S::kNewer, "2.1.20"},
        {"name differing by case", ok(Description(Product("Ombrix image to PDF converter", "9.9"))),
         S::kProductMissing, ""},
        {"version that is no version", ok(Description(Product(kProduct, "2.2-beta"))),
         S::kInvalidDescription, ""},
        {"version of five parts", ok(Description(Product(kProduct, "2.1.13.0.1"))),
         S::kInvalidDescription, ""},
        // Within the size cap, yet more than a dialog can lay out.
        {"version of 50,000 parts",
         ok(Description(Product(
             kProduct, "3" +
                           [] {
                               std::string parts;
                               for (int i = 0; i < 50000; ++i) {
                                   parts += ".1";
                               }
                               return parts;
                           }()))),
         S::kInvalidDescription, ""},
        {"malformed XML", ok("<updates><product name=\"" + kProduct + "\" version=\"3\">"),
         S::kInvalidDescription, ""},
        {"HTML page",
         ok("<!DOCTYPE html>\n<html><head><meta charset=utf-8><title>Moved</title></head>"
            "<body><p>Moved<br></body></html>"),
         S::kInvalidDescription, ""},
        {"empty body", ok(""), S::kInvalidDescription, ""},
        {"404", LoopbackServer::Response(404, Description(Product(kProduct, "3.0"))),
         S::kServerError, ""},
        {"500", LoopbackServer::Response(500, Description(Product(kProduct, "3.0"))),
         S::kServerError, ""},
    };
    Site site;
    for (size_t i = 0; i < std::size(cases); ++i) {
        site.Add("/" + std::to_string(i), cases[i].response);
    }
    LoopbackServer server(site.Handler());
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string version;
        EXPECT_EQ(Check(Task(server.Url("/" + std::to_string(i))), &version), cases[i].status)
            << cases[i].name;
        EXPECT_EQ(version, cases[i].version) << cases[i].name;
    }
}

TEST_F(UpdateCheckTest, Utf8ArrivingOneByteAtATimeUnderTheCLocale) {
    const std::string name = "Ombrix Bildwandler \xC3\x9C \xE5\x9B\xBE\xE5\x83\x8F";
    const std::string body =
        Description("<!-- \xC3\x9C"
                    "bersicht \xE6\x9B\xB4\xE6\x96\xB0 -->\n" +
                    Product("Ombrix \xC3\x9C", "1.0") + Product(name, "2.4.1"));
    LoopbackServer server([&body](LoopbackServer::Connection& connection, const std::string&) {
        connection.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"
                        "Connection: close\r\n\r\n");
        for (char c : body) {
            if (!connection.Send("1\r\n" + std::string(1, c) + "\r\n")) {
                return;
            }
        }
        connection.Send("0\r\n\r\n");
    });
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    UpdateTask task = Task(server.Url("/d.xml"));
    task.product = name;
    std::string version;
    const UpdateStatus status = Check(task, &version);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(status, UpdateStatus::kNewer);
    EXPECT_EQ(version, "2.4.1");

    // A description in another declared encoding is read in that encoding.
    std::string latin;
    EXPECT_EQ(UpdateDescription::FindVersion(
                  "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><u><product name=\"Ombrix \xDC\" "
                  "version=\"4.0\"/></u>",
                  "Ombrix \xC3\x9C", latin),
              UpdateDescription::kFound);
    EXPECT_EQ(latin, "4.0");
}

TEST_F(UpdateCheckTest, RedirectsAreFollowedWithinBounds) {
    Site site;
    site.Add("/good", LoopbackServer::Response(200, Description(Product(kProduct, "2.1.14"))));
    // /hop1 → /hop2 → ... → /hop5 → /good: five redirects.
    for (int i = 1; i <= 5; ++i) {
        site.Add("/hop" + std::to_string(i),
                 Redirect(i == 5 ? "/good" : "/hop" + std::to_string(i + 1)));
    }
    site.Add("/hop0", Redirect("/hop1")); // six
    site.Add("/loop", Redirect("/loop"));
    site.Add("/file", Redirect("file:///etc/hostname"));
    site.Add("/ftp", Redirect("ftp://127.0.0.1/update.xml"));
    LoopbackServer server(site.Handler());
    site.Add("/absolute", Redirect(server.Url("/good")));

    struct Case {
        const char* path;
        UpdateStatus status;
    };
    const Case cases[] = {
        {"/absolute", UpdateStatus::kNewer},   {"/hop1", UpdateStatus::kNewer},
        {"/hop0", UpdateStatus::kServerError}, {"/loop", UpdateStatus::kServerError},
        {"/file", UpdateStatus::kServerError}, {"/ftp", UpdateStatus::kServerError},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Check(Task(server.Url(c.path))), c.status) << c.path;
    }
    // Addresses that are not HTTP or HTTPS are not fetched at all.
    for (const char* url : {"", "-update.xml", "file:///etc/hostname", "ftp://127.0.0.1/x"}) {
        EXPECT_EQ(Check(Task(url)), UpdateStatus::kNoAddress) << url;
    }
}

TEST_F(UpdateCheckTest, DescriptionsBeyondTheCapAreRefused) {
    const std::string good = Description(Product(kProduct, "2.1.14"));
    Site site;
    site.Add("/good", LoopbackServer::Response(200, good));
    site.Add("/declared", LoopbackServer::Response(200, std::string(300 * 1024, ' ') + good));
    LoopbackServer server(site.Handler());
    LoopbackServer endless([](LoopbackServer::Connection& connection, const std::string&) {
        connection.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n<updates>");
        const std::string block(64 * 1024, ' ');
        while (connection.Send(block)) {
        }
    });

    UpdateLimits limits = ShortLimits();
    std::string body;
    // An endless body stops at the cap; what is kept never exceeds it.
    EXPECT_EQ(UpdateFetcher::Fetch(endless.Url("/"), ProxyRecord{}, limits, nullptr, body),
              UpdateStatus::kTooLarge);
    EXPECT_LE(body.size(), limits.maxBytes);
    // A declared length over the cap.
    EXPECT_EQ(UpdateFetcher::Fetch(server.Url("/declared"), ProxyRecord{}, limits, nullptr, body),
              UpdateStatus::kTooLarge);
    // A description exactly at the cap is read; one byte more is refused.
    limits.maxBytes = good.size();
    EXPECT_EQ(UpdateFetcher::Fetch(server.Url("/good"), ProxyRecord{}, limits, nullptr, body),
              UpdateStatus::kFetched);
    EXPECT_EQ(body, good);
    limits.maxBytes = good.size() - 1;
    EXPECT_EQ(UpdateFetcher::Fetch(server.Url("/good"), ProxyRecord{}, limits, nullptr, body),
              UpdateStatus::kTooLarge);
}

TEST_F(UpdateCheckTest, SilentSlowAndAbsentServersFail) {
    LoopbackServer silent([](LoopbackServer::Connection& connection, const std::string&) {
        connection.WaitForClose();
    });
    LoopbackServer trickle([](LoopbackServer::Connection& connection, const std::string&) {
        if (!connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<updates>")) {
            return;
        }
        while (connection.Send(" ")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    EXPECT_EQ(Check(Task(silent.Url("/"))), UpdateStatus::kTimedOut);
    EXPECT_EQ(Check(Task(trickle.Url("/"))), UpdateStatus::kTimedOut);
    EXPECT_EQ(Check(Task("http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) +
                         "/x-update.xml")),
              UpdateStatus::kNoNetwork);
}

TEST_F(UpdateCheckTest, ACheckCanBeCancelled) {
    LoopbackServer silent([](LoopbackServer::Connection& connection, const std::string&) {
        connection.WaitForClose();
    });
    UpdateTask task = Task(silent.Url("/"));
    task.limits.totalTimeoutMs = 600000; // only the cancellation can end it
    task.limits.lowSpeedSeconds = 600;
    task.channel = std::make_shared<UpdateChannel>(nullptr);
    auto check = std::async(std::launch::async, [&task] { return Check(task); });
    ASSERT_TRUE(WaitFor([&silent] { return silent.Requests().size() == 1; }));
    task.channel->Close();
    EXPECT_EQ(check.get(), UpdateStatus::kCancelled);
}

TEST_F(UpdateCheckTest, TheProxyCarriesTheRequest) {
    const std::string good = Description(Product(kProduct, "2.1.14"));
    LoopbackServer proxy([&good](LoopbackServer::Connection& connection, const std::string& head) {
        const bool tunnel = head.rfind("CONNECT ", 0) == 0;
        const bool needsLogin = head.find("needs-login") != std::string::npos;
        if (tunnel || needsLogin) {
            connection.Send(
                LoopbackServer::Response(407, "", "Proxy-Authenticate: Basic realm=\"p\"\r\n"));
            return;
        }
        connection.Send(LoopbackServer::Response(200, good));
    });
    const std::string port = std::to_string(proxy.Port());

    // Plain HTTP goes to the proxy as an absolute address, with the user's credentials.
    ProxyRecord record = Proxy("127.0.0.1", port);
    record.user = "ann";
    record.password = "s3cret";
    EXPECT_EQ(Check(Task("http://updates.invalid/a-update.xml", record)), UpdateStatus::kNewer);
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].rfind("GET http://updates.invalid/a-update.xml HTTP/1.1", 0), 0u)
        << proxy.Requests()[0];
    EXPECT_NE(proxy.Requests()[0].find("Proxy-Authorization: Basic YW5uOnMzY3JldA=="),
              std::string::npos)
        << proxy.Requests()[0];

    // HTTPS is tunnelled: the proxy sees CONNECT, and its 407 is a proxy failure.
    EXPECT_EQ(Check(Task("https://updates.invalid/b-update.xml", Proxy("127.0.0.1", port))),
              UpdateStatus::kProxyRefused);
    ASSERT_EQ(proxy.Requests().size(), 2u);
    EXPECT_EQ(proxy.Requests()[1].rfind("CONNECT updates.invalid:443 HTTP/1.1", 0), 0u)
        << proxy.Requests()[1];

    // A 407 to a plain request.
    EXPECT_EQ(Check(Task("http://updates.invalid/needs-login", Proxy("127.0.0.1", port))),
              UpdateStatus::kProxyRefused);

    // With no proxy of its own the check follows the environment, as libcurl reads it.
    setenv("http_proxy", ("http://127.0.0.1:" + port).c_str(), 1);
    EXPECT_EQ(Check(Task("http://updates.invalid/c-update.xml")), UpdateStatus::kNewer);
    unsetenv("http_proxy");
    ASSERT_EQ(proxy.Requests().size(), 4u);
    EXPECT_EQ(proxy.Requests()[3].rfind("GET http://updates.invalid/c-update.xml", 0), 0u);

    // Incomplete or invalid proxy settings fail without any transfer.
    for (const ProxyRecord& bad :
         {Proxy("", port), Proxy("127.0.0.1", ""), Proxy("127.0.0.1", "0"),
          Proxy("127.0.0.1", "65536"), Proxy("127.0.0.1", "80a"), Proxy("my proxy", port)}) {
        EXPECT_EQ(Check(Task(proxy.Url("/x-update.xml"), bad)), UpdateStatus::kProxyIncomplete)
            << bad.address << ":" << bad.port;
    }
    EXPECT_EQ(proxy.Requests().size(), 4u);
}

TEST_F(UpdateCheckTest, TheWorkerPostsItsResultThroughTheChannel) {
    Site site;
    site.Add("/d.xml", LoopbackServer::Response(200, Description(Product(kProduct, "3.1"))));
    LoopbackServer server(site.Handler());

    // Takes the queued events over, from any thread.
    struct Receiver : wxEvtHandler {
        void QueueEvent(wxEvent* event) override {
            std::lock_guard lock(mutex);
            events.emplace_back(event);
        }
        size_t Count() {
            std::lock_guard lock(mutex);
            return events.size();
        }
        std::mutex mutex;
        std::vector<std::unique_ptr<wxEvent>> events;
    } receiver;
    auto* task = new UpdateTask(Task(server.Url("/d.xml")));
    task->id = 42;
    task->channel = std::make_shared<UpdateChannel>(&receiver);
    ASSERT_TRUE(UpdateWorker::Start(task));
    ASSERT_TRUE(WaitFor([&receiver] { return receiver.Count() == 1; }));
    const auto* result = static_cast<wxThreadEvent*>(receiver.events[0].get());
    EXPECT_EQ(result->GetEventType(), EVT_UPDATE_RESULT);
    EXPECT_EQ(result->GetInt(), static_cast<int>(UpdateStatus::kNewer));
    EXPECT_EQ(result->GetString(), "3.1");
    EXPECT_EQ(result->GetExtraLong(), 42);

    // A closed channel delivers nothing: the window has given up on the check.
    auto* abandoned = new UpdateTask(Task(server.Url("/d.xml")));
    abandoned->channel = std::make_shared<UpdateChannel>(&receiver);
    abandoned->channel->Close();
    const std::weak_ptr<UpdateChannel> watch = abandoned->channel;
    ASSERT_TRUE(UpdateWorker::Start(abandoned));
    // The worker's record, with its share of the channel, goes when the worker ends.
    ASSERT_TRUE(WaitFor([&watch] { return watch.expired(); }));
    EXPECT_EQ(receiver.Count(), 1u);
}
