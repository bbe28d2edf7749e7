// Documents shaped like the ones people page through, generated the same on every run: a manual
// as texinfo writes it, a plain text file, an API reference of small tables and definition
// lists, a book of long listings, and prose with small pictures between its paragraphs. Every
// third word carries a serial number, so that nearly every line reads differently and a run of
// a few words tells where it stands.
#pragma once

#include <cstdint>
#include <string>

#include "support/document/seeded_words.h"

namespace fvt::test {

// Prose drawn from a list of words, every third one numbered ("harbour123").
class NumberedProse {
public:
    explicit NumberedProse(std::uint32_t seed) : words_(kWords, seed) {}

    std::string Words(int n) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            if (i) out += ' ';
            out += words_.WordOf(words_.Draw());
            if (++count_ % 3 == 0) out += std::to_string(count_);
        }
        return out;
    }
    // A number from 0 to n - 1, drawn from the same generator.
    int Pick(int n) { return static_cast<int>((words_.Draw() >> 16) % static_cast<std::uint32_t>(n)); }
    // A sentence of `n` words with its full stop.
    std::string Sentence(int n) { return Words(n) + "."; }

private:
    static constexpr const char* kWords[] = {
        "the",     "option", "file",  "is",       "read",    "when",   "a",       "program",
        "of",      "and",    "to",    "command",  "output",  "each",   "buffer",  "which",
        "value",   "in",     "line",  "default",  "argument", "returns", "directory", "with",
        "for",     "by",     "error", "variable", "section", "input",  "shell",   "name"};
    SeededWords words_;
    int count_ = 0;
};

// A manual as texinfo writes it: a rule before every node (each a forced page break), the
// node's navigation line of links, its heading, paragraphs of unequal length, now and then a
// menu of its sections or an example listing. Node lengths do not divide into pages evenly:
// some nodes are a few lines, some several pages. The navigation lines start "Next:".
inline std::string TexinfoShapedManual(int nodes, std::uint32_t seed = 3) {
    NumberedProse w(seed);
    std::string h =
        "<html><head><title>Tool manual</title></head><body><h1 class=\"settitle\">Tool</h1>"
        "<p>" + w.Sentence(30) + "</p>";
    for (int n = 1; n <= nodes; ++n) {
        const std::string id = std::to_string(n);
        const bool chapter = n % 6 == 1;
        h += "<hr><span id=\"node" + id + "\"></span><div class=\"header\"><p>Next: <a href=\"#node" +
             std::to_string(n + 1) + "\" accesskey=\"n\">Node" + std::to_string(n + 1) +
             "</a>, Previous: <a href=\"#node" + std::to_string(n - 1) + "\" accesskey=\"p\">Node" +
             std::to_string(n - 1) + "</a>, Up: <a href=\"#Top\" accesskey=\"u\">Top</a> &nbsp; "
             "[<a href=\"#SEC_Contents\">Contents</a>][<a href=\"#Index\">Index</a>]</p></div>";
        h += chapter ? "<h2 class=\"chapter\">" + std::to_string(n / 6 + 1) + " Chapter" + id +
                           "</h2>"
                     : "<h3 class=\"section\">" + std::to_string(n / 6 + 1) + "." +
                           std::to_string(n % 6) + " Section" + id + "</h3>";
        // Node sizes from a few lines to several pages.
        const int paragraphs = n % 7 == 3 ? 1 : 2 + w.Pick(n % 5 == 0 ? 12 : 6);
        for (int p = 0; p < paragraphs; ++p) {
            h += "<p>" + w.Sentence(12 + w.Pick(60)) + " " + w.Sentence(6 + w.Pick(20)) + "</p>";
            if (p == 1 && n % 3 == 0) {
                h += "<div class=\"example\"><pre class=\"example\">";
                for (int l = 0, lines = 3 + w.Pick(10); l < lines; ++l)
                    h += (l % 3 ? "  " : "") + std::string("tool --") + w.Words(1) + " " +
                         w.Words(1 + w.Pick(3)) + "\n";
                h += "</pre></div>";
            }
        }
        if (chapter) {
            h += "<table class=\"menu\" border=\"0\" cellspacing=\"0\">";
            for (int s = 1; s <= 5; ++s)
                h += "<tr><td align=\"left\" valign=\"top\">&bull; <a href=\"#node" +
                     std::to_string(n + s) + "\">Section" + std::to_string(n + s) +
                     "</a>:</td><td>&nbsp;&nbsp;</td><td align=\"left\" valign=\"top\">" +
                     w.Words(3 + w.Pick(4)) + "</td></tr>";
            h += "</table>";
        }
    }
    return h + "<hr>\n<div class=\"footer\"><span></span></div></body></html>\n";
}

