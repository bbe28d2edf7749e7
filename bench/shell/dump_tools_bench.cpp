// The dump tools against the usual tools on the same input, each run a process of its own and
// the two alternating in one loop: wall time, CPU time and peak memory (VmHWM) of both, and
// the tool's peak over the size of what it wrote (meant to stay below 2). Figures are medians
// of the iterations, so that a run slowed by the machine's other work counts once.
//
// Inputs are made here: a photo-like picture of 1024x800 (2.4 MB as PPM) and of 2048x1600
// (9.8 MB) as a progressive JPEG (2x2 chroma, as a camera or `cjpeg -progressive` writes) and
// as a GIF, a minute of stereo Vorbis (through oggenc), a 5 MB PalmDOC book for bookdump,
// which has no peer here, and for the page dump an index page laid out as a table and a book
// of prose in HTML. A peer that is not installed leaves its counters out.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/bookfiles/book_builder.h"
#include "support/media/image/picture_fixtures.h"
#include "support/media/sound_fixtures.h"

#include "bench_inputs.h"
#include "prose_html.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct RunResult {
    bool ok = false;
    double ms = 0, cpuMs = 0, peakMb = 0;
};

// The high-water mark of a stopped process's memory, in MB (VmHWM: of its own image since exec).
double PeakOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;
    return 0;
}

// One run with standard output to `out` (or /dev/null) and standard error to /dev/null. The
// peak is read as the run exits (traced, stopped at its exit): a child's ru_maxrss would count
// this process's own memory, which the child shares until its exec.
RunResult Run(std::vector<std::string> args, const std::string& out = "/dev/null") {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    RunResult r;
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open("/dev/null", O_WRONLY);
        if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0) return r;
    int status = 0;
    struct rusage usage {};
    bool started = false;
    while (wait4(pid, &status, 0, &usage) == pid) {
        if (WIFEXITED(status) || WIFSIGNALED(status)) break;
        if (!WIFSTOPPED(status)) continue;
        int signal = WSTOPSIG(status);
        if (signal == SIGTRAP && !started) {  // stopped at its exec
            started = true;
            ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT);
            signal = 0;
        } else if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            r.peakMb = PeakOf(pid);
            signal = 0;
        }
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(std::intptr_t(signal)));
    }
    const auto t1 = Clock::now();
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + t.tv_usec * 1e-3; };
    r.ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
    r.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    return r;
}

bool SameFiles(const std::string& a, const std::string& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    if (!x || !y) return false;
    return std::equal(std::istreambuf_iterator<char>(x), {}, std::istreambuf_iterator<char>(y), {});
}

// The same picture in 256 colours (3 bits of red and green, 2 of blue).
fvt::test::GifSpec PhotoGif(std::uint32_t w, std::uint32_t h) {
    fvt::test::GifSpec s;
    s.width = w;
    s.height = h;
    for (int i = 0; i < 256; ++i) {
        s.palette.push_back({std::uint8_t((i >> 5) * 255 / 7),
                             std::uint8_t(((i >> 2) & 7) * 255 / 7),
                             std::uint8_t((i & 3) * 255 / 3)});
    }
    const std::vector<std::uint8_t> rgb = Photo(w, h);
    s.pixels.resize(std::size_t(w) * h);
    for (std::size_t i = 0; i < s.pixels.size(); ++i) {
        s.pixels[i] =
            std::uint8_t((rgb[i * 3] >> 5) << 5 | (rgb[i * 3 + 1] >> 5) << 2 | rgb[i * 3 + 2] >> 6);
    }
    return s;
}

