#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/inet/inet.h"
#include "platform/inet/internet_object.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "support/platform/loopback_http_server.h"
#include "support/platform/temp_device.h"

using fvt::test::HttpExchange;
using fvt::test::HttpReply;
using fvt::test::LoopbackHttpServer;

namespace {

// A session and connection to the loopback server; the handles close with the fixture.
class InetTest : public ::testing::Test {
protected:
    void SetUp() override {
        before_ = fvt::OpenInternetHandleCount();
        session_ = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        ASSERT_NE(session_, nullptr);
    }
    void TearDown() override {
        InternetCloseHandle(session_);
        EXPECT_EQ(fvt::OpenInternetHandleCount(), before_);
    }

    HINTERNET Open(const LoopbackHttpServer& server, const char16_t* verb, const char16_t* object,
                   DWORD flags = 0) {
        HINTERNET c = InternetConnectW(session_, u"127.0.0.1", server.Port(), nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0);
        if (!c) return nullptr;
        return HttpOpenRequestW(c, verb, object, u"HTTP/1.1", nullptr, nullptr, flags, 0);
    }

    // The whole body, or "<error N>" with the read's last error.
    static std::string ReadAll(HINTERNET r) {
        std::string out;
        char block[7];  // small, so that bodies span many reads
        for (;;) {
            DWORD n = 0;
            if (!InternetReadFile(r, block, sizeof block, &n)) {
                return "<error " + std::to_string(GetLastError()) + ">";
            }
            if (n == 0) return out;
            out.append(block, n);
        }
    }

    static std::u16string Query(HINTERNET r, DWORD level) {
        WCHAR buffer[256];
        DWORD length = sizeof buffer;
        if (!HttpQueryInfoW(r, level, buffer, &length, nullptr)) return u"<none>";
        return std::u16string(buffer, length / sizeof(WCHAR));
    }

    static DWORD Status(HINTERNET r) {
        DWORD status = 0, length = sizeof status;
        HttpQueryInfoW(r, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length,
                       nullptr);
        return status;
    }

    size_t before_ = 0;
    HINTERNET session_ = nullptr;
};

}  // namespace

TEST_F(InetTest, GetSendsTheRequestAndReadsTheBody) {
    LoopbackHttpServer server([](const HttpExchange&) {
        return HttpReply::Text(200, "the body of the page", "text/html");
    });
    ASSERT_TRUE(server.ok());
    HINTERNET r = Open(server, u"GET", u"/books/a b.htm?x=1");
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(HttpSendRequestW(r, u"User-Agent: Test\r\n", 0xFFFFFFFF, nullptr, 0));
    EXPECT_EQ(Status(r), 200u);
    EXPECT_EQ(Query(r, HTTP_QUERY_CONTENT_TYPE), u"text/html");
    DWORD length = 0, size = sizeof length;
    ASSERT_TRUE(HttpQueryInfoW(r, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                               &size, nullptr));
    EXPECT_EQ(length, 20u);
    EXPECT_EQ(ReadAll(r), "the body of the page");
    EXPECT_EQ(ReadAll(r), "");  // the end stays the end
    auto sent = server.Exchanges();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "GET");
    EXPECT_EQ(sent[0].target, "/books/a%20b.htm?x=1");
    EXPECT_EQ(sent[0].Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(sent[0].Header("User-Agent"), "Test");
}

TEST_F(InetTest, ChunkedAndUntilCloseBodiesAreWhole) {
    std::string text(10000, 'x');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    LoopbackHttpServer server([&](const HttpExchange& e) {
        HttpReply r = HttpReply::Text(200, text);
        if (e.target == "/chunked") {
            r.chunked = true;
            r.pieceBytes = 999;
        } else {
            r.sendLength = false;
        }
        return r;
    });
    HINTERNET chunked = Open(server, u"GET", u"/chunked");
    ASSERT_TRUE(HttpSendRequestW(chunked, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(chunked), text);
    HINTERNET plain = Open(server, u"GET", u"/plain");
    ASSERT_TRUE(HttpSendRequestW(plain, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(plain), text);
}

TEST_F(InetTest, ABodyCutShortIsAFailureNotAnEnd) {
    LoopbackHttpServer server(
        [](const HttpExchange& e) { return HttpReply::Cut(5000, 1234, e.target == "/chunked"); });
    for (const char16_t* target : {u"/length", u"/chunked"}) {
        HINTERNET r = Open(server, u"GET", target);
        ASSERT_TRUE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));
        EXPECT_EQ(ReadAll(r), "<error 12031>") << fvt::WideToUtf8(target);
    }
}

