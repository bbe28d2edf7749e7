// The program as a whole, headless, each run a process of its own on a prepared device: start
// and quit without a book, start to the first page of a 5 MB book and quit, and the time a page
// turn adds (a run with 100 turns against one with none), and a 2.3 MB HTML file read page by
// page to its end against `w3m -dump` of it, and reopening that file at its last page against
// opening it at its first. Each figure is also given as a ratio
// to starting /bin/true in the same loop, so that machines and loads compare, and as the CPU
// time the runs took (user and system), which a loaded machine's waiting does not swell. Where
// w3m is installed, `w3m -dump` of a one-line page runs in the same loop too (over_w3m): the
// usual tool's start, to hold the program's against. Times are medians of the iterations.
//
//   program_bench --write-book PATH [MB]   writes the PalmDOC fixture book (for comparing the
//                                          dump tools and the program with other programs)
//   program_bench --write-markup-book PATH [MB]   writes the markup book of the far jumps
//   program_bench --write-markup-file PATH [MB]   writes the markup-heavy HTML file of the End
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/bookfiles/book_builder.h"
#include "support/document/seeded_words.h"

#include "bench_inputs.h"
#include "prose_html.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The book's text PalmDOC-compressed, written to `path`.
bool WriteBuilt(BookBuilder& book, const std::string& text, const std::string& path) {
    book.text.assign(text.begin(), text.end());
    book.compression = 2;  // PalmDOC
    const Bytes built = book.Build();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(built.data()), static_cast<std::streamsize>(built.size()));
    return static_cast<bool>(out);
}

bool WriteBook(const std::string& path, std::size_t bytes) {
    BookBuilder book;
    book.fullName = "Bench";
    return WriteBuilt(book, SampleText(bytes), path);
}

// About `bytes` of markup as books hold it: chapters with headings, paragraphs, lists and a
// listing.
std::string MarkupText(std::size_t bytes) {
    static const char* const kWords[] = {"the",   "evening",  "light", "fell",  "on",
                                         "quiet", "harbours", "and",   "ships", "keeper"};
    fvt::test::SeededWords seeded(kWords, 7);
    auto words = [&](int n) { return seeded.Words(n); };
    std::string h = "<html><head><title>Bench</title></head><body>";
    for (int c = 1; h.size() < bytes; ++c) {
        h += "<h2>Part " + std::to_string(c) + "</h2><p>" + words(70) + "</p><ul>";
        for (int i = 0; i < 5; ++i) h += "<li>" + words(8) + "</li>";
        h += "</ul><pre>int main() {\n    return 0;\n}\n</pre><p>" + words(50) + "</p>\n";
    }
    return h + "</body></html>";
}

bool WriteMarkupBook(const std::string& path, std::size_t bytes) {
    BookBuilder book;
    book.type = 2;
    book.fullName = "Markup bench";
    return WriteBuilt(book, MarkupText(bytes), path);
}

