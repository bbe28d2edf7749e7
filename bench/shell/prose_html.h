// The prose book both the reader's and the dump tools' benchmarks read: chapters of plain
// paragraphs, about `bytes` of HTML, the same on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::string ProseHtml(std::size_t bytes) {
    static const char* const kWords[] = {"alpha", "beta",    "gamma",   "delta",  "epsilon", "zeta",
                                         "theta", "iota",    "kappa",   "lambda", "omicron", "sigma",
                                         "tau",   "upsilon", "function", "method", "returns", "value"};
    std::uint32_t seed = 61;
    auto words = [&](int n) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            seed = seed * 1103515245u + 12345u;
            if (i) out += ' ';
            out += kWords[(seed >> 16) % (sizeof(kWords) / sizeof(kWords[0]))];
        }
        return out;
    };
    std::string html = "<html><head><title>Big</title></head><body>";
    for (int chapter = 1; html.size() < bytes; ++chapter) {
        html += "<h2>Chapter " + std::to_string(chapter) + "</h2>";
        for (int p = 0; p < 30; ++p)
            html += "<p>" + words(40) + " <i>" + words(3) + "</i> " + words(30) + ".</p>\n";
    }
    return html + "</body></html>";
}