TEST_F(InetTest, HeadHasNoBody) {
    LoopbackHttpServer server([](const HttpExchange&) { return HttpReply::Text(200, "hidden"); });
    HINTERNET r = Open(server, u"HEAD", u"/");
    ASSERT_TRUE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));
    EXPECT_EQ(Query(r, HTTP_QUERY_CONTENT_LENGTH), u"6");
    EXPECT_EQ(ReadAll(r), "");
    EXPECT_EQ(server.Exchanges().at(0).method, "HEAD");
}

TEST_F(InetTest, PostSendsTheBufferAndEndRequestReadsTheAnswer) {
    LoopbackHttpServer server(
        [](const HttpExchange& e) { return HttpReply::Text(200, "got " + e.body); });
    HINTERNET r = Open(server, u"POST", u"/form");
    INTERNET_BUFFERSW buffers{};
    buffers.dwStructSize = sizeof buffers;
    char form[] = "a=1&b=two";
    buffers.lpvBuffer = form;
    buffers.dwBufferLength = buffers.dwBufferTotal = 9;
    buffers.lpcszHeader = u"Content-type: application/x-www-form-urlencoded\r\n";
    buffers.dwHeadersLength = 0xFFFFFFFF;
    EXPECT_FALSE(HttpEndRequestW(r, nullptr, 0, 0));  // nothing sent yet
    ASSERT_TRUE(HttpSendRequestExW(r, &buffers, nullptr, 0, 0));
    ASSERT_TRUE(HttpEndRequestW(r, nullptr, 0, 0));
    EXPECT_EQ(ReadAll(r), "got a=1&b=two");
    auto sent = server.Exchanges().at(0);
    EXPECT_EQ(sent.Header("Content-Length"), "9");
    EXPECT_EQ(sent.Header("Content-type"), "application/x-www-form-urlencoded");
}

