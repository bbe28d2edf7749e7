// The prose book both the reader's and the dump tools' benchmarks read: chapters of plain
// paragraphs, about `bytes` of HTML, the same on every run.
#pragma once

#include <cstddef>
#include <string>

#include "support/document/seeded_words.h"

inline std::string ProseHtml(std::size_t bytes) {
    static const char* const kWords[] = {
        "alpha",  "beta",    "gamma", "delta", "epsilon", "zeta",     "theta",  "iota",    "kappa",
        "lambda", "omicron", "sigma", "tau",   "upsilon", "function", "method", "returns", "value"};
    fvt::test::SeededWords words(kWords, 61);
    std::string html = "<html><head><title>Big</title></head><body>";
    for (int chapter = 1; html.size() < bytes; ++chapter) {
        html += "<h2>Chapter " + std::to_string(chapter) + "</h2>";
        for (int p = 0; p < 30; ++p) {
            html += "<p>" + words.Words(40) + " <i>";
            html += words.Words(3) + "</i> ";
            html += words.Words(30) + ".</p>\n";
        }
    }
    return html + "</body></html>";
}