// About `bytes` of an API reference's HTML, where most positions are tags: sections of
// headings with anchors, short paragraphs of code and links, highlighted listings, tables of
// options, nested lists whose items leave their end tags out; a division open throughout.
std::string ApiReferenceHtml(std::size_t bytes) {
    static const char* const kWords[] = {"stream", "buffer", "the",  "callback", "is",
                                         "called", "with",   "an",   "error",    "when",
                                         "socket", "emits",  "data", "encoding", "options"};
    fvt::test::SeededWords seeded(kWords, 13);
    auto words = [&](int n) { return seeded.Words(n); };
    std::string h =
        "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>API</title><script>if (a < b) { x = 1; }</script></head><body>"
        "<div id=\"content\" class=\"api\">\n";
    for (int c = 1; h.size() < bytes; ++c) {
        const std::string n = std::to_string(c);
        h += "<section><h3 id=\"s" + n + "\"><span><a class=\"mark\" href=\"#s" + n + "\" id=\"a" +
             n + "\">#</a></span><code>stream." + words(1) + "()</code></h3>\n";
        h += "<div class=\"api_metadata\"><span>Added in: v" + n + ".0</span></div>\n<ul>\n";
        for (int i = 0; i < 3; ++i)
            h += "<li><code>" + words(1) +
                 "</code> <a href=\"#t\" class=\"type\">&lt;Object&gt;"
                 "</a> " +
                 words(5) + "\n";
        h += "</ul>\n<p>" + words(10) + " <code>" + words(1) + "</code> " + words(6) + "</p>\n";
        h += "<pre class=\"with-40-chars\"><code class=\"language-js\">";
        for (int l = 0; l < 3; ++l)
            h += "<span class=\"hljs-keyword\">const</span> { " + words(1) +
                 " } = <span class=\"hljs-built_in\">require</span>(<span class=\"hljs-string\">"
                 "'node:" +
                 words(1) + "'</span>);\n";
        h += "</code></pre>\n<table><tbody><tr><th>Option</th><th>Meaning</th></tr>\n";
        for (int row = 0; row < 3; ++row)
            h += "<tr><td><code>opt" + std::to_string(row) + "</code></td><td>" + words(4) +
                 "</td></tr>\n";
        h += "</tbody></table></section>\n";
    }
    return h + "</div></body></html>\n";
}

// A device with the 5 MB book, its side file and settings made by a first run.
struct Stand {
    std::string root, book, firstPage, turns, page;
    Stand() {
        char pattern[] = "/tmp/fvt-bench-XXXXXX";
        root = mkdtemp(pattern) ? pattern : "/tmp";
        fs::create_directories(root + "/device/storage/eBooks");
        fs::create_directories(root + "/empty");
        book = "\\storage\\eBooks\\bench.prc";
        WriteBook(root + "/device/storage/eBooks/bench.prc", 5u << 20);
        firstPage = Script("first.txt", "idle\nquit\n");
        std::string steps = "idle\n";
        for (int i = 0; i < 100; ++i) steps += "key 0x22\nidle\n";
        turns = Script("turns.txt", steps + "quit\n");
        page = Script("page.html", "<html><body><p>One line.</p></body></html>\n");
        Run({FOLIVANT_PROGRAM, book}, firstPage);
        Run({FOLIVANT_PROGRAM}, firstPage, "/empty");
    }
    ~Stand() { fs::remove_all(root); }
    std::string Script(const char* name, const std::string& text) {
        std::string path = root + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    // One run, its wall time in seconds (negative when it failed); its CPU time into *cpu.
    double Run(std::vector<std::string> args, const std::string& script = {},
               const char* device = "/device", double* cpu = nullptr) {
        std::vector<std::string> env{"FOLIVANT_DEVICE=" + root + device,
                                     "FOLIVANT_DISPLAY=headless", "PATH=/usr/bin:/bin"};
        if (!script.empty()) env.push_back("FOLIVANT_DRIVER=" + script);
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        auto t0 = Clock::now();
        pid_t pid = -1;
        int status = -1;
        struct rusage usage {};
        bool ok = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0 &&
                  wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) &&
                  WEXITSTATUS(status) == 0;
        auto t1 = Clock::now();
        auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec * 1e-6; };
        if (cpu) *cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        posix_spawn_file_actions_destroy(&actions);
        return ok ? std::chrono::duration<double>(t1 - t0).count() : -1;
    }
    // One run's peak resident memory in MiB under the driver script `script` (negative when it
    // failed).
    double PeakOfRun(std::vector<std::string> args, const std::string& script) {
        return ::PeakOfRun(std::move(args),
                           {"FOLIVANT_DEVICE=" + root + "/device", "FOLIVANT_DISPLAY=headless",
                            "PATH=/usr/bin:/bin", "FOLIVANT_DRIVER=" + script});
    }
};

// Made on first use and removed, device and all, when the benchmarks end.
Stand& Shared() {
    static Stand stand;
    return stand;
}