// A plain text file as people write them: lines wrapped at 72 columns by the editor (wider
// than a small screen's line), paragraphs a blank line apart, titles underlined, and indented
// lines of commands.
inline std::string PlainTextShaped(int paragraphs, std::uint32_t seed = 5) {
    NumberedProse w(seed);
    std::string t;
    auto wrapped = [&t](const std::string& text, const std::string& indent) {
        std::string line = indent;
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find(' ', at);
            if (end == std::string::npos) end = text.size();
            const std::string word = text.substr(at, end - at);
            if (line.size() > indent.size() && line.size() + 1 + word.size() > 72) {
                t += line + "\n";
                line = indent;
            }
            line += (line.size() > indent.size() ? " " : "") + word;
            at = end + 1;
        }
        t += line + "\n";
    };
    for (int p = 0; p < paragraphs; ++p) {
        if (p % 9 == 0) {
            const std::string title = std::to_string(p / 9 + 1) + ". " + w.Words(2 + w.Pick(3));
            t += "\n" + title + "\n" + std::string(title.size(), '=') + "\n\n";
        }
        wrapped(w.Sentence(10 + w.Pick(70)) + " " + w.Sentence(5 + w.Pick(25)), "");
        if (p % 4 == 2) {
            t += "\n";
            for (int l = 0, lines = 2 + w.Pick(5); l < lines; ++l)
                t += "    $ tool " + w.Words(1 + w.Pick(4)) + "\n";
        }
        t += "\n";
    }
    return t;
}

// An API reference: modules under H1 headings (each a forced page break), each call under a
// heading with its signature in a listing, a table of its parameters (name, type, description;
// long identifiers in the cells) and a definition list of what it returns and the errors it
// reports, then a paragraph of notes.
inline std::string ApiReferenceShaped(int modules, int calls, std::uint32_t seed = 7) {
    static const char* const kTypes[] = {"xmlNodePtr", "const xmlChar *", "int", "size_t",
                                         "xsltTransformContextPtr", "void *"};
    static const char* const kNames[] = {"ctxt", "node", "len", "enc", "data", "style"};
    // What fits a table's narrow columns; the long names go in the descriptions, where a small
    // screen's column is still wide enough for them.
    static const char* const kShortTypes[] = {"node *", "char *", "int", "size_t", "ctxt *",
                                              "void *"};
    static const char* const kIdentifiers[] = {"xsltTransformContext", "xmlNodeSetContent",
                                               "XSLT_PARSE_OPTIONS", "xmlCharEncoding"};
    NumberedProse w(seed);
    std::string h = "<html><head><title>API reference</title></head><body>";
    int call = 0;
    for (int m = 0; m < modules; ++m) {
        const std::string mod = "module" + std::to_string(m);
        h += "<h1>Module " + mod + "</h1><p>" + w.Sentence(30 + w.Pick(30)) + "</p>";
        for (int c = 0; c < calls; ++c, ++call) {
            const std::string name = "xslt" + std::string(c % 2 ? "Apply" : "Get") + "Stylesheet" +
                                     std::to_string(call);
            const int params = 1 + w.Pick(4);
            h += "<h3><a name=\"" + name + "\"></a>" + name + " ()</h3><pre class=\"programlisting\">" +
                 kTypes[call % 6] + "\t" + name + "\t(";
            for (int p = 0; p < params; ++p)
                h += std::string(p ? ",\n\t\t\t\t " : "") + kTypes[(call + p) % 6] + " " +
                     kNames[(call * 3 + p) % 6];
            h += ");</pre><p>" + w.Sentence(10 + w.Pick(40)) + "</p>";
            h += "<table border=\"1\" cellpadding=\"2\"><tr><th>Name</th><th>Type</th><th>"
                 "Description</th></tr>";
            for (int p = 0; p < params; ++p)
                h += "<tr><td><code>" + std::string(kNames[(call * 3 + p) % 6]) + "</code></td><td>"
                     "<code>" + kShortTypes[(call + p) % 6] + "</code></td><td>" +
                     w.Words(2 + w.Pick(6)) + " <code>" + kIdentifiers[(call + p) % 4] + "</code> " +
                     w.Sentence(2 + w.Pick(8)) + "</td></tr>";
            h += "</table><dl><dt>Returns</dt><dd>" + w.Sentence(5 + w.Pick(15)) + "</dd>";
            if (call % 3 == 0)
                h += "<dt>Errors</dt><dd><code>XSLT_ERROR_" + std::to_string(call) + "</code> " +
                     w.Sentence(6 + w.Pick(10)) + "</dd>";
            h += "</dl>";
            if (call % 2) h += "<p>" + w.Sentence(20 + w.Pick(40)) + "</p>";
        }
    }
    return h + "</body></html>\n";
}