// An index page of an API's documentation laid out as one table, about `bytes` of HTML: each
// row a long qualified name (wider than its cell on a small screen, so it is split) and a line
// about it.
std::string IndexTableHtml(std::size_t bytes) {
    static const char* const kParts[] = {"reader", "layout", "PageLayoutListener", "document",
                                         "markup", "HtmlTokenizer", "bookfiles",
                                         "AnnotationFile", "graphics", "GraphicsContext",
                                         "library", "LibraryCatalogue"};
    static const char* const kMembers[] = {"onPageChanged", "measureText", "findByUniqueId",
                                           "readSubText", "restoreState", "nextToken"};
    std::uint32_t seed = 17;
    auto pick = [&](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    std::string html =
        "<html><head><title>Index</title></head><body><h1>Index</h1>"
        "<table border=\"0\" width=\"100%\" cellpadding=\"2\">\n";
    for (int row = 0; html.size() < bytes; ++row) {
        std::string name = "org.folivant";
        for (int k = 0; k < 3; ++k) name += std::string(".") + kParts[pick(12)];
        std::string member = std::string(kMembers[pick(6)]) + "(";
        member += std::string(kParts[pick(12)]) + "_" + std::to_string(row) + ")";
        html += "<tr><td valign=\"top\"><a href=\"" + name + ".html#" + std::to_string(row) +
                "\"><code>" + name + "." + member + "</code></a></td><td>Method in class <a href=\"" +
                name + ".html\">" + name + "</a>: returns the value of " + kParts[pick(12)] +
                " for the page shown.</td></tr>\n";
    }
    return html + "</table></body></html>";
}

// An API reference's index of words, about `bytes` of HTML, as a documentation generator lays
// out each of its pages: a menu column of fixed width in nested tables beside a body column
// listing, for each word, the long identifiers (no break inside them) of the functions and
// constants whose description uses it; the page repeated to the size.
std::string ApiIndexHtml(std::size_t bytes) {
    static const char* const kPrefixes[] = {"xslt", "xsltExt", "xmlXPath", "XSLT_", "exslt"};
    static const char* const kParts[] = {"Format", "Number", "Conversion", "Compile", "Attr",
                                         "Register", "Module", "Element", "Stylesheet",
                                         "Namespace", "Transform", "Context", "Template",
                                         "Function", "Lookup"};
    static const char* const kWords[] = {"about", "above", "according", "added", "allocate",
                                         "applied", "attribute", "based", "between", "called"};
    std::uint32_t seed = 29;
    auto pick = [&](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    std::string html;
    for (int page = 0; html.size() < bytes; ++page) {
        html += "<html><head><title>API Alphabetic Index</title></head><body bgcolor=\"#8b7765\">"
                "<table border=\"0\" cellpadding=\"4\" cellspacing=\"0\" width=\"100%\">"
                "<tr><td bgcolor=\"#8b7765\"><table border=\"0\" cellspacing=\"0\" "
                "cellpadding=\"2\" width=\"100%\"><tr><td valign=\"top\" width=\"200\">"
                "<table width=\"100%\" border=\"0\" cellspacing=\"1\" cellpadding=\"3\">"
                "<tr><td bgcolor=\"#eecfa1\" align=\"center\"><b>API Indexes</b></td></tr>"
                "<tr><td bgcolor=\"#fffacd\"><ul>";
        for (const char* item : {"Alphabetic", "Constructors", "Functions/Types", "Modules",
                                 "Symbols"})
            html += std::string("<li><a href=\"API.html\">") + item + "</a></li>";
        html += "</ul></td></tr></table></td><td valign=\"top\" bgcolor=\"#8b7765\">"
                "<table border=\"0\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\">"
                "<tr><td><table border=\"0\" cellspacing=\"0\" cellpadding=\"1\" "
                "width=\"100%\" bgcolor=\"#000000\"><tr><td>"
                "<table border=\"0\" cellpadding=\"3\" cellspacing=\"1\" width=\"100%\">"
                "<tr><td bgcolor=\"#fffacd\">";
        for (int letter = 0; letter < 6; ++letter) {
            html += "<h2>Letter " + std::string(1, char('a' + letter)) + ":</h2><dl>";
            for (int w = 0; w < 15; ++w) {
                html += std::string("<dt>") + kWords[pick(10)] + std::to_string(page) + "</dt><dd>";
                for (int k = 1 + pick(4); k > 0; --k) {
                    std::string id = kPrefixes[pick(5)];
                    for (int n = 2 + pick(3); n > 0; --n) id += kParts[pick(15)];
                    html += "<a href=\"html/libref.html#" + id + "\">" + id + "</a><br />";
                }
                html += "</dd>";
            }
            html += "</dl>";
        }
        html += "</td></tr></table></td></tr></table></td></tr></table></td></tr></table></td>"
                "</tr></table></td></tr></table></body></html>\n";
    }
    return html;
}

// The inputs, made once, in a folder removed at exit.
struct Inputs {
    fixtures::TempFolder folder;
    std::map<std::string, std::string> files;  // "jpeg1024", "gif2048", "ogg", "book"
    std::string why;
    Inputs() {
        for (std::uint32_t w : {1024u, 2048u}) {
            const std::uint32_t h = w * 25 / 32;
            const std::string n = std::to_string(w);
            files["jpeg" + n] = folder.File("photo" + n + ".jpg");
            fvt::test::WriteFileBytes(files["jpeg" + n],
                                      fvt::test::WriteJpeg(w, h, 3, Photo(w, h), 90, true, true));
            files["gif" + n] = folder.File("photo" + n + ".gif");
            fvt::test::WriteFileBytes(files["gif" + n], fvt::test::WriteGif(PhotoGif(w, h)));
        }
        files["ogg"] = folder.File("minute.ogg");
        if (!fixtures::EncodeVorbis(files["ogg"], 44100, 2,
                                    fixtures::SineTone(44100, 2, 60, 440, 8000, 660, 4000), &why))
            files.erase("ogg");
        BookBuilder book;
        const std::string text = SampleText(5u << 20);
        book.text.assign(text.begin(), text.end());
        book.compression = 2;  // PalmDOC
        const Bytes built = book.Build();
        files["book"] = folder.File("book.prc");
        std::ofstream(files["book"], std::ios::binary)
            .write(reinterpret_cast<const char*>(built.data()), std::streamsize(built.size()));
        files["prose"] = folder.File("prose.html");
        std::ofstream(files["prose"], std::ios::binary) << ProseHtml(2300000);
        files["table"] = folder.File("index.html");
        std::ofstream(files["table"], std::ios::binary) << IndexTableHtml(850000);
        files["api"] = folder.File("api.html");
        std::ofstream(files["api"], std::ios::binary) << ApiIndexHtml(850000);
    }
};

Inputs& Shared() {
    static Inputs* inputs = new Inputs;
    return *inputs;
}

// How a tool is run on an input to an output file: arguments, and whether the output goes to
// standard output rather than to a path among the arguments.
struct Command {
    std::vector<std::string> args;
    bool toStdout = false;
};

using MakeCommand = Command (*)(const std::string& in, const std::string& out);

// Ours and the peer (when given and installed) alternately; medians of each.
void Paired(benchmark::State& state, const char* input, MakeCommand ours, const char* peerPath,
            MakeCommand peer) {
    Inputs& in = Shared();
    auto found = in.files.find(input);
    if (found == in.files.end()) return state.SkipWithError(("no input: " + in.why).c_str());
    const std::string& file = found->second;
    const std::string outOurs = in.folder.File("ours.out"), outPeer = in.folder.File("peer.out");
    const bool withPeer = peer && access(peerPath, X_OK) == 0;
    std::vector<double> ms, cpu, peak, peerMs, peerCpu, peerPeak;
    auto run = [](const Command& c, const std::string& out) {
        return c.toStdout ? Run(c.args, out) : Run(c.args);
    };
    for (auto _ : state) {
        const RunResult a = run(ours(file, outOurs), outOurs);
        RunResult b;
        if (withPeer) b = run(peer(file, outPeer), outPeer);
        if (!a.ok || (withPeer && !b.ok)) return state.SkipWithError("a run failed");
        ms.push_back(a.ms);
        cpu.push_back(a.cpuMs);
        peak.push_back(a.peakMb);
        if (withPeer) {
            peerMs.push_back(b.ms);
            peerCpu.push_back(b.cpuMs);
            peerPeak.push_back(b.peakMb);
        }
    }
    const double outMb = double(fs::file_size(outOurs)) / (1 << 20);
    state.counters["ms"] = Median(ms);
    state.counters["cpu_ms"] = Median(cpu);
    state.counters["peak_mb"] = Median(peak);
    state.counters["output_mb"] = outMb;
    state.counters["peak_over_output"] = Median(peak) / outMb;
    if (withPeer) {
        state.counters["peer_ms"] = Median(peerMs);
        state.counters["over_peer"] = Median(ms) / Median(peerMs);
        state.counters["cpu_over_peer"] = Median(cpu) / Median(peerCpu);
        state.counters["peer_peak_mb"] = Median(peerPeak);
        state.counters["same_output"] = SameFiles(outOurs, outPeer);
    }
}

Command Imagedump(const std::string& in, const std::string& out) {
    return {{FOLIVANT_IMAGEDUMP, in, out}};
}
Command Djpeg(const std::string& in, const std::string& out) {
    return {{"/usr/bin/djpeg", "-outfile", out, in}};
}
Command Giftopnm(const std::string& in, const std::string&) {
    return {{"/usr/bin/giftopnm", in}, true};
}
Command Audiodump(const std::string& in, const std::string& out) {
    return {{FOLIVANT_AUDIODUMP, in, out}};
}
Command Oggdec(const std::string& in, const std::string& out) {
    return {{"/usr/bin/oggdec", "-Q", "-o", out, in}};
}
Command Bookdump(const std::string& in, const std::string&) {
    return {{FOLIVANT_BOOKDUMP, "--text", in}, true};
}

#ifdef FOLIVANT_PAGEDUMP
Command Pagedump(const std::string& in, const std::string&) {
    return {{FOLIVANT_PAGEDUMP, "--text", in}, true};
}
Command W3mDump(const std::string& in, const std::string&) {
    return {{"/usr/bin/w3m", "-dump", in}, true};
}

// The page dump of an index page laid out as a table (850 KB), and of a 2.3 MB book of prose
// in HTML, against `w3m -dump` of the same file (the outputs differ: w3m lays text out in its
// own way; over_peer is the figure).
void BM_PagedumpTablePage(benchmark::State& state) {
    Paired(state, "table", Pagedump, "/usr/bin/w3m", W3mDump);
}
BENCHMARK(BM_PagedumpTablePage)->Iterations(11)->UseRealTime();

// The same for an API reference's index pages (850 KB), each laid out in a table whose body
// column lists long identifiers.
void BM_PagedumpApiIndex(benchmark::State& state) {
    Paired(state, "api", Pagedump, "/usr/bin/w3m", W3mDump);
}
BENCHMARK(BM_PagedumpApiIndex)->Iterations(11)->UseRealTime();

void BM_PagedumpProseBook(benchmark::State& state) {
    Paired(state, "prose", Pagedump, "/usr/bin/w3m", W3mDump);
}
BENCHMARK(BM_PagedumpProseBook)->Iterations(11)->UseRealTime();
#endif

void BM_ImagedumpJpeg(benchmark::State& state) {
    Paired(state, state.range(0) == 1024 ? "jpeg1024" : "jpeg2048", Imagedump, "/usr/bin/djpeg",
           Djpeg);
}
BENCHMARK(BM_ImagedumpJpeg)->Arg(1024)->Arg(2048)->Iterations(15)->UseRealTime();

void BM_ImagedumpGif(benchmark::State& state) {
    Paired(state, state.range(0) == 1024 ? "gif1024" : "gif2048", Imagedump, "/usr/bin/giftopnm",
           Giftopnm);
}
BENCHMARK(BM_ImagedumpGif)->Arg(1024)->Arg(2048)->Iterations(15)->UseRealTime();

void BM_AudiodumpMinute(benchmark::State& state) {
    Paired(state, "ogg", Audiodump, "/usr/bin/oggdec", Oggdec);
}
BENCHMARK(BM_AudiodumpMinute)->Iterations(11)->UseRealTime();

// No peer: programs that read the book formats are not run here.
void BM_BookdumpText5MB(benchmark::State& state) {
    Paired(state, "book", Bookdump, nullptr, nullptr);
}
BENCHMARK(BM_BookdumpText5MB)->Iterations(11)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