constexpr const char* kW3m = "/usr/bin/w3m";

// Runs `run`, /bin/true and (where installed) w3m alternately; reports the run's median time,
// its ratio to /bin/true's and to w3m's, and its CPU time.
template <typename F>
void Paired(benchmark::State& state, F run) {
    Stand& s = Shared();
    const bool withW3m = access(kW3m, X_OK) == 0;
    std::vector<double> mine, trivial, cpu, w3m, w3mCpu, pairs, cpuPairs;
    for (auto _ : state) {
        double used = 0, w3mUsed = 0;
        double t = run(s, &used);
        double u = s.Run({"/bin/true"});
        double w = withW3m ? s.Run({kW3m, "-dump", s.page}, {}, "/device", &w3mUsed) : 0;
        if (t < 0 || u < 0 || w < 0) {
            state.SkipWithError("a run failed");
            return;
        }
        mine.push_back(t);
        trivial.push_back(u);
        cpu.push_back(used);
        w3m.push_back(w);
        w3mCpu.push_back(w3mUsed);
        if (withW3m && w > 0 && w3mUsed > 0) {
            pairs.push_back(t / w);
            cpuPairs.push_back(used / w3mUsed);
        }
    }
    state.counters["ms"] = Median(mine) * 1e3;
    state.counters["over_true"] = Median(mine) / Median(trivial);
    state.counters["cpu_ms"] = Median(cpu) * 1e3;
    if (withW3m) {
        state.counters["w3m_ms"] = Median(w3m) * 1e3;
        state.counters["over_w3m"] = Median(mine) / Median(w3m);
        // The same, CPU time (user and system), and the medians of each pair's own ratios.
        state.counters["cpu_over_w3m"] = Median(cpu) / Median(w3mCpu);
        state.counters["pair_over_w3m"] = Median(pairs);
        state.counters["cpu_pair_over_w3m"] = Median(cpuPairs);
    }
}

void BM_StartAndQuitNoBook(benchmark::State& state) {
    // The library of an empty device, shown and left.
    Paired(state, [](Stand& s, double* cpu) {
        return s.Run({FOLIVANT_PROGRAM}, s.firstPage, "/empty", cpu);
    });
}
BENCHMARK(BM_StartAndQuitNoBook)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_StartToFirstPage5MB(benchmark::State& state) {
    Paired(state, [](Stand& s, double* cpu) {
        return s.Run({FOLIVANT_PROGRAM, s.book}, s.firstPage, "/device", cpu);
    });
}
BENCHMARK(BM_StartToFirstPage5MB)->UseRealTime()->Unit(benchmark::kMillisecond);

// A hundred page turns (layout, drawing, the copy to the screen surface) against none, in runs
// alternating in the same loop: the difference over 100 is one turn.
void BM_PageTurn(benchmark::State& state) {
    Stand& s = Shared();
    double with = 0, without = 0, cpuWith = 0, cpuWithout = 0;
    // Each run starts from the first page: without its side file the book opens there (the
    // saved position would otherwise walk on to the book's end, where turns cost nothing).
    const std::string sideFile = s.root + "/device/storage/eBooks/bench.fvt";
    for (auto _ : state) {
        double ca = 0, cb = 0;
        fs::remove(sideFile);
        double a = s.Run({FOLIVANT_PROGRAM, s.book}, s.turns, "/device", &ca);
        fs::remove(sideFile);
        double b = s.Run({FOLIVANT_PROGRAM, s.book}, s.firstPage, "/device", &cb);
        if (a < 0 || b < 0) {
            state.SkipWithError("a run failed");
            return;
        }
        with += a;
        without += b;
        cpuWith += ca;
        cpuWithout += cb;
    }
    state.counters["ms_per_turn"] = (with - without) / state.iterations() / 100 * 1e3;
    state.counters["cpu_ms_per_turn"] = (cpuWith - cpuWithout) / state.iterations() / 100 * 1e3;
}
BENCHMARK(BM_PageTurn)->UseRealTime()->Unit(benchmark::kMillisecond);