// A book of program listings: a paragraph or two of prose before each listing, listings of a
// few lines to several pages, some of their lines wider than a small screen.
inline std::string ListingsShaped(int listings, std::uint32_t seed = 11) {
    NumberedProse w(seed);
    std::string h = "<html><head><title>Listings</title></head><body><h2>Examples</h2>";
    for (int l = 0; l < listings; ++l) {
        h += "<h3>Example " + std::to_string(l) + "</h3><p>" + w.Sentence(15 + w.Pick(50)) + "</p>";
        if (l % 2) h += "<p>" + w.Sentence(10 + w.Pick(30)) + "</p>";
        h += "<pre class=\"programlisting\">";
        const int lines = l % 4 == 1 ? 40 + w.Pick(60) : 4 + w.Pick(20);
        for (int i = 0; i < lines; ++i) {
            const int depth = (i % 5 == 0) ? 0 : 1 + i % 3;
            h += std::string(static_cast<size_t>(4 * depth), ' ');
            if (i % 7 == 3)
                h += "call_" + std::to_string(l) + "_" + std::to_string(i) + "(" + w.Words(6) +
                     ");  /* " + w.Words(4) + " */\n";
            else if (i % 5 == 0)
                h += "}\n";
            else
                h += "x" + std::to_string(i) + " = " + w.Words(1 + i % 3) + ";\n";
        }
        h += "</pre>";
    }
    return h + "<p>" + w.Sentence(20) + "</p></body></html>\n";
}

// Prose with small pictures between paragraphs, each centred in a paragraph of its own or at
// the start of a paragraph's text; `pictures` names the files, used in turn.
inline std::string PicturesShaped(int sections, const std::string (&pictures)[3],
                                  std::uint32_t seed = 13) {
    NumberedProse w(seed);
    std::string h = "<html><head><title>Album</title></head><body><h2>Album</h2>";
    int n = 0;
    for (int s = 0; s < sections; ++s) {
        h += "<h3>Part " + std::to_string(s) + "</h3>";
        for (int p = 0, count = 2 + w.Pick(4); p < count; ++p) {
            h += "<p>" + w.Sentence(15 + w.Pick(50)) + "</p>";
            if (w.Pick(3) == 0) {
                const std::string& file = pictures[n % 3];
                h += n % 2 ? "<p align=\"center\"><img src=\"" + file + "\" alt=\"picture" +
                                 std::to_string(n) + "\"></p>"
                           : "<p><img src=\"" + file + "\" alt=\"picture" + std::to_string(n) +
                                 "\"> " + w.Sentence(8 + w.Pick(20)) + "</p>";
                ++n;
            }
        }
    }
    return h + "</body></html>\n";
}

}  // namespace fvt::test
