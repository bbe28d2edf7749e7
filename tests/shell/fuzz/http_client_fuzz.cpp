// Arbitrary bytes as a server's answers to the HTTP client: GET, HEAD and form POST, redirects
// followed (each answered with the next part of the input). Whatever comes: the client ends
// with one of its result codes, the sink hears Begin before any Write and End last and once,
// never gets more body than was sent, and a whole body with a length is as long as it said.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/inet/internet_object.h"
#include "shell/http/web_connector.h"
#include "shell/http/wide_text.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// The input cut at each "\x01\x02": one answer per request, the last one again when they run
// out.
struct Answers {
    std::string bytes;
    size_t at = 0;
    size_t requests = 0;
};

std::string Answer(const std::string& /*request*/, void* context) {
    auto* a = static_cast<Answers*>(context);
    ++a->requests;
    size_t cut = a->bytes.find("\x01\x02", a->at);
    if (cut == std::string::npos) return a->bytes.substr(a->at);
    std::string out = a->bytes.substr(a->at, cut - a->at);
    a->at = cut + 2;
    return out;
}

class CheckingSink : public WebSink {
public:
    void Begin(uint32_t length) override {
        Check(!begun && !ended);
        begun = true;
        announced = length;
    }
    uint32_t Write(const uint8_t*, uint32_t count) override {
        Check(begun && !ended);
        received += count;
        return count;
    }
    void End(uint32_t) override {
        Check(!ended);
        ended = true;
    }
    bool begun = false, ended = false;
    uint32_t announced = 0;
    uint64_t received = 0;
};

bool KnownResult(uint32_t r) {
    return r == kWebOk || (r >= kWebBadUrl && r <= kWebNotModified);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Answers answers;
    answers.bytes.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    fvt::inet::AnswerRequestsForTesting(&Answer, &answers);
    UrlPair url{Text(), web::ToText(u"http://books.example/shelf/a.htm?x=1")};
    WebConnector client;
    CheckingSink sink;
    WebResponse response;
    uint32_t result = 0;
    switch (data[0] % 3) {
        case 0: {
            Text fileName;
            result = client.Download(url, sink, response, false, -1, nullptr, u"Fuzz/1.0",
                                     nullptr, &fileName);
            break;
        }
        case 1:
            result = client.Head(url, sink, response);
            Check(!sink.begun);
            break;
        default: {
            const uint8_t form[] = "q=1";
            result = client.Post(url, form, 3, sink, response);
            break;
        }
    }
    Check(KnownResult(result));
    // Redirects are bounded: the first request and at most five more.
    Check(answers.requests <= 6);
    Check(sink.received <= answers.bytes.size());
    if (sink.begun) Check(sink.ended);
    if (result == kWebOk && sink.begun && sink.announced) Check(sink.received == sink.announced);
    fvt::inet::AnswerRequestsForTesting(nullptr, nullptr);
    return 0;
}