// Reading a 2.3 MB HTML file from its first page to its end, a PageDown at a time (layout,
// drawing and the copy to the screen surface of each page), against `w3m -dump` of the same file
// in the same loop: over_w3m and cpu_over_w3m are medians of the pairs' ratios.
void BM_ReadBigHtmlToItsEnd(benchmark::State& state) {
    Stand& s = Shared();
    if (access(kW3m, X_OK) != 0) {
        state.SkipWithError("w3m is not installed");
        return;
    }
    static const std::string book = [&] {
        std::ofstream(s.root + "/device/storage/eBooks/big.html") << ProseHtml(2300000);
        return std::string("\\storage\\eBooks\\big.html");
    }();
    // More PageDowns than the book has pages: those past the end cost next to nothing.
    static const std::string script = [&] {
        std::string steps = "idle\n";
        for (int i = 0; i < 10000; ++i) steps += "key 0x22\n";
        return s.Script("read.txt", steps + "idle\nquit\n");
    }();
    const std::string sideFile = s.root + "/device/storage/eBooks/big.fvt";
    const std::string file = s.root + "/device/storage/eBooks/big.html";
    std::vector<double> wall, cpu, ms, cpuMs;
    for (auto _ : state) {
        double ca = 0, cb = 0;
        fs::remove(sideFile);  // from the first page each time
        double a = s.Run({FOLIVANT_PROGRAM, book}, script, "/device", &ca);
        double b = s.Run({kW3m, "-dump", file}, {}, "/device", &cb);
        if (a < 0 || b < 0 || b == 0 || cb == 0) {
            state.SkipWithError("a run failed");
            return;
        }
        wall.push_back(a / b);
        cpu.push_back(ca / cb);
        ms.push_back(a);
        cpuMs.push_back(ca);
    }
    state.counters["over_w3m"] = Median(wall);
    state.counters["cpu_over_w3m"] = Median(cpu);
    state.counters["ms"] = Median(ms) * 1e3;
    state.counters["cpu_ms"] = Median(cpuMs) * 1e3;
}
BENCHMARK(BM_ReadBigHtmlToItsEnd)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// A text file of paragraphs, about `bytes`, the same on every run.
std::string BigText(std::size_t bytes) {
    static const char* const kWords[] = {"harbour", "lantern", "evening", "quiet", "ships",
                                         "under",   "the",     "keeper",  "stone", "light"};
    std::uint32_t seed = 29;
    std::string text;
    while (text.size() < bytes) {
        for (int i = 0; i < 60; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += kWords[(seed >> 16) % 10];
            text += ' ';
        }
        text += "\n\n";
    }
    return text;
}

// PageUp against PageDown in the whole program (layout, drawing and the copy to the screen
// surface of each page), on a 2.3 MB HTML file and a 2 MB text file opened at their first
// page. Four runs alternate in the same loop: End and kTurns PageUps, End alone, kTurns
// PageDowns, and opening alone; (first - second) / (third - fourth) is up_over_down, the
// median of the iterations' ratios. ms_per_up and ms_per_down are the medians per turn.
void PageUpAgainstPageDown(benchmark::State& state, const std::string& name,
                           const std::string& content) {
    constexpr int kTurns = 200;
    Stand& s = Shared();
    const std::string dir = s.root + "/device/storage/eBooks/";
    std::ofstream(dir + name) << content;
    const std::string book = "\\storage\\eBooks\\" + name;
    const std::string sideFile = dir + name.substr(0, name.rfind('.')) + ".fvt";
    std::string ups = "idle\nkey 0x23\nidle\n", downs = "idle\n";
    for (int i = 0; i < kTurns; ++i) {
        ups += "key 0x21\nidle\n";
        downs += "key 0x22\nidle\n";
    }
    const std::string up = s.Script("ups.txt", ups + "quit\n");
    const std::string end = s.Script("end.txt", "idle\nkey 0x23\nidle\nquit\n");
    const std::string down = s.Script("downs.txt", downs + "quit\n");
    std::vector<double> ratio, perUp, perDown;
    for (auto _ : state) {
        double t[4];
        const std::string* scripts[4] = {&up, &end, &down, &s.firstPage};
        for (int k = 0; k < 4; ++k) {
            fs::remove(sideFile);  // from the first page each time
            t[k] = s.Run({FOLIVANT_PROGRAM, book}, *scripts[k], "/device");
            if (t[k] < 0) {
                state.SkipWithError("a run failed");
                return;
            }
        }
        const double u = (t[0] - t[1]) / kTurns, d = (t[2] - t[3]) / kTurns;
        perUp.push_back(u);
        perDown.push_back(d);
        ratio.push_back(d > 0 ? u / d : 0);
    }
    state.counters["up_over_down"] = Median(ratio);
    state.counters["ms_per_up"] = Median(perUp) * 1e3;
    state.counters["ms_per_down"] = Median(perDown) * 1e3;
}