TEST_F(InetTest, QueriesReportMissingHeadersAndShortBuffers) {
    LoopbackHttpServer server([](const HttpExchange&) {
        HttpReply r = HttpReply::Text(302, "", "");
        r.With("Location", "/somewhere/else.htm");
        return r;
    });
    HINTERNET r = Open(server, u"GET", u"/");
    EXPECT_FALSE(HttpQueryInfoW(r, HTTP_QUERY_STATUS_CODE, nullptr, nullptr, nullptr));
    ASSERT_TRUE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));
    EXPECT_EQ(Status(r), 302u);  // redirects are the caller's business
    WCHAR small[4];
    DWORD length = sizeof small;
    EXPECT_FALSE(HttpQueryInfoW(r, HTTP_QUERY_LOCATION, small, &length, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(length, 40u);  // 19 characters and the terminator
    EXPECT_EQ(Query(r, HTTP_QUERY_LOCATION), u"/somewhere/else.htm");
    length = sizeof small;
    EXPECT_FALSE(HttpQueryInfoW(r, HTTP_QUERY_CONTENT_DISPOSITION, small, &length, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
}

TEST_F(InetTest, MalformedAnswersFailTheSend) {
    std::string answer;
    LoopbackHttpServer server([&](const HttpExchange&) {
        HttpReply r;
        r.raw = answer;
        return r;
    });
    for (const char* bad : {"garbage\r\n\r\n", "HTTP/1.1 abc Bad\r\n\r\n",
                            "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", "HTTP/1.1 200"}) {
        answer = bad;
        HINTERNET r = Open(server, u"GET", u"/");
        EXPECT_FALSE(HttpSendRequestW(r, nullptr, 0, nullptr, 0)) << bad;
        EXPECT_EQ(GetLastError(), ERROR_HTTP_INVALID_SERVER_RESPONSE) << bad;
    }
}

TEST_F(InetTest, ClosingFromAnotherThreadCancelsABlockedRead) {
    LoopbackHttpServer server([](const HttpExchange&) { return HttpReply::Stalled(1000, 100); });
    HINTERNET r = Open(server, u"GET", u"/");
    ASSERT_TRUE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));
    ASSERT_TRUE(server.WaitUntilHeld(5000));
    std::string result;
    std::thread reader([&] { result = ReadAll(r); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(InternetCloseHandle(r));
    reader.join();
    EXPECT_EQ(result, "<error 12017>");
    EXPECT_FALSE(InternetCloseHandle(r));  // twice is refused, not a crash
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    server.Release();
}

TEST_F(InetTest, AReceiveTimeoutEndsAStalledRead) {
    LoopbackHttpServer server([](const HttpExchange&) { return HttpReply::Stalled(100, 10); });
    HINTERNET r = Open(server, u"GET", u"/");
    DWORD ms = 100;
    ASSERT_TRUE(InternetSetOptionW(r, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms));
    ASSERT_TRUE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(r), "<error 12002>");
    server.Release();
}

TEST_F(InetTest, HttpsIsRefusedClearly) {
    LoopbackHttpServer server([](const HttpExchange&) { return HttpReply::Text(200, "x"); });
    EXPECT_EQ(Open(server, u"GET", u"/", INTERNET_FLAG_SECURE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
    EXPECT_EQ(InternetOpenUrlW(session_, u"https://127.0.0.1/", nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
    EXPECT_EQ(server.ExchangeCount(), 0u);
}

TEST_F(InetTest, RefusedConnectionsFailTheSend) {
    uint16_t port;
    {
        LoopbackHttpServer gone([](const HttpExchange&) { return HttpReply{}; });
        port = gone.Port();
    }
    HINTERNET c = InternetConnectW(session_, u"127.0.0.1", port, nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET r = HttpOpenRequestW(c, u"GET", u"/", nullptr, nullptr, nullptr, 0, 0);
    EXPECT_FALSE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    EXPECT_FALSE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));  // a request is sent once
}

TEST_F(InetTest, ANamedProxyGetsTheAbsoluteTarget) {
    LoopbackHttpServer proxy([](const HttpExchange&) { return HttpReply::Text(200, "via"); });
    std::u16string name = u"127.0.0.1:" + fvt::Utf8ToWide(std::to_string(proxy.Port()));
    INTERNET_PROXY_INFO info{INTERNET_OPEN_TYPE_PROXY, name.c_str(), nullptr};
    ASSERT_TRUE(InternetSetOptionW(session_, INTERNET_OPTION_PROXY, &info, sizeof info));
    HINTERNET c = InternetConnectW(session_, u"books.example", 80, nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_TRUE(InternetSetOptionW(c, INTERNET_OPTION_PROXY_USERNAME, (void*)u"pu", 0));
    ASSERT_TRUE(InternetSetOptionW(c, INTERNET_OPTION_PROXY_PASSWORD, (void*)u"pp", 0));
    HINTERNET r = HttpOpenRequestW(c, u"GET", u"/a.htm", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_TRUE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(r), "via");
    auto sent = proxy.Exchanges().at(0);
    EXPECT_EQ(sent.target, "http://books.example/a.htm");
    EXPECT_EQ(sent.Header("Proxy-Authorization"), "Basic cHU6cHA=");
}

TEST_F(InetTest, CredentialsGoAsBasicAuthorization) {
    LoopbackHttpServer server([](const HttpExchange&) { return HttpReply::Text(200, "x"); });
    HINTERNET c = InternetConnectW(session_, u"127.0.0.1", server.Port(), u"Aladdin",
                                   u"open sesame", INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET r = HttpOpenRequestW(c, u"GET", u"/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_TRUE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));
    EXPECT_EQ(server.Exchanges().at(0).Header("Authorization"),
              "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

TEST_F(InetTest, OpenUrlReadsDeviceFilesAndHttpPages) {
    fvt::test::TempDevice device;
    device.WriteHost("My Documents/a b.htm", "<p>local</p>");
    HINTERNET f = InternetOpenUrlW(session_, u"file:///My%20Documents/a%20b.htm", nullptr, 0, 0, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadAll(f), "<p>local</p>");
    DWORD status = 0, length = sizeof status;
    EXPECT_FALSE(HttpQueryInfoW(f, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                &length, nullptr));  // files have no status
    HINTERNET g = InternetOpenUrlW(session_, u"file://\\My Documents\\a b.htm", nullptr, 0, 0, 0);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(ReadAll(g), "<p>local</p>");
    EXPECT_EQ(InternetOpenUrlW(session_, u"file:///missing.htm", nullptr, 0, 0, 0), nullptr);
    LoopbackHttpServer server([](const HttpExchange&) { return HttpReply::Text(200, "remote"); });
    std::u16string url = server.WideUrl("/r.htm#frag");
    HINTERNET h = InternetOpenUrlW(session_, url.c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ReadAll(h), "remote");
    EXPECT_EQ(server.Exchanges().at(0).target, "/r.htm");
}

TEST_F(InetTest, OfflineDevicesSendNothing) {
    fvt::test::TempDevice device("internet = offline\n");
    DWORD flags = 99;
    EXPECT_FALSE(InternetGetConnectedState(&flags, 0));
    EXPECT_EQ(flags, 0u);
    LoopbackHttpServer server([](const HttpExchange&) { return HttpReply::Text(200, "x"); });
    HINTERNET r = Open(server, u"GET", u"/");
    EXPECT_FALSE(HttpSendRequestW(r, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_DISCONNECTED);
}

TEST_F(InetTest, ConnectedStateFollowsTheProfile) {
    DWORD flags = 0;
    {
        fvt::test::TempDevice device;
        EXPECT_TRUE(InternetGetConnectedState(&flags, 0));
        EXPECT_EQ(flags, INTERNET_CONNECTION_LAN);
    }
    {
        fvt::test::TempDevice device("internet = modem\n");
        EXPECT_TRUE(InternetGetConnectedState(&flags, 0));
        EXPECT_EQ(flags, INTERNET_CONNECTION_MODEM);
    }
}

TEST_F(InetTest, HandlesOfTheWrongKindAreRefused) {
    EXPECT_EQ(HttpOpenRequestW(session_, u"GET", u"/", nullptr, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    DWORD n = 0;
    char b[4];
    EXPECT_FALSE(InternetReadFile(session_, b, 4, &n));
    EXPECT_FALSE(InternetReadFile(reinterpret_cast<HINTERNET>(0x1234), b, 4, &n));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DWORD flags = 0, size = sizeof flags;
    EXPECT_FALSE(InternetQueryOptionW(session_, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size));
}

TEST_F(InetTest, ClosingTheSessionClosesWhatHangsBelowIt) {
    HINTERNET s = InternetOpenA(nullptr, 0, nullptr, nullptr, 0);
    HINTERNET c =
        InternetConnectW(s, u"127.0.0.1", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET r = HttpOpenRequestW(c, u"GET", u"/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(InternetCloseHandle(s));
    EXPECT_FALSE(InternetCloseHandle(r));
    EXPECT_FALSE(InternetCloseHandle(c));
}

TEST_F(InetTest, FunctionsAreFoundByNameInWininet) {
    fvt::test::TempDevice device;
    HMODULE wininet = LoadLibraryW(u"wininet.dll");
    ASSERT_NE(wininet, nullptr);
    EXPECT_EQ(GetProcAddressW(wininet, u"InternetReadFile"),
              reinterpret_cast<FARPROC>(&InternetReadFile));
    EXPECT_EQ(GetProcAddressW(wininet, u"InternetCrackUrlW"),
              reinterpret_cast<FARPROC>(&InternetCrackUrlW));
    FreeLibrary(wininet);
}

namespace {

// "<status>:<body>" or "bad".
std::string Parse(const std::string& bytes, bool head = false) {
    int status = 0;
    std::string body;
    if (!fvt::inet::ReadResponseBytes(bytes, head, status, body)) return "bad";
    return std::to_string(status) + ":" + body;
}

}  // namespace

TEST(ResponseParsing, InterimAnswersAreSkipped) {
    EXPECT_EQ(Parse("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
              "200:ok");
}

TEST(ResponseParsing, ChunksWithExtensionsAndTrailers) {
    EXPECT_EQ(Parse("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                    "3;name=value\r\nabc\r\nA\r\n0123456789\r\n0\r\nX-Trailer: 1\r\n\r\n"),
              "200:abc0123456789");
}

TEST(ResponseParsing, MalformedChunksAreRefused) {
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    EXPECT_EQ(Parse(head + "zz\r\nab\r\n0\r\n\r\n"), "bad");
    EXPECT_EQ(Parse(head + "\r\n"), "bad");
    EXPECT_EQ(Parse(head + "ffffffffffffffff\r\nab"), "bad");  // beyond any length
    EXPECT_EQ(Parse(head + "fffffffffff\r\nab"), "bad");       // longer than what came
    EXPECT_EQ(Parse(head + "3\r\nabcX0\r\n\r\n"), "bad");      // no line end after the data
    EXPECT_EQ(Parse(head + "3\r\nabc\r\n"), "bad");            // no last chunk
}

TEST(ResponseParsing, BodilessAnswersHaveNoBody) {
    EXPECT_EQ(Parse("HTTP/1.1 204 No Content\r\n\r\nstray"), "204:");
    EXPECT_EQ(Parse("HTTP/1.1 304 Not Modified\r\nContent-Length: 5\r\n\r\n"), "304:");
    EXPECT_EQ(Parse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", true), "200:");
}

TEST(ResponseParsing, OversizeHeadsAndLengthsAreRefused) {
    EXPECT_EQ(Parse("HTTP/1.1 200 OK\r\nX: " + std::string(70000, 'h') + "\r\n\r\n"), "bad");
    std::string many = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 5000; ++i) many += "X-Many: 0123456789\r\n";
    EXPECT_EQ(Parse(many + "\r\n"), "bad");
    EXPECT_EQ(Parse("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n"), "bad");
    EXPECT_EQ(Parse("HTTP/1.1 99 Low\r\n\r\n"), "bad");
    EXPECT_EQ(Parse("HTTP/1.0 200 OK\r\n\r\nto the end"), "200:to the end");
}