void BM_PageUpAgainstPageDownHtml(benchmark::State& state) {
    static const std::string html = ProseHtml(2300000);
    PageUpAgainstPageDown(state, "back.html", html);
}
BENCHMARK(BM_PageUpAgainstPageDownHtml)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(9);

void BM_PageUpAgainstPageDownText(benchmark::State& state) {
    static const std::string text = BigText(2u << 20);
    PageUpAgainstPageDown(state, "back.txt", text);
}
BENCHMARK(BM_PageUpAgainstPageDownText)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(9);

// Reopening the 2.3 MB prose file at its last page (its side file saved there by a run that
// pressed End) against opening the same file, under another name, at its first page: the two
// alternate in the same loop. reopen_over_first and cpu_reopen_over_first are medians of the
// pairs' ratios.
void BM_ReopenBigHtmlLate(benchmark::State& state) {
    Stand& s = Shared();
    const std::string dir = s.root + "/device/storage/eBooks/";
    const std::string html = ProseHtml(2300000);
    std::ofstream(dir + "late.html") << html;
    std::ofstream(dir + "early.html") << html;
    const std::string end = s.Script("end.txt", "idle\nkey 0x23\nidle\nquit\n");
    fs::remove(dir + "late.fvt");
    if (s.Run({FOLIVANT_PROGRAM, "\\storage\\eBooks\\late.html"}, end) < 0) {
        state.SkipWithError("the run to the last page failed");
        return;
    }
    std::vector<double> wall, cpu;
    for (auto _ : state) {
        double ca = 0, cb = 0;
        double a = s.Run({FOLIVANT_PROGRAM, "\\storage\\eBooks\\late.html"}, s.firstPage,
                         "/device", &ca);
        fs::remove(dir + "early.fvt");  // at the first page each time
        double b = s.Run({FOLIVANT_PROGRAM, "\\storage\\eBooks\\early.html"}, s.firstPage,
                         "/device", &cb);
        if (a < 0 || b <= 0 || cb <= 0) {
            state.SkipWithError("a run failed");
            return;
        }
        wall.push_back(a / b);
        cpu.push_back(ca / cb);
    }
    state.counters["reopen_over_first"] = Median(wall);
    state.counters["cpu_reopen_over_first"] = Median(cpu);
}
BENCHMARK(BM_ReopenBigHtmlLate)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(11);

// The first End in a new session on a 10 MB markup book (a session before it pressed End and
// quit: the book's checkpoints are kept) against opening the book at its first page, each run
// starting at the first page (no side file); and the same End with no checkpoints kept (the
// first End ever on the book), which rebuilds the open elements from a stretch before the end.
void BM_FirstEndInAMarkupBook(benchmark::State& state) {
    Stand& s = Shared();
    const std::string dir = s.root + "/device/storage/eBooks/";
    if (!WriteMarkupBook(dir + "jumps.prc", 10u << 20) ||
        !WriteMarkupBook(dir + "opened.prc", 10u << 20)) {
        state.SkipWithError("the book could not be written");
        return;
    }
    const std::string end = s.Script("end.txt", "idle\nkey 0x23\nidle\nquit\n");
    const std::string jumps = "\\storage\\eBooks\\jumps.prc";
    const std::string opened = "\\storage\\eBooks\\opened.prc";
    auto run = [&](const std::string& book, const std::string& script, double* cpu) {
        fs::remove(dir + "jumps.fvt");  // each run starts at the first page
        fs::remove(dir + "opened.fvt");
        return s.Run({FOLIVANT_PROGRAM, book}, script, "/device", cpu);
    };
    const fs::path kept = s.root + "/device/Windows/FolivantCheckpoints";
    fs::remove_all(kept);
    if (run(jumps, end, nullptr) < 0 || !fs::exists(kept)) {
        state.SkipWithError("the first run left no checkpoints");
        return;
    }
    const fs::path keptCopy = s.root + "/kept-checkpoints";
    fs::remove_all(keptCopy);
    fs::copy(kept, keptCopy);
    std::vector<double> wall, cpu, never;
    for (auto _ : state) {
        double ca = 0, cb = 0, cc = 0;
        const double a = run(jumps, end, &ca);
        const double b = run(opened, s.firstPage, &cb);
        fs::remove_all(kept);
        const double c = run(jumps, end, &cc);
        fs::remove_all(kept);
        fs::copy(keptCopy, kept);
        if (a < 0 || b <= 0 || c < 0 || cb <= 0) {
            state.SkipWithError("a run failed");
            return;
        }
        wall.push_back(a / b);
        cpu.push_back(ca / cb);
        never.push_back(cc / cb);
    }
    std::uintmax_t bytes = 0;
    for (const auto& f : fs::directory_iterator(keptCopy)) bytes += f.file_size();
    state.counters["end_over_first"] = Median(wall);
    state.counters["cpu_end_over_first"] = Median(cpu);
    state.counters["cpu_first_end_ever_over_first"] = Median(never);
    state.counters["kept_kb"] = static_cast<double>(bytes) / 1024.0;
}
BENCHMARK(BM_FirstEndInAMarkupBook)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(11);

// The first End in a markup-heavy HTML file with no checkpoints kept (a file is read from its
// first page to know the elements open at its end) against opening it at page 1, for 10 MB and
// for 5 MB (how the End grows with the file), and its peak memory against the same End in a
// prose HTML file of 10 MB. Each run starts at the first page with nothing kept.
void BM_FirstEndInAMarkupFile(benchmark::State& state) {
    Stand& s = Shared();
    const std::string dir = s.root + "/device/storage/eBooks/";
    const fs::path kept = s.root + "/device/Windows/FolivantCheckpoints";
    for (const auto& [name, text] :
         {std::pair<std::string, std::string>{"api10.html", ApiReferenceHtml(10u << 20)},
          {"api5.html", ApiReferenceHtml(5u << 20)},
          {"prose10.html", ProseHtml(10u << 20)}}) {
        std::ofstream out(dir + name, std::ios::binary);
        out << text;
        if (!out) {
            state.SkipWithError("the file could not be written");
            return;
        }
    }
    const std::string end = s.Script("end.txt", "idle\nkey 0x23\nidle\nquit\n");
    auto fresh = [&]() {
        for (const char* side : {"api10.fvt", "api5.fvt", "prose10.fvt"}) fs::remove(dir + side);
        fs::remove_all(kept);
    };
    auto file = [](const char* name) { return std::string("\\storage\\eBooks\\") + name; };
    auto run = [&](const char* name, const std::string& script, double* cpu) {
        fresh();
        return s.Run({FOLIVANT_PROGRAM, file(name)}, script, "/device", cpu);
    };
    auto peakOf = [&](const char* name) {
        fresh();
        return s.PeakOfRun({FOLIVANT_PROGRAM, file(name)}, end);
    };
    std::vector<double> wall, cpu, growth, peak;
    for (auto _ : state) {
        double ca = 0, cb = 0, cc = 0;
        const double a = run("api10.html", end, &ca);
        const double b = run("api10.html", s.firstPage, &cb);
        const double c = run("api5.html", end, &cc);
        const double pa = peakOf("api10.html");
        const double pd = peakOf("prose10.html");
        if (a < 0 || b <= 0 || c < 0 || pa <= 0 || pd <= 0 || cb <= 0 || cc <= 0) {
            state.SkipWithError("a run failed");
            return;
        }
        wall.push_back(a / b);
        cpu.push_back(ca / cb);
        growth.push_back(ca / cc);
        peak.push_back(pa / pd);
    }
    state.counters["end_over_first"] = Median(wall);
    state.counters["cpu_end_over_first"] = Median(cpu);
    state.counters["cpu_10mb_over_5mb"] = Median(growth);
    state.counters["peak_over_prose"] = Median(peak);
}
BENCHMARK(BM_FirstEndInAMarkupFile)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(9);

// Go to page 13000 (about the middle of the 10 MB markup book) typed in the box, with no
// checkpoints kept, against opening the book at its first page; each run starts at the first
// page (no side file). The keys come faster than the reader takes them, as a quick typist's do.
void BM_FirstGoToPageTypedInAMarkupBook(benchmark::State& state) {
    Stand& s = Shared();
    const std::string dir = s.root + "/device/storage/eBooks/";
    if (!WriteMarkupBook(dir + "typed.prc", 10u << 20) ||
        !WriteMarkupBook(dir + "opened.prc", 10u << 20)) {
        state.SkipWithError("the book could not be written");
        return;
    }
    const std::string typed =
        s.Script("typed.txt", "idle\ntext 13000\nanswer 0\nmenu 40092\nidle\nquit\n");
    const fs::path kept = s.root + "/device/Windows/FolivantCheckpoints";
    auto run = [&](const std::string& book, const std::string& script, double* cpu) {
        fs::remove(dir + "typed.fvt");  // each run starts at the first page
        fs::remove(dir + "opened.fvt");
        fs::remove_all(kept);
        return s.Run({FOLIVANT_PROGRAM, book}, script, "/device", cpu);
    };
    std::vector<double> wall, cpu;
    for (auto _ : state) {
        double ca = 0, cb = 0;
        const double a = run("\\storage\\eBooks\\typed.prc", typed, &ca);
        const double b = run("\\storage\\eBooks\\opened.prc", s.firstPage, &cb);
        if (a < 0 || b <= 0 || cb <= 0) {
            state.SkipWithError("a run failed");
            return;
        }
        wall.push_back(a / b);
        cpu.push_back(ca / cb);
    }
    state.counters["typed_over_first"] = Median(wall);
    state.counters["cpu_typed_over_first"] = Median(cpu);
}
BENCHMARK(BM_FirstGoToPageTypedInAMarkupBook)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(21);

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--write-markup-file") == 0) {
        std::size_t mb = argc >= 4 ? std::strtoul(argv[3], nullptr, 10) : 10;
        std::ofstream out(argv[2], std::ios::binary);
        out << ApiReferenceHtml((mb ? mb : 10) << 20);
        if (!out) {
            std::fprintf(stderr, "program_bench: cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--write-markup-book") == 0) {
        std::size_t mb = argc >= 4 ? std::strtoul(argv[3], nullptr, 10) : 10;
        if (!WriteMarkupBook(argv[2], (mb ? mb : 10) << 20)) {
            std::fprintf(stderr, "program_bench: cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--write-book") == 0) {
        std::size_t mb = argc >= 4 ? std::strtoul(argv[3], nullptr, 10) : 7;
        if (!WriteBook(argv[2], (mb ? mb : 7) << 20)) {
            std::fprintf(stderr, "program_bench: cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
