// Pages that agree, in the program itself: paging back from End shows every line paging forward
// showed, once and as paging forward laid it out. Each page PageUp shows ends exactly where the
// page after it starts, in listings (indented lines that wrap, words cut at a line end inside a
// character reference, lines of one character, breaks inside a PRE); a page laid out in tables
// ends on its last words. Checked at both screen sizes and with a larger font.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "bookfiles/book_header.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/document/seeded_words.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// A tutorial of C listings as generated manuals write them: include lines whose names (written
// with character references) are cut at the line end on a small screen, a line holding only
// ">", indented lines, and prose between.
std::string TutorialHtml() {
    std::string h = "<html><head><title>Tutorial</title></head><body><h1>Tutorial</h1>";
    for (int c = 0; c < 7; ++c) {
        h += "<p>Step" + std::to_string(c) +
             " needs the headers below; the listing shows them as the compiler reads them, "
             "one to a line.</p><pre class=\"programlisting\">";
        for (int i = 0; i < 14; ++i) {
            const std::string n = std::to_string(c * 100 + i);
            h += "  #include &lt;libxslt" + std::to_string(c) + "/transformations" + n + ".h&gt;\n";
            if (i % 5 == 2) h += "&gt;\n";
            if (i % 4 == 1) h += "      value" + n + " = call" + n + "(argument" + n + ");\n";
        }
        h += "</pre>";
    }
    return h + "<p>closing words of the tutorial.</p></body></html>";
}

// A manual of synopses: PRE whose lines end in <br/>, with a line break of markup and a line
// end of text inside one listing, markup after the last word.
std::string SynopsesHtml() {
    std::string h = "<html><body>";
    for (int c = 0; c < 8; ++c) {
        h += "<h3>Section" + std::to_string(c) + "</h3><pre class=\"synopsis\">";
        for (int i = 0; i < 6 + c % 3; ++i) {
            const std::string n = std::to_string(c * 100 + i);
            h += "<a href=\"#f" + n + "\">xsltFunction" + n + "</a> (<i>xsltContextPtr</i> ctxt" +
                 n + ",<br/>                   <i>const xmlChar *</i> name" + n + ");<br/>\n";
            if (i % 3 == 0) h += "&gt;<br/>";
        }
        h += "</pre><p>Returns the value" + std::to_string(c) + " or NULL.</p>";
    }
    return h + "<div class=\"footer\"><span></span></div></body></html>";
}

// A reference page's synopsis as its generator writes one, between paragraphs of prose: each
// function on one listing line, its name and its arguments after TABs that line them up in
// columns wider than a small screen, each argument after a <br/> and TABs.
std::string TabbedSynopsesHtml() {
    static const char* const kTypes[] = {"xmlNodePtr", "xmlDocPtr", "void", "int",
                                         "xsltStylesheetPtr"};
    static const char* const kNames[] = {"node", "contextNode", "inst", "doc", "output"};
    static const char* const kWords[] = {"the",     "transformation", "context",
                                         "node",    "source",         "tree",
                                         "element", "instruction",    "compiled"};
    SeededWords words(kWords, 5);
    std::string h = "<html><body><h1>transform</h1>";
    auto prose = [&] {
        for (int p = 0; p < 12; ++p) h += "<p>" + words.Words(60) + "</p>\n";
    };
    prose();
    h += "<div class=\"refsynopsisdiv\"><h2>Synopsis</h2><pre class=\"synopsis\">";
    for (int f = 0; f < 40; ++f) {
        const std::string name = "xsltFunction" + std::to_string(f) + "Name";
        h += std::string(kTypes[f % 5]) + "\t<a href=\"#" + name + "\">" + name +
             "</a>\t\t\t(<a href=\"#t\">xsltTransformContextPtr</a> ctxt";
        for (int a = 0; a < 1 + (f * 7) % 4; ++a)
            h += ", <br/>\t\t\t\t\t " + std::string(kTypes[(f + a) % 5]) + " " +
                 kNames[(f * 3 + a) % 5];
        h += ");\n";
    }
    h += "</pre></div>";
    prose();
    return h + "</body></html>";
}

// A reference page as its generator writes one: a synopsis listing of calls, each a type, a TAB,
// the linked name (long names cut at a small screen's line end), TABs, then its arguments each
// after a <br/> and five TABs; then the details of each call (its listing, a paragraph, a table
// of its arguments). Going back, pages start inside the TABs and inside cut names; paging back
// reaches them far from any page still laid out.
std::string ReferencePageHtml(std::uint32_t seed) {
    static const char* const kTypes[] = {
        "int", "void", "xmlChar *", "const xmlChar *", "xmlXPathObjectPtr *", "xsltStylesheetPtr"};
    static const char* const kParts[] = {
        "xslt",      "Set",  "Get",  "Generic", "Debug",   "Sort", "Result",  "To",
        "Callbacks", "Func", "Ctxt", "Parse",   "Options", "Save", "Compile", "Error"};
    static const char* const kArguments[] = {
        "int no",           "void * block",    "xmlNodePtr * sorts", "int nbsorts",
        "xmlDocPtr result", "int compression", "void * ctx",         "const char * URL"};
    static const char* const kWords[] = {"the",      "transformation", "context", "node",
                                         "source",   "tree",           "element", "instruction",
                                         "compiled", "stylesheet"};
    SeededWords parts(kParts, seed), pick(kTypes, seed + 1), arguments(kArguments, seed + 2),
        words(kWords, seed + 3);
    struct Call {
        std::string type, name, tabs, arguments;
        std::vector<std::string> names;
    };
    std::vector<Call> calls(50);
    for (Call& c : calls) {
        c.type = pick.Words(1);
        c.name = parts.Words(3 + static_cast<int>(parts.Draw() >> 16) % 3, "");
        c.tabs.assign(static_cast<size_t>(std::max(1, 3 - static_cast<int>(c.name.size()) / 8)),
                      '\t');
        const int count = 1 + static_cast<int>(arguments.Draw() >> 16) % 4;
        for (int a = 0; a < count; ++a) {
            const std::string argument = arguments.Words(1);
            c.arguments += (a ? ", <br/>\t\t\t\t\t " : "") + argument;
            c.names.push_back(argument.substr(argument.rfind(' ') + 1));
        }
    }
    std::string h = "<html><body><h2>utils</h2><p>" + words.Words(20) +
                    ".</p><h2>Synopsis</h2><pre class=\"synopsis\">";
    for (const Call& c : calls)
        h += c.type + "\t<a href=\"#" + c.name + "\">" + c.name + "</a>" + c.tabs + "(" +
             c.arguments + ");\n";
    h += "</pre><h2>Details</h2>";
    for (const Call& c : calls) {
        h += "<h3><a name=\"" + c.name + "\"/>" + c.name +
             " ()</h3><pre class=\"programlisting\">" + c.type + "\t" + c.name + c.tabs + "(" +
             c.arguments + ")<br/>\n</pre><p>" +
             words.Words(10 + static_cast<int>(words.Draw() >> 16) % 30) +
             ".</p><table border=\"0\"><tbody>";
        for (const std::string& name : c.names)
            h += "<tr><td><i><tt>" + name + "</tt></i>:</td><td>" + words.Words(5) + ".</td></tr>";
        h += "</tbody></table><hr/>";
    }
    return h + "</body></html>";
}

// An API page of a generated manual: a banner table, then one table holding a menu column of
// boxed lists beside the body column, each built of tables in tables; the body ends in a list of
// parameters (a table of its own) and the maintainer's name, then the tables close.
std::string ApiPageHtml() {
    const std::string box =
        "<table width=\"100%\" border=\"0\" cellspacing=\"1\" cellpadding=\"3\">"
        "<tr><td colspan=\"1\" bgcolor=\"#eecfa1\" align=\"center\"><center><b>";
    std::string h =
        "<html><body bgcolor=\"#8b7765\"><table border=\"0\" width=\"100%\" cellpadding=\"5\" "
        "cellspacing=\"0\" align=\"center\"><tr><td width=\"120\"></td><td width=\"180\"><div "
        "align=\"left\"></div></td><td><table border=\"0\" width=\"90%\" cellpadding=\"2\" "
        "cellspacing=\"0\" align=\"center\" bgcolor=\"#000000\"><tr><td><table width=\"100%\" "
        "border=\"0\" cellspacing=\"1\" cellpadding=\"3\" bgcolor=\"#fffacd\"><tr><td "
        "align=\"center\"><h1>The XSLT C library for GNOME</h1><h2>Module xsltutils from "
        "libxslt</h2></td></tr></table></td></tr></table></td></tr></table><table border=\"0\" "
        "cellpadding=\"4\" cellspacing=\"0\" width=\"100%\" align=\"center\"><tr><td "
        "bgcolor=\"#8b7765\"><table border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
        "width=\"100%\"><tr><td valign=\"top\" width=\"200\" bgcolor=\"#8b7765\"><table "
        "border=\"0\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\" "
        "bgcolor=\"#000000\"><tr><td>";
    for (const char* title : {"API Menu", "Related links", "API Indexes"})
        h += box + title +
             "</b></center></td></tr><tr><td bgcolor=\"#fffacd\"><ul><li>Menu</li>"
             "</ul></td></tr></table>";
    h += "</td></tr></table></td><td valign=\"top\" bgcolor=\"#8b7765\"><table border=\"0\" "
         "cellspacing=\"0\" cellpadding=\"1\" width=\"100%\"><tr><td><table border=\"0\" "
         "cellspacing=\"0\" cellpadding=\"1\" width=\"100%\" bgcolor=\"#000000\"><tr><td><table "
         "border=\"0\" cellpadding=\"3\" cellspacing=\"1\" width=\"100%\"><tr><td "
         "bgcolor=\"#fffacd\"><h3>Function: f0</h3><pre class=\"programlisting\">int\tf0\t(int "
         "a)<br />\n</pre><p>Compile 0</p>\n<div class=\"variablelist\"><table border=\"0\"><col "
         "align=\"left\" /><tbody><tr><td><i>style</i>:</td><td>the stylesheet</td></tr><tr><td>"
         "<i>Returns</i>:</td><td>the result or NULL.</td></tr></tbody></table></div><p>Daniel "
         "Veillard</p>";
    for (int i = 0; i < 5; ++i) h += "</td></tr></table>";
    return h + "</body></html>";
}

// A long manual of prose, each word marked up as generated manuals mark terms, its words
// numbered so that each line tells where it stands.
std::string LongManualHtml() {
    std::string h = "<html><head><title>Manual</title></head><body>";
    int word = 0;
    for (int p = 0; p < 300; ++p) {
        h += p % 12 == 0 ? "<h2>Chapter" + std::to_string(p / 12) + "</h2><p>" : "<p>";
        for (int i = 0; i < 24 + (p * 7) % 30; ++i)
            h += "<span class=\"term\">w" + std::to_string(++word) + "</span> ";
        h += "</p>";
    }
    return h + "<p>closing words.</p></body></html>";
}

// A long text of plain paragraphs: a page holds far fewer positions than the estimate of a
// page counts, so numbers counted down from the count End shows run out before the first page.
std::string PlainParagraphsHtml() {
    static const char* const kWords[] = {"harbour", "lantern", "evening", "quiet", "ships", "under",
                                         "keeper",  "stone",   "water",   "light", "the"};
    SeededWords words(kWords, 3);
    std::string h = "<html><body>";
    for (int p = 0; p < 420; ++p) h += "<p>" + words.Words(20 + p % 15) + "</p>";
    return h + "<p>closing words.</p></body></html>";
}

// A book of numbered verses, one line each, under headings, whose last page paging forward
// shows holds only a few lines (the verses end a few lines past a page's end); the footer's
// markup follows the last words. Long enough that End searches back from the end; pages going
// back from it can have room for a line more than they show (below a heading).
std::string VersesHtml(int verses) {
    std::string h = "<html><head><title>Verses</title></head><body><p>";
    for (int v = 1; v <= verses; ++v) {
        // Cantos of eleven verses (a page holding a heading has room for fewer lines), and a
        // last canto of forty.
        if (v % 11 == 1 && v + 40 < verses)
            h += "</p><h2>Canto" + std::to_string(v / 11 + 1) + "</h2><p>";
        h += "verse" + std::to_string(v) + " the keeper<br/>";
    }
    return h + "</p><div class=\"footer\"><span></span></div></body></html>";
}

// A reference table of constants as API manuals write them: a code column of long qualified
// names beside a column of descriptions, its rows running over many pages. Each page measures
// the rows it holds; words an earlier layout cut at a line's end (the rows measured for the page
// before, or laid out at other widths before a row was given up) are whole again.
std::string ConstantsTableHtml() {
    static const char* const kWords[] = {
        "sent",   "to", "indicate", "when",    "a",     "controlling", "terminal", "is",
        "closed", "or", "parent",   "process", "exits", "the",         "user",     "wishes"};
    static const char* const kNames[] = {"ACCES", "ADDRINUSE", "AGAIN", "BADF"};
    uint32_t r = 5;
    std::string h =
        "<html><head><title>Constants</title></head><body><h2>Error constants</h2><p>The "
        "following error constants are exported by os.constants.errno.</p><table><tr><th>"
        "Constant</th><th>Description</th></tr>";
    for (int i = 0; i < 40; ++i) {
        h += "<tr><td><code>os.constants.errno.E" + std::string(kNames[i % 4]) + "_" +
             std::to_string(i) + "</code></td><td>";
        for (int k = 0; k < 6 + (i * 5) % 17; ++k) {
            r = r * 1103515245u + 12345u;
            h += std::string(k ? " " : "") + kWords[(r >> 16) % 16];
        }
        h += ".</td></tr>";
    }
    return h + "</table><p>closing words.</p></body></html>";
}

// An API manual's page of constants: paragraphs of prose, then a table whose code column of long
// qualified names beside a column of descriptions runs wider than the screen and over many
// pages (each page's rows read view by view across), then prose again.
std::string WideConstantsTableHtml() {
    static const char* const kWords[] = {"the",   "process",  "signal", "returns", "a",  "value",
                                         "when",  "terminal", "is",     "closed",  "or", "parent",
                                         "exits", "user",     "wishes", "handler"};
    static const char* const kNames[] = {"EADDRNOTAVAIL", "ECONNREFUSED", "EWOULDBLOCK",
                                         "ENAMETOOLONG", "EHOSTUNREACH"};
    SeededWords words(kWords, 7);
    std::string h = "<html><head><title>OS</title></head><body><h1>os</h1>";
    for (int p = 0; p < 14; ++p) h += "<p>" + words.Words(40 + (p * 3) % 17) + ".</p>";
    h += "<h2>Error constants</h2><p>The following error constants are exported by "
         "os.constants.errno.</p><table><tr><th>Constant</th><th>Description</th></tr>";
    for (int i = 0; i < 70; ++i)
        h += "<tr><td><code>os.constants.errno." + std::string(kNames[i % 5]) + "_" +
             std::to_string(i) + "</code></td><td>" + words.Words(5 + (i * 7) % 19) + ".</td></tr>";
    h += "</table>";
    for (int p = 0; p < 14; ++p) h += "<p>" + words.Words(40 + (p * 5) % 13) + ".</p>";
    return h + "</body></html>";
}

// A long manual closing on its index, as texinfo writes one: hundreds of pages of prose, then
// one table of "entry: Section" rows under a letter heading each, the entries long identifiers
// in code that make the table wider than the screen.
std::string IndexedManualHtml() {
    std::string h = "<html><head><title>Manual</title></head><body>";
    for (int p = 0; p < 1400; ++p) {
        h += "<p>";
        for (int i = 0; i < 22; ++i)
            h += (i ? " " : "") + std::string(i % 5 ? "the" : "harbour") +
                 std::to_string(p * 100 + i);
        h += "</p>";
    }
    h += "<h2>Function and Concept Index</h2><table border=\"0\"><tr><td></td><th align=\"left\">"
         "Index Entry</th><td>&nbsp;</td><th align=\"left\"> Section</th></tr>";
    static const char* const kSections[] = {"Cipher functions", "Authenticated encryption", "AES"};
    for (int i = 0; i < 700; ++i) {
        if (i % 30 == 0)
            h += "<tr><td colspan=\"4\"> <hr></td></tr><tr><th>" + std::string(1, 'A' + i / 30) +
                 "</th><td></td><td></td></tr>";
        const std::string n = std::to_string(i);
        const std::string names[] = {"aes" + n + "_decrypt", "ccm_aes192_set_encrypt_key_" + n,
                                     "md" + n, "AES"};
        h += "<tr><td></td><td valign=\"top\"><a href=\"#e" + n + "\"><code>" + names[i % 4] +
             "</code></a>:</td><td>&nbsp;</td><td valign=\"top\"><a href=\"#s\">" +
             kSections[i % 3] + "</a></td></tr>";
    }
    return h + "</table></body></html>";
}

// A user manual as DocBook writes it: prose, then listings each in a shaded table of one cell
// (a table of properties with their types, a configuration file), their rows taller than the
// screen and read view by view down the cell, the paragraph before each ending with a short line.
std::string ShadedListingsManualHtml() {
    static const char* const kWords[] = {"fonts",  "are",    "matched", "by",   "the",
                                         "family", "pattern", "and",    "its",  "properties",
                                         "which",  "applications", "use", "for", "rendering"};
    static const char* const kTypes[] = {"String", "Int", "Bool", "Double", "CharSet"};
    SeededWords words(kWords, 11);
    std::string h = "<html><head><title>Fonts</title></head><body><h1>Font configuration</h1>";
    for (int part = 0; part < 6; ++part) {
        for (int p = 0; p < 20; ++p) h += "<p>" + words.Words(30 + (p * 7 + part) % 23) + ".</p>\n";
        h += "<p>" + words.Words(18 + part) + " mechanism.\n    </p\n><TABLE\nBORDER=\"0\"\n"
             "BGCOLOR=\"#E0E0E0\"\nWIDTH=\"100%\"\n><TR\n><TD\n><PRE\nCLASS=\"PROGRAMLISTING\"\n>";
        h += "  Property        Type    Description\n  " + std::string(50, '-') + "\n";
        for (int i = 0; i < 40 + 9 * part; ++i)
            h += "  prop" + std::to_string(part) + "_" + std::to_string(i) +
                 std::string(12 - std::to_string(i).size(), ' ') + kTypes[i % 5] + "  " +
                 words.Words(2 + (i * 3) % 7) + "\n";
        h += "    </PRE\n></TD\n></TR\n></TABLE\n>";
    }
    for (int p = 0; p < 6; ++p) h += "<p>" + words.Words(25 + (p * 5) % 13) + ".</p>\n";
    return h + "</body></html>";
}

// A manual laid out in one table, as generated manuals are: each row a menu column of links
// beside a body column holding an entry's prose, with code identifiers, and now and then an
// example in a listing. Some menu entries are long words: columns measured from the rows of one
// page would be narrower or wider than from those of another.
std::string LayoutTableManualHtml() {
    static const char* const kWords[] = {"the",    "transport", "opens",  "a",       "socket",
                                         "and",    "reads",     "its",    "options", "from",
                                         "each",   "entry",     "before", "calling", "with",
                                         "server", "address",   "given"};
    static const char* const kMenu[] = {"Options", "Setup", "Configure", "Install", "Index"};
    SeededWords words(kWords, 11);
    std::string h = "<html><head><title>Transport manual</title></head><body><h1>Transport</h1><p>" +
                    words.Words(30) + ".</p><table border=\"0\" cellpadding=\"2\">";
    for (int row = 0; row < 80; ++row) {
        const std::string n = std::to_string(row);
        const std::string name = "tr_" + std::string(static_cast<size_t>((row * 7) % 4), 'x') + n;
        h += "<tr><td valign=\"top\"><a href=\"#s" + n + "\">" +
             (row % 6 == 2 ? kMenu[row % 5] : "S") + n + "</a></td><td>" +
             words.Words(2 + (row * 5) % 7) + " <code>" + name + "</code> ";
        h += words.Words(3 + (row * 3) % 9) + ".";
        if (row % 3 == 0) {
            h += "<pre>";
            for (int line = 0; line <= row % 2; ++line) h += "r = " + name + "(fd);\n";
            h += "</pre>";
        }
        h += "</td></tr>";
    }
    return h + "</table><p>closing words.</p></body></html>";
}

// A long manual of entries laid out in one table: a narrow column of links beside each entry's
// line of prose with a call in code, every third one with a one-line listing.
std::string EntriesTableManualHtml(uint32_t seed, int rows) {
    static const char* const kWords[] = {"the",    "transport", "opens",  "a",       "socket",
                                         "and",    "reads",     "its",    "options", "from",
                                         "each",   "entry",     "before", "calling", "with",
                                         "server", "address",   "given"};
    SeededWords words(kWords, seed);
    std::string h = "<html><head><title>Transport</title></head><body><h1>Transport</h1><p>" +
                    words.Words(30) + ".</p><table border=\"0\" cellpadding=\"2\">";
    for (int row = 0; row < rows; ++row) {
        const std::string n = std::to_string(row);
        h += "<tr><td valign=\"top\"><a href=\"#s" + n + "\">S" + n + "</a></td><td>" +
             words.Words(2 + (row * 5) % 7) + " <code>tr_" + n + "</code> ";
        h += words.Words(3 + (row * 3) % 9) + ".";
        if (row % 3 == 0) h += "<pre>r = tr_" + n + "(fd);\n</pre>";
        h += "</td></tr>\n";
    }
    return h + "</table><p>closing words.</p></body></html>";
}

// Synopses of a generated API manual written as listings whose lines run far wider than the
// screen: each call marked up (type, link, parameter) and parted from the next by TABs in the
// middle of the line. A listing line wraps over several pages; going back, a page is laid out
// from the start of the listing's line, where its wrapping and TAB columns count from.
std::string WideSynopsesHtml() {
    std::string h = "<html><head><title>API</title></head><body><h2>Functions</h2>";
    int n = 0;
    for (int s = 0; s < 6; ++s) {
        h += "<p>Functions of group " + std::to_string(s) + ".</p><pre class=\"programlisting\">";
        for (int line = 0; line < 4; ++line) {
            for (int k = 0; k < 30; ++k) {
                const std::string i = std::to_string(++n);
                h += "<span class=\"type\">int</span>\t<a class=\"link\" href=\"#f" + i +
                     "\">call_" + i + "</a>\t(<em>n" + i + "</em>),\t";
            }
            h += "\n";
        }
        h += "</pre>";
    }
    return h + "<p>closing words.</p></body></html>";
}

// A manual of suppressions and commands as generated manuals write them: prose, then listings
// whose start tag is followed by a line end, their first line (a suppression's names, a
// command's path) wider than a small screen and cut there, then lines of one character and of
// dashes; synopses with <br/> inside. Names are numbered and of varied lengths, so that pages
// start on the pieces of cut lines.
std::string SuppressionListingsHtml() {
    std::string h = "<html><head><title>Suppressions</title></head><body><h1>Suppressions</h1>";
    for (int s = 0; s < 60; ++s) {
        const std::string n = std::to_string(s);
        h += "<h3>Section " + n +
             "</h3><p>Each suppression names the tool it is for and the kind of error";
        for (int k = 0; k < s % 4; ++k) h += " it hides";
        h += ", and the listing below shows one written as the core reads it, line " + n +
             ".</p><pre class=\"programlisting\">\ntool_name" + n + ",tool_name" +
             std::to_string(s * 7) + ":suppression_name_" + std::string(s % 9, 'x') + n +
             "\n&gt;\n" + std::string(30 + s % 17, '-') + "\n#\n</pre><p>Run it so:</p>" +
             "<pre class=\"programlisting\">\nLD_PRELOAD=$prefix/lib/valgrind/libmpiwrap" + n +
             "-&lt;platform&gt;.so   \\\n   mpirun [mpirun-args]\n</pre><pre class=\"synopsis\">call" +
             n + " (<i>void *</i> first" + n + ",<br/>        <i>int</i> second" + n +
             ");<br/>&gt;<br/></pre>";
    }
    return h + "<p>closing words.</p></body></html>";
}

// A manual as texinfo writes it: nodes separated by rules (forced page breaks), each with its
// header line of links and a heading, chapter nodes with a menu table of their sections, and
// sections of a few paragraphs and an example, their lengths not dividing into pages evenly; a
// rule closes the last node. Words are numbered, so every line reads differently.
std::string TexinfoManualHtml() {
    std::string h =
        "<html><head><title>Tool manual</title></head><body><h1 class=\"settitle\">Tool</h1>"
        "<p>This manual documents the tool, version 1.2.</p>";
    int word = 0;
    auto words = [&](int n) {
        std::string t;
        for (int i = 0; i < n; ++i) t += (i ? " " : "") + std::string("w") + std::to_string(++word);
        return t;
    };
    auto header = [&](const std::string& node) {
        return "<hr><span id=\"" + node +
               "\"></span><div class=\"header\"><p>Next: <a href=\"#n\" accesskey=\"n\">Next</a>, "
               "Up: <a href=\"#Top\">Top</a> &nbsp; [<a href=\"#SEC_Contents\">Contents</a>]"
               "</p></div>";
    };
    for (int c = 1; c <= 4; ++c) {
        const std::string ch = std::to_string(c);
        h += header("c" + ch) + "<h2 class=\"chapter\">" + ch + " Chapter" + ch + "</h2><p>" +
             words(12 + 9 * c) + "</p><table class=\"menu\" border=\"0\">";
        const int sections = 2 + c % 3;
        for (int s = 1; s <= sections; ++s)
            h += "<tr><td align=\"left\">&bull; <a href=\"#s" + ch + std::to_string(s) +
                 "\">Section" + ch + "x" + std::to_string(s) +
                 "</a></td><td>&nbsp;&nbsp;</td><td></td></tr>";
        h += "</table>";
        for (int s = 1; s <= sections; ++s) {
            const std::string sec = ch + "." + std::to_string(s);
            h += header("s" + ch + std::to_string(s)) + "<h3 class=\"section\">" + sec +
                 " Section" + sec + "</h3>";
            for (int p = 0; p < 1 + (c * 5 + s * 3) % 5; ++p)
                h += "<p>" + words(25 + (c * 13 + s * 7 + p * 11) % 40) + "</p>";
            if ((c + s) % 2 == 0)
                h += "<div class=\"example\"><pre class=\"example\">tool --opt" + sec + " file" +
                     sec + "\ntool --list" + sec + "\n</pre></div>";
        }
    }
    return h + "<hr>\n\n</body></html>";
}

// A prose book of plain paragraphs, its words numbered, whose length does not divide into
// pages evenly.
std::string ProseBookHtml() {
    std::string h = "<html><head><title>Prose</title></head><body>";
    int word = 0;
    for (int p = 0; p < 70; ++p) {
        h += "<p>";
        for (int i = 0; i < 30 + (p * 17) % 41; ++i)
            h += (i ? " " : "") + std::string(i % 5 ? "the" : "harbour") + std::to_string(++word);
        h += "</p>";
    }
    return h + "<p>closing words.</p></body></html>";
}

// A generated manual's chapter on internals: sections of prose, each with a diagram taller than
// the screen in a centred paragraph of its own between its paragraphs (a page paging forward
// shows holds the diagram alone, shrunk to the page).
std::string StructureDiagramsHtml(int sections = 10) {
    static const char* const kWords[] = {"the",       "processing", "stylesheet", "template",
                                         "node",      "pattern",    "compiled",   "structure",
                                         "hash",      "list",       "element",    "attribute",
                                         "definition"};
    SeededWords words(kWords, 29);
    auto pick = [&](std::uint32_t n) { return static_cast<int>((words.Draw() >> 16) % n); };
    std::string h = "<html><head><title>Internals</title></head><body><h1>Internals</h1>";
    for (int sec = 0; sec < sections; ++sec) {
        const std::string n = std::to_string(sec);
        h += "<h3><a name=\"s" + n + "\">Section " + n + "</a></h3>\n";
        for (int p = 2 + pick(5); p > 0; --p) h += "<p>" + words.Words(20 + pick(40)) + ".</p>\n\n";
        h += "<p align=\"center\"><img src=\"structure.jpg\"\nalt=\"The structure " + n +
             "\"></p>\n\n";
        for (int p = 2 + pick(4); p > 0; --p) h += "<p>" + words.Words(20 + pick(40)) + ".</p>\n\n";
    }
    return h + "</body></html>\n";
}

// A library's design notes: sections of prose, each with a figure that fits the page but is
// taller than half of it, centred in a paragraph of its own after a sentence that introduces it
// (paging forward starts a page at a figure that does not fit below the lines before it).
std::string FiguresHtml(int sections, std::uint32_t seed) {
    static const char* const kWords[] = {"the",     "node",    "tree",  "is",      "built",
                                         "from",    "a",       "parser", "context", "holds",
                                         "each",    "element", "of",    "its",     "children",
                                         "and",     "result",  "stack"};
    SeededWords words(kWords, seed);
    auto pick = [&](std::uint32_t n) { return static_cast<int>((words.Draw() >> 16) % n); };
    std::string h = "<html><head><title>Design</title></head><body><h1>Design</h1>\n";
    for (int sec = 0; sec < sections; ++sec) {
        const std::string n = std::to_string(sec);
        h += "<h3>Part " + n + "</h3>\n";
        for (int p = 1 + pick(4); p > 0; --p) h += "<p>" + words.Words(15 + pick(45)) + ".</p>\n";
        h += "<p>" + words.Words(8 + pick(10)) + ":</p>\n<p align=\"center\"><img src=\"figure" +
             std::to_string(sec % 3) + ".jpg\" alt=\"figure " + n + "\"></p>\n";
        for (int p = 1 + pick(4); p > 0; --p) h += "<p>" + words.Words(15 + pick(45)) + ".</p>\n";
    }
    return h + "<hr>\n<p><a href=\"index.html\"></a></p>\n</body></html>\n";
}

// An API manual's page of error codes: each code a heading of one long name in the code font,
// wider than a small screen's line, followed (when `marks`) by a "#" link to the heading and an
// empty anchor, as the manual's generator writes them; a sentence of prose under each.
std::string ErrorCodesHtml(bool marks) {
    static const char* const kCodes[] = {
        "HTTP2_HEADERS_AFTER_RESPOND",      "HTTP2_INVALID_CONNECTION_HEADERS",
        "HTTP2_PSEUDOHEADER_NOT_ALLOWED",   "INSPECTOR_ALREADY_ACTIVATED",
        "MANIFEST_DEPENDENCY_MISSING",      "WORKER_UNSERIALIZABLE_ERROR",
        "HTTP2_STREAM_SELF_DEPENDENCY",     "TLS_RENEGOTIATION_DISABLED",
        "HTTP2_HEADERS_SENT",               "MANIFEST_TDZ",
        "CRYPTO_INCOMPATIBLE_KEY_OPTIONS",  "VM_DYNAMIC_IMPORT_CALLBACK_MISSING",
        "HTTP2_TRAILERS_ALREADY_SENT",      "INVALID_RETURN_PROPERTY_VALUE",
        "STREAM_PUSH_AFTER_EOF",            "UNSUPPORTED_DIR_IMPORT",
        "SCRIPT_EXECUTION_INTERRUPTED",     "HTTP2_SESSION_ERROR",
        "NAPI_INVALID_TYPEDARRAY_ALIGNMENT", "CHILD_PROCESS_STDIO_MAXBUFFER"};
    std::string h = "<html><head><title>Errors</title></head><body><h2>Error codes</h2>";
    for (const char* code : kCodes) {
        const std::string name = std::string("ERR_") + code;
        h += "<p><a id=\"" + name + "\"></a></p><h4><code>" + name + "</code>";
        if (marks)
            h += "<span><a class=\"mark\" href=\"#" + name + "\" id=\"" + name +
                 "_mark\">#</a></span><a aria-hidden=\"true\" class=\"legacy\" id=\"errors_" +
                 name + "\"></a>";
        h += "</h4>\n<p>An attempt was made to use the feature in a way it does not allow.</p>\n";
    }
    return h + "</body></html>";
}

// An API manual's page as its generator writes one: sections of a heading, a history table
// whose changes name long identifiers and command-line flags in code (wider than the screen, so
// it is read view by view), a list of options and a paragraph of prose.
std::string ApiHistoryHtml(int sections = 35) {
    static const char* const kWords[] = {"the",     "script", "context", "is",      "run",
                                         "module",  "when",   "value",   "options", "a",
                                         "returns", "of",     "in",      "cached",  "data"};
    static const char* const kNames[] = {"importModuleDynamically", "produceCachedData",
                                         "USE_MAIN_CONTEXT_DEFAULT_LOADER", "microtaskMode"};
    SeededWords words(kWords, 11);
    std::string h = "<html><head><title>VM</title></head><body><h1>VM (executing JavaScript)</h1>";
    for (int s = 0; s < sections; ++s) {
        const std::string n = std::to_string(s);
        h += "<section><h3>vm.method" + n +
             "(code[, options])</h3><div class=\"api_metadata\">"
             "<details class=\"changelog\"><summary>History</summary><table><tbody><tr><th>"
             "Version</th><th>Changes</th></tr>";
        for (int r = 0; r < 2 + s % 3; ++r)
            h += "<tr><td>v" + std::to_string(20 - r * 3) + "." + n +
                 ".0</td><td><p>Added support for <code>vm.constants." +
                 std::string(kNames[(s + r) % 4]) + "</code> " + words.Words(3 + (s + r) % 5) +
                 ".</p></td></tr>";
        if (s % 2)
            h += "<tr><td>v19.0.0</td><td><p>No longer behind <code>--experimental-global-"
                 "webcrypto</code> CLI flag.</p></td></tr>";
        h += "</tbody></table></details></div><ul>";
        for (int o = 0; o < 2 + s % 2; ++o)
            h += "<li><code>option" + std::to_string(o) + "</code> &#x3C;string> " +
                 words.Words(9 + (s * 3 + o) % 11) +
                 ". <strong>Default:</strong> <code>'evalmachine.&#x3C;anonymous>'</code>.</li>";
        h += "</ul><p>" + words.Words(20 + (s * 7) % 23) + ".</p></section>\n";
    }
    return h + "</body></html>";
}

// An API manual's constructors as its generator writes them: each under a heading with a history
// table of two columns (a version, its change in prose), then parameters, a paragraph and a code
// example. Every fourth table (but near the end) holds many changes: taller than the screen,
// though it fits its width, so paging cuts it between rows; each of its changes starts "tallrow".
std::string TallHistoryTablesHtml() {
    static const char* const kWords[] = {"calling", "this",  "constructor", "emits", "a",
                                         "warning", "when",  "run",         "from",  "code",
                                         "outside", "the",   "buffer",      "memory", "is",
                                         "filled",  "zero",  "by",          "default", "no"};
    SeededWords words(kWords, 23);
    std::string h = "<html><head><title>Buffer</title></head><body><h1>Buffer</h1><p>" +
                    words.Words(40) + ".</p>";
    for (int s = 0; s < 24; ++s) {
        const std::string n = std::to_string(s);
        h += "<section><h3>new Buffer(size" + n + ")</h3><details class=\"changelog\"><summary>"
             "History</summary><table><tbody><tr><th>Version</th><th>Changes</th></tr>";
        const bool tall = s % 4 == 1 && s < 20;
        for (int r = 0; r < (tall ? 9 : 2); ++r)
            h += "<tr><td>v" + std::to_string(20 - r) + "." + n + ".0</td><td><p>" +
                 (tall ? "tallrow" : "change") + n +
                 "x" + std::to_string(r) + " " + words.Words(4 + (s * 5 + r * 7) % 17) +
                 ".</p></td></tr>";
        h += "</tbody></table></details><ul><li><code>size</code> &#x3C;integer> " +
             words.Words(8 + s % 5) + ".</li></ul><p>";
        h += words.Words(25 + (s * 11) % 30) + ".</p><pre><code>const buf = Buffer.alloc(" + n +
             ");\nconsole.log(buf);\n</code></pre></section>\n";
    }
    return h + "</body></html>";
}

// An API manual's page of functions as its generator writes them: each under a heading with a
// history table (a version, its change naming an error code or a flag in code, wider than a small
// screen's line, so the table is read view by view), its last row the version the function was
// added in; then the function's arguments in a list and paragraphs of prose. Tables cut between
// rows leave a page starting with a table's last rows and the lines below them.
std::string TimersHistoryHtml(int sections, std::uint32_t seed) {
    static const char* const kWords[] = {"the",   "callback", "timer", "is",     "called", "when",
                                         "delay", "an",       "event", "loop",   "runs",   "after",
                                         "its",   "value",    "of",    "object", "queue",  "a"};
    static const char* const kCodes[] = {"ERR_INVALID_ARG_TYPE", "ERR_INVALID_CALLBACK",
                                         "--experimental-timers-promises", "ERR_OUT_OF_RANGE"};
    SeededWords words(kWords, seed);
    auto pick = [&](std::uint32_t n) { return static_cast<int>((words.Draw() >> 16) % n); };
    std::string h = "<html><head><title>Timers</title></head><body><h1>Timers</h1><p>" +
                    words.Words(50) + ".</p>\n";
    for (int s = 0; s < sections; ++s) {
        const std::string n = std::to_string(s);
        h += "<section><h4><code>setTimeout" + n +
             "(callback[, delay[, ...args]])</code></h4>\n"
             "<div class=\"api_metadata\">\n<details class=\"changelog\"><summary>History"
             "</summary>\n<table>\n<tbody><tr><th>Version</th><th>Changes</th></tr>\n";
        for (int r = pick(3); r >= 0; --r) {
            const std::string change = words.Words(3 + pick(6));
            const char* const code = kCodes[pick(4)];
            const char* const instead = kCodes[pick(4)];
            h += "<tr><td>v" + std::to_string(18 - r) + "." + n + ".0</td>\n<td><p>" + change +
                 " <code>" + code + "</code> instead of <code>" + instead +
                 "</code>.</p></td></tr>\n";
        }
        h += "<tr><td>v0." + n + ".1</td>\n<td><p><span>Added in: v0." + n +
             ".1</span></p></td></tr>\n</tbody></table>\n</details>\n</div>\n<ul>\n";
        for (int i = 1 + pick(3); i > 0; --i)
            h += "<li><code>arg" + std::to_string(i) + "</code> <a class=\"type\">&#x3C;any></a> " +
                 words.Words(6 + pick(12)) + ".</li>\n";
        h += "</ul>\n";
        for (int p = 1 + pick(4); p > 0; --p) h += "<p>" + words.Words(15 + pick(40)) + ".</p>\n";
        h += "</section>";
    }
    return h + "</body></html>\n";
}

// A library manual as DocBook writes it, the size of a real one: each call a few paragraphs of
// prose, often a listing of 10 to 60 lines, its synopsis, then its argument as a borderless
// table of one row (the term in italics beside its description, whose calls in code are too long
// for a small screen's column: the table is wider than the screen and read view by view across),
// an empty paragraph, and a line on what the call does. An appendix's long listing closes it.
// Prose words are numbered, so every line reads differently; each term names its call:
// "events7".
std::string ArgumentTablesManualHtml(int calls, std::uint32_t seed) {
    static const char* const kWords[] = {"the",    "device", "events", "motion",  "history",
                                         "buffer", "client", "returns", "of",     "a",
                                         "is",     "by",     "mode",   "axis",    "value"};
    SeededWords words(kWords, seed);
    int serial = 0;
    auto numbered = [&](int count) {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += (i ? " " : "") + words.Words(1) + std::to_string(serial++);
        return out;
    };
    std::string h = "<html><head><title>Input library</title></head><body><h1>Input</h1>";
    for (int s = 0; s < calls; ++s) {
        const std::string n = std::to_string(s);
        for (int p = 0; p < 3 + s % 5; ++p)
            h += "<p>" + numbered(30 + (s * 17 + p * 7) % 53) + ".</p>";
        if (s % 2) {
            h += "<pre class=\"programlisting\">";
            for (int i = 0, lines = 10 + (s * 13) % 51; i < lines; ++i)
                h += "  field" + n + "_" + std::to_string(i) + " = " + numbered(1 + i % 4) +
                     ";\n";
            h += "</pre>";
        }
        h += "<p>\n\n</p><div class=\"funcsynopsis\"><p><code class=\"funcdef\">void <strong "
             "class=\"fsfunc\"> XFreeDeviceMotionEvents" + n + "</strong>(</code>"
             "XDeviceTimeCoord<var class=\"pdparam\"> *events</var><code>)</code>;</p></div><p>"
             "\n\n</p><div class=\"variablelist\"><table border=\"0\" class=\"variablelist\">"
             "<colgroup><col align=\"left\" valign=\"top\" /><col /></colgroup><tbody><tr><td><p>"
             "<span class=\"term\">\n      <span class=\"emphasis\"><em>events" + n +
             "</em></span>\n    </span></p></td><td><p>\nSpecifies the pointer to the\n<code "
             "class=\"function\">XDeviceTimeCoord</code>\narray returned by a previous call to\n"
             "<code class=\"function\">XGetDeviceMotionEvents" + n + " .</code>\n    </p></td>"
             "</tr></tbody></table></div><p>\n</p><p>\n\n\n" + numbered(1);
        h += " <a class=\"xref\" href=\"#x\"><code class=\"function\"> XFreeDeviceMotionEvents" +
             n + "</code></a>\nfrees the specified array of " + numbered(4 + s % 9) + ".\n</p>";
    }
    h += "<p>\nThe following information is contained in the header files:\n</p>"
         "<pre class=\"literallayout\">\n";
    for (int i = 0; i < 150; ++i)
        h += "#define Tail" + std::to_string(i) + " " + numbered(1 + i % 3) + "\n";
    return h + "</pre></body></html>";
}

// A reference far longer than a reader pages through: paragraphs whose words each sit in markup
// (so the file holds many more positions than words), the last ones pages long, then right
// below them a table of entries taller than the screen that fits its width (each entry starts
// "tallrow"), and closing paragraphs.
std::string FarTableReferenceHtml() {
    static const char* const kWords[] = {"the", "entry", "names", "a",    "value", "that",
                                         "is",  "kept",  "when",  "read", "from",  "its",
                                         "own", "table", "and",   "used"};
    SeededWords words(kWords, 31);
    auto marked = [&words](int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += std::string(i ? " " : "") +
                   "<span class=\"reference-term reference-term-plain reference-index-entry\">" +
                   words.Words(1) + "</span>";
        return out;
    };
    std::string h = "<html><head><title>Reference</title></head><body><h1>Reference</h1>";
    for (int p = 0; p < 240; ++p)
        h += "<p>" + marked(p < 236 ? 90 + (p * 13) % 70 : 600) + ".</p>\n";
    h += "<table><tr><th>Entry</th><th>Meaning</th></tr>";
    for (int r = 0; r < 30; ++r)
        h += "<tr><td>e" + std::to_string(r) + "</td><td>tallrow" + std::to_string(r) + " " +
             words.Words(3 + (r * 7) % 13) + ".</td></tr>";
    h += "</table>";
    for (int p = 0; p < 6; ++p) h += "<p>" + words.Words(60 + p * 9) + ".</p>";
    return h + "</body></html>";
}

// A chapter of a generated manual closing on its navigation footer: a long run of prose, then a
// table of links to the chapters before and after, wider than a small screen (read view by
// view), then the footer's markup after the last word.
std::string NavigationFooterManualHtml() {
    static const char* const kWords[] = {"the",  "tool",   "reports", "errors",  "when",
                                         "memory", "is",   "read",    "before",  "it",
                                         "is",   "written", "and",    "the",     "program",
                                         "goes", "on"};
    std::string h = "<html><head><title>Manual</title></head><body><div class=\"chapter\">"
                    "<h2>7. Tools</h2>";
    for (int p = 0; p < 205; ++p) {
        h += "<p>";
        for (int i = 0; i < 30 + (p * 7) % 23; ++i)
            h += std::string(i ? " " : "") + kWords[(p * 31 + i * 7 + i * i) % 17];
        h += ".</p>\n";
    }
    return h +
           "</div>\n<div>\n<br><table class=\"nav\" width=\"100%\" cellspacing=\"3\" "
           "cellpadding=\"2\" border=\"0\" summary=\"Navigation footer\">\n<tr>\n"
           "<td rowspan=\"2\" width=\"40%\" align=\"left\">\n<a accesskey=\"p\" "
           "href=\"core.html\">&lt;&lt; 2. Using and understanding the Valgrind core</a> </td>\n"
           "<td width=\"20%\" align=\"center\"><a accesskey=\"u\" href=\"index.html\">Up</a>"
           "</td>\n<td rowspan=\"2\" width=\"40%\" align=\"right\"> <a accesskey=\"n\" "
           "href=\"memcheck.html\">4. Memcheck: a memory error detector &gt;&gt;</a>\n</td>\n"
           "</tr>\n<tr><td width=\"20%\" align=\"center\"><a accesskey=\"h\" "
           "href=\"index.html\">Home</a></td></tr>\n</table>\n</div>\n</body>\n</html>\n";
}

using Page = std::vector<std::string>;

std::vector<std::string> ShownLines(const Page& page) {
    std::vector<std::string> out;
    for (const std::string& line : page)
        if (line.find_first_not_of(' ') != std::string::npos) out.push_back(line);
    return out;
}

// The lines of pages in reading order, each line below a table read view by view once: each
// view of the table shows the page's lines below it again (they count in the last view). Two
// pages that end on the same lines are taken for views of one page.
std::vector<std::string> ReadOnce(const std::vector<std::vector<std::string>>& pages) {
    std::vector<std::string> out;
    for (size_t k = 0; k < pages.size(); ++k) {
        const std::vector<std::string>& page = pages[k];
        size_t below = 0;
        if (k + 1 < pages.size()) {
            const std::vector<std::string>& after = pages[k + 1];
            while (below < std::min(page.size(), after.size()) &&
                   page[page.size() - 1 - below] == after[after.size() - 1 - below])
                ++below;
        }
        out.insert(out.end(), page.begin(), page.end() - static_cast<std::ptrdiff_t>(below));
    }
    return out;
}

// Pages PageUp showed, in reading order: how many of each page's last lines repeat the first
// lines of the page after it where the page is one PageDown shows (a page at a forced break, or
// the page after page 1, is shown as paging forward shows it). The page after it then goes on
// with the first line of the page PageDown shows next: one that merely starts with a line like
// the page's last repeats nothing.
std::vector<size_t> RepeatsAtBoundaries(const std::vector<Page>& forward,
                                        const std::vector<Page>& back) {
    std::vector<size_t> repeats(back.size(), 0);
    for (size_t k = 0; k + 1 < back.size(); ++k) {
        // Not a page PageDown shows, or followed by the page PageDown shows after it.
        const auto f = std::find(forward.begin(), forward.end(), back[k]);
        if (f == forward.end() || (f + 1 != forward.end() && *(f + 1) == back[k + 1])) continue;
        const std::vector<std::string> a = ShownLines(back[k]), b = ShownLines(back[k + 1]);
        const std::vector<std::string> next =
            f + 1 != forward.end() ? ShownLines(*(f + 1)) : std::vector<std::string>{};
        for (size_t m = std::min(a.size(), b.size()); m > 0; --m)
            if (std::equal(a.end() - static_cast<std::ptrdiff_t>(m), a.end(), b.begin()) &&
                (m == b.size() || next.empty() || b[m] == next.front())) {
                repeats[k] = m;
                break;
            }
    }
    return repeats;
}

// Each page PageUp showed (in `back`) that holds rows of a tall table (lines starting
// "tallrow") is a page PageDown showed, or the top of one (cut where the page after it starts);
// returns how many such pages there are.
size_t ExpectRowsGroupedAsForward(const std::vector<Page>& forward, const std::vector<Page>& back) {
    auto topOfAForwardPage = [&forward](const Page& page) {
        return std::any_of(forward.begin(), forward.end(), [&page](const Page& f) {
            return page.size() <= f.size() && std::equal(page.begin(), page.end(), f.begin());
        });
    };
    size_t rowPages = 0;
    for (size_t k = 0; k < back.size(); ++k) {
        const bool rows = std::any_of(back[k].begin(), back[k].end(), [](const std::string& l) {
            return l.rfind("tallrow", 0) == 0;
        });
        if (!rows) continue;
        ++rowPages;
        EXPECT_TRUE(topOfAForwardPage(back[k]))
            << "going back, page " << k + 1 << " of " << back.size()
            << " groups the table's rows otherwise than paging forward; it begins \""
            << ShownLines(back[k]).front() << "\"";
    }
    return rowPages;
}

using Setting = ScreenSetting;
constexpr auto& Name = ScreenSettingName;

class ProgramPagesAgree : public ::testing::TestWithParam<Setting> {
protected:
    // Steps every walk takes before its own (a view command), and files written beside the
    // book (its pictures).
    std::string prelude_;
    std::vector<std::pair<std::string, std::string>> besides_;

    // The pages shown after `start`, then after each press of `key`, up to the first that
    // repeats the one before (the key no longer moves), which a walk to the end must reach. Each
    // walk has a device of its own: the font size a walk chooses stays with its device.
    std::vector<Page> Walk(const std::string& html, const std::string& start,
                           const std::string& key, int count, const std::string& name,
                           bool toTheEnd = true) {
        TempDevice device;
        EXPECT_TRUE(device.ok());
        device.WriteOutside(name + ".html", html);
        for (const auto& [file, bytes] : besides_) device.WriteOutside(file, bytes);
        const std::string book = device.OutsidePath(name + ".html");
        const std::string folder = device.outside() + "/" + name;
        std::filesystem::create_directories(folder);
        std::string steps = "idle\n";
        for (int i = 0; i < GetParam().larger; ++i) steps += "menu 40082\nidle\n";
        steps += prelude_ + start;
        steps += PageWalkSteps(folder, key, count);
        const ProgramResult run = RunSteps(device, {book}, steps + "quit\n",
                                           {std::string("FOLIVANT_SCREEN=") + GetParam().screen});
        EXPECT_EQ(run.status, 0) << run.Describe();
        std::vector<Page> pages = ReadPageWalk(folder, count);
        if (toTheEnd) {
            EXPECT_LT(pages.size(), static_cast<size_t>(count)) << "the walk did not reach the end";
        }
        return pages;
    }

    // The pages PageDown shows from the first page to the last, and those PageUp shows from
    // End back to the first, put in reading order.
    struct BothWays {
        std::vector<Page> forward;
        std::vector<Page> back;
    };
    BothWays WalkBothWays(const std::string& html, const std::string& name) {
        BothWays walks{Walk(html, "", "key 0x22", 600, name + "-down"),
                       Walk(html, "key 0x23\nidle\n", "key 0x21", 600, name + "-up")};
        std::reverse(walks.back.begin(), walks.back.end());
        return walks;
    }

    // Pages PageDown shows from the first and PageUp from End hold the same lines in the same
    // order (blank lines aside: one PageDown dropped at a page's end may show going back; and
    // the lines a page at a boundary repeats of the page after it).
    void ExpectBackwardTilesForward(const std::string& name, const std::string& html,
                                    bool viewedTables = false) {
        auto [forward, back] = WalkBothWays(html, name);
        ASSERT_GT(forward.size(), 3u);
        ASSERT_GT(back.size(), 3u);
        ExpectSameLines(forward, back, viewedTables);
    }

    // With `viewedTables` (a book of tables read view by view), the lines below a table count
    // once, not once per view (see ReadOnce); elsewhere two pages may end on the same lines.
    static void ExpectSameLines(const std::vector<Page>& forward, const std::vector<Page>& back,
                                bool viewedTables = false) {
        std::vector<std::vector<std::string>> downPages, upPages;
        for (const Page& page : forward) downPages.push_back(ShownLines(page));
        std::vector<size_t> repeats = RepeatsAtBoundaries(forward, back);
        // Each view of a page shows its lines below the table: the lines its last view repeats
        // of the page after it are left out of the views before it too.
        if (viewedTables)
            for (size_t k = repeats.size(); k-- > 1;) {
                if (!repeats[k]) continue;
                const std::vector<std::string> last = ShownLines(back[k]);
                const std::vector<std::string> tail(
                    last.end() - static_cast<std::ptrdiff_t>(repeats[k]), last.end());
                for (size_t j = k; j-- > 0 && !repeats[j];) {
                    const std::vector<std::string> view = ShownLines(back[j]);
                    if (view.size() < tail.size() ||
                        !std::equal(tail.begin(), tail.end(),
                                    view.end() - static_cast<std::ptrdiff_t>(tail.size())))
                        break;
                    repeats[j] = tail.size();
                }
            }
        for (size_t k = 0; k < back.size(); ++k) {
            const std::vector<std::string> shown = ShownLines(back[k]);
            upPages.emplace_back(shown.begin(),
                                 shown.end() - static_cast<std::ptrdiff_t>(repeats[k]));
        }
        std::vector<std::string> down, up;
        if (viewedTables) {
            down = ReadOnce(downPages);
            up = ReadOnce(upPages);
        } else {
            for (const auto& page : downPages) down.insert(down.end(), page.begin(), page.end());
            for (const auto& page : upPages) up.insert(up.end(), page.begin(), page.end());
        }
        ExpectSameReading(down, up);
    }

    // The lines PageUp showed (`up`) are those PageDown showed (`down`), in the same order.
    static void ExpectSameReading(const std::vector<std::string>& down,
                                  const std::vector<std::string>& up) {
        size_t same = 0;
        while (same < down.size() && same < up.size() && down[same] == up[same]) ++same;
        EXPECT_EQ(same, down.size())
            << "going back, line " << same << " of " << down.size()
            << " differs: PageDown showed \"" << (same < down.size() ? down[same] : "")
            << "\", PageUp \"" << (same < up.size() ? up[same] : "") << "\"";
        EXPECT_EQ(down.size(), up.size());
    }

    // How many lines a full page holds: of the forward pages' line counts in order, the one
    // `quarters` quarters of the way up (the median by default).
    static size_t FullPageLines(const std::vector<Page>& forward, size_t quarters = 2) {
        std::vector<size_t> sizes;
        for (const Page& p : forward) sizes.push_back(ShownLines(p).size());
        std::sort(sizes.begin(), sizes.end());
        return sizes[sizes.size() * quarters / 4];
    }

    // Going back, every page between the first and the last that PageDown does not show too
    // holds at least half the lines of a full page.
    static void ExpectNoShortPageGoingBack(const std::vector<Page>& forward,
                                           const std::vector<Page>& back) {
        const size_t full = FullPageLines(forward);
        for (size_t k = 1; k + 1 < back.size(); ++k) {
            if (std::find(forward.begin(), forward.end(), back[k]) != forward.end()) continue;
            EXPECT_GE(ShownLines(back[k]).size() * 2, full)
                << "going back, page " << k + 1 << " of " << back.size() << " holds "
                << ShownLines(back[k]).size() << " lines; it begins " << back[k].front();
        }
    }
};

TEST_P(ProgramPagesAgree, ListingsWithCutWordsAndLinesOfOneCharacter) {
    ExpectBackwardTilesForward("tutorial", TutorialHtml());
}

TEST_P(ProgramPagesAgree, SynopsesWithBreaksInsideListings) {
    ExpectBackwardTilesForward("synopses", SynopsesHtml());
}

// A listing line's TABs that wrap past a page's end: the page after it starts with the line's
// words, and going back no page ends past them.
TEST_P(ProgramPagesAgree, SynopsesLinedUpWithTabs) {
    ExpectBackwardTilesForward("tabbed", TabbedSynopsesHtml());
}

// A synopsis of calls lined up with TABs before the details of each: a page going back that starts
// inside a run of TABs a line wrapped in, or inside a cut name followed by TABs, shows the blanks
// and the words after them as paging forward showed them.
TEST_P(ProgramPagesAgree, AReferencePageOfSynopsesLinedUpWithTabs) {
    for (std::uint32_t seed : {2u, 3u}) {
        SCOPED_TRACE(seed);
        ExpectBackwardTilesForward("reference" + std::to_string(seed), ReferencePageHtml(seed));
    }
}

// Rows continued from page to page are measured from their words as the text has them, so a
// page laid out going back from a row wraps the rows as the page paging forward showed.
TEST_P(ProgramPagesAgree, ATableOfLongNamesRunningOverManyPages) {
    ExpectBackwardTilesForward("constants", ConstantsTableHtml());
}

// Every page of a table wraps its cells at the same column widths, whichever way it was
// reached: the pages PageUp lays out from End start at other rows than those PageDown showed,
// yet tile the manual as PageDown did.
TEST_P(ProgramPagesAgree, AManualLaidOutInOneTableOfMenuAndBody) {
    ExpectBackwardTilesForward("layout-table", LayoutTableManualHtml());
}

// In a manual longer than End lays out from the first page, the pages going back from End need
// not start where the pages paging forward start: a page of a table taller than the screen is
// then cut as full as the room allows, never a strip of the top of a page paging forward showed.
TEST_P(ProgramPagesAgree, AManualLaidOutInOneTableShowsNoStripOfItGoingBack) {
    const std::string html = EntriesTableManualHtml(1, 260);
    const std::vector<Page> forward = Walk(html, "", "key 0x22", 600, "entries-down");
    const std::vector<Page> back = Walk(html, "key 0x23\nidle\n", "key 0x21", 600, "entries-up");
    ASSERT_GT(forward.size(), 48u);
    size_t fewest = 1000;
    for (size_t k = 1; k + 1 < forward.size(); ++k)
        fewest = std::min(fewest, ShownLines(forward[k]).size());
    for (size_t k = 1; k + 1 < back.size(); ++k)
        EXPECT_GE(ShownLines(back[k]).size(), fewest)
            << k << " PageUps from End show a strip of the table: " << ShownLines(back[k]).front();
}

// The last words close cells of tables in tables: the ends of the tables make no empty page
// after them, forward or at End.
TEST_P(ProgramPagesAgree, AnApiPageLaidOutInTablesEndsOnItsLastWords) {
    const std::string html = ApiPageHtml();
    const std::vector<Page> forward = Walk(html, "", "key 0x22", 40, "api-down");
    const std::vector<Page> end = Walk(html, "key 0x23\nidle\n", "key 0x21", 1, "api-up", false);
    ASSERT_FALSE(forward.empty());
    ASSERT_FALSE(forward.back().empty()) << "PageDown ends on an empty page";
    EXPECT_EQ(forward.back().back(), "Daniel Veillard");
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end.front(), forward.back()) << "End";
}

// Paragraphs of marked-up terms hold many more positions than words: a page going back starts
// on a line as paging forward wraps it, from its paragraph's start.
TEST_P(ProgramPagesAgree, ALongManualOfMarkedUpTerms) {
    ExpectBackwardTilesForward("long", LongManualHtml());
}

// A table wider than the screen is read a page's rows at a time, each view across down them:
// going back, each page of it holds the rows paging forward showed on one page (the page holding
// its first rows the same prose above them), so the views show what paging forward showed.
TEST_P(ProgramPagesAgree, ATableWiderThanTheScreenReadViewByView) {
    ExpectBackwardTilesForward("wide-constants", WideConstantsTableHtml(), true);
}

// A page going back that holds a table read view by view ends where the page after it starts,
// as every page going back does, unless that would leave it a strip of the table's last rows:
// then it is shown whole as paging forward shows it. So only such a page (its views showing a
// history table's rows) repeats the first lines of the page after it (besides the page after
// page 1, shown as paging forward shows it).
TEST_P(ProgramPagesAgree, APageOfAHistoryTableGoingBackEndsWhereThePageAfterStarts) {
    const std::string html = ApiHistoryHtml();
    auto [forward, back] = WalkBothWays(html, "history");
    ASSERT_GT(back.size(), 3u);
    auto historyRows = [](const Page& p) {
        return std::any_of(p.begin(), p.end(), [](const std::string& l) {
            return l.rfind("Added support", 0) == 0 || l.rfind("No longer", 0) == 0;
        });
    };
    const std::vector<size_t> repeats = RepeatsAtBoundaries(forward, back);
    for (size_t k = 2; k < repeats.size(); ++k) {
        if (!repeats[k]) continue;
        // The page's views: the pages before it ending on the same lines.
        const std::string last = ShownLines(back[k]).back();
        bool rows = historyRows(back[k]);
        for (size_t j = k; j-- > 0 && !rows && !ShownLines(back[j]).empty() &&
                           ShownLines(back[j]).back() == last;)
            rows = historyRows(back[j]);
        EXPECT_TRUE(rows) << "page " << k + 1 << " of " << back.size()
                          << " going back repeats lines of the page after it, from \""
                          << ShownLines(back[k + 1]).front() << "\"";
    }
    ExpectSameLines(forward, back, true);
}

// A table taller than the screen that fits its width is cut between rows: going back, its rows
// are grouped into the pages paging forward showed (counted from where the table starts on its
// page), not into pages of a row or two cut from the table's end. (A page holding the table's
// last rows ends where the page after it starts: below the table the pages PageUp shows from a
// full End need not be those PageDown showed, and the page may be a forward page's top only.)
TEST_P(ProgramPagesAgree, ATallHistoryTableThatFitsTheWidthIsPagedAsPagingForwardPagedIt) {
    const std::string html = TallHistoryTablesHtml();
    auto [forward, back] = WalkBothWays(html, "tall-history");
    ASSERT_GT(back.size(), 3u);
    ExpectSameLines(forward, back);
    EXPECT_GT(ExpectRowsGroupedAsForward(forward, back), 12u);
}

// A row taller than the screen is read view by view down it: going back, the page holding it
// starts where paging forward started it (not on the last line of the paragraph before, shown
// above each of its views), so each view shows the lines paging forward showed.
TEST_P(ProgramPagesAgree, ListingsInTablesTallerThanTheScreen) {
    ExpectBackwardTilesForward("shaded-listings", ShadedListingsManualHtml());
}

// Far into a long manual, the pages PageUp shows of a big table are as full as those PageDown
// shows of it: a page going back may start at any row, never holding a row or two only.
TEST_P(ProgramPagesAgree, AnIndexTableAtTheEndOfALongManual) {
    const std::string html = IndexedManualHtml();
    constexpr int kPages = 60;
    const std::vector<Page> back =
        Walk(html, "key 0x23\nidle\n", "key 0x21", kPages, "index-up", false);
    ASSERT_EQ(back.size(), static_cast<size_t>(kPages));
    // The last pages PageDown shows from the first.
    std::vector<Page> forward = Walk(html, "", "key 0x22", 3000, "index-down");
    ASSERT_GT(forward.size(), static_cast<size_t>(kPages));
    forward.erase(forward.begin(), forward.end() - kPages);
    // The index entries shown (each row's entry ends in a colon).
    auto entries = [](const std::vector<Page>& pages) {
        size_t n = 0;
        for (const Page& p : pages)
            for (const std::string& line : p) n += !line.empty() && line.back() == ':';
        return n;
    };
    ASSERT_GT(entries(forward), static_cast<size_t>(kPages));
    EXPECT_GE(entries(back) * 4, entries(forward) * 3)
        << kPages << " PageUps showed " << entries(back) << " entries, as many PageDowns "
        << entries(forward);
}

// Going back through an API manual, the page after a page holding a history table read view by
// view is no page of a few lines: that table's page ends where paging forward ends it, and what
// of the pages filled upward from End does not divide evenly before it is not left there (the
// page after it is shown as PageDown shows it, repeating the first lines of the page after it).
// Manuals of a few lengths, as where the pages going back fall differs with each.
TEST_P(ProgramPagesAgree, NoPageOfAFewLinesGoingBackAfterAHistoryTable) {
    for (const int sections : {13, 21, 32}) {
        SCOPED_TRACE(std::to_string(sections) + " sections");
        const std::string html = ApiHistoryHtml(sections);
        auto [forward, back] = WalkBothWays(html, "sections");
        ASSERT_GT(back.size(), 3u);
        ExpectSameLines(forward, back, true);
        ExpectNoShortPageGoingBack(forward, back);
    }
}

// Going back through an API manual of functions with history tables read view by view, the page
// holding a table's last rows and the lines below them is shown whole, as PageDown shows it
// (repeating the first lines of the page after it), never cut to a strip of a row or two in each
// view; no line PageDown showed is missing going back. Manuals of a few lengths, as where the
// pages going back fall differs with each.
TEST_P(ProgramPagesAgree, NoShortPageGoingBackAtAHistoryTablesLastRows) {
    for (const auto& [sections, seed] : {std::pair{21, 5u}, {28, 2u}, {29, 3u}}) {
        SCOPED_TRACE(std::to_string(sections) + " sections");
        const std::string html = TimersHistoryHtml(sections, seed);
        auto [forward, back] = WalkBothWays(html, "timers");
        ASSERT_GT(back.size(), 3u);
        ExpectNoShortPageGoingBack(forward, back);
        // Every line PageDown showed, in order, among those PageUp showed.
        std::vector<std::vector<std::string>> downPages, upPages;
        for (const Page& p : forward) downPages.push_back(ShownLines(p));
        for (const Page& p : back) upPages.push_back(ShownLines(p));
        const std::vector<std::string> down = ReadOnce(downPages), up = ReadOnce(upPages);
        size_t at = 0;
        for (size_t i = 0; i < down.size(); ++i) {
            const auto found =
                std::find(up.begin() + static_cast<std::ptrdiff_t>(at), up.end(), down[i]);
            if (found == up.end()) {
                ADD_FAILURE() << "going back, line " << i << " of " << down.size() << " (\""
                              << down[i] << "\") is on no page";
                break;
            }
            at = static_cast<size_t>(found - up.begin()) + 1;
        }
    }
}

// Going back from a full End through an API manual, the page before End's ends where End starts:
// at an argument's list item below a history table read view by view. The page holding only the
// few lines between that table and the item is shown as PageDown shows it (with the item's first
// lines again), not as a page of those few lines alone: the item's first line starts the page
// after, though the page after starts at its first word, past the item's start.
class ProgramHistoryListItems : public ProgramPagesAgree {};

TEST_P(ProgramHistoryListItems, NoShortPageGoingBackBetweenAHistoryTableAndAListItem) {
    for (const auto& [sections, seed] : {std::pair{16, 2u}, {13, 4u}}) {
        SCOPED_TRACE(std::to_string(sections) + " sections");
        auto [forward, back] = WalkBothWays(TimersHistoryHtml(sections, seed), "timers");
        ASSERT_GT(back.size(), 3u);
        ExpectNoShortPageGoingBack(forward, back);
        ExpectSameLines(forward, back, true);
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramHistoryListItems,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"240x320", 2}), Name);

// Going back through a long manual of argument tables wider than the screen, the page holding
// a table whole and ending right below it (where the page after starts) is as full as the
// screen allows: it holds the lines above the table with it, not the table alone in each view.
// Read view by view, the lines above and below the table show with each view (they count once),
// and the pages going back hold PageDown's lines in order. Manuals of a few lengths, as where
// the pages going back fall differs with each.
TEST_P(ProgramPagesAgree, NoShortPageGoingBackAtAWideArgumentTable) {
    // Each run of views of one page read once: the lines each view repeats above and below the
    // table count in one of them.
    auto readOnce = [](const std::vector<std::vector<std::string>>& shown) {
        std::vector<std::string> out;
        for (size_t k = 0; k < shown.size(); ++k) {
            size_t above = 0, below = 0;
            if (k > 0)
                while (above + 1 < std::min(shown[k].size(), shown[k - 1].size()) &&
                       shown[k][above] == shown[k - 1][above])
                    ++above;
            if (k + 1 < shown.size())
                while (below + above + 1 < shown[k].size() && below < shown[k + 1].size() &&
                       shown[k][shown[k].size() - 1 - below] ==
                           shown[k + 1][shown[k + 1].size() - 1 - below])
                    ++below;
            out.insert(out.end(), shown[k].begin() + static_cast<std::ptrdiff_t>(above),
                       shown[k].end() - static_cast<std::ptrdiff_t>(below));
        }
        return out;
    };
    for (const auto& [calls, seed] : {std::pair{18, 1u}, {21, 2u}, {24, 1u}}) {
        SCOPED_TRACE(std::to_string(calls) + " calls");
        auto [forward, back] = WalkBothWays(ArgumentTablesManualHtml(calls, seed), "arguments");
        ASSERT_GT(back.size(), 100u);
        const size_t full = FullPageLines(forward);
        size_t tables = 0;
        for (size_t k = 1; k + 1 < back.size(); ++k) {
            const std::vector<std::string> lines = ShownLines(back[k]);
            // A view of a table: its term ("events" and the call's number alone on its line)
            // or its description's first words.
            if (std::none_of(lines.begin(), lines.end(), [](const std::string& l) {
                    return (l.rfind("events", 0) == 0 && l.size() > 6 &&
                            l.find_first_not_of("0123456789", 6) == std::string::npos) ||
                           l.rfind("Specifies the", 0) == 0;
                }))
                continue;
            ++tables;
            // A page PageDown shows too.
            if (std::find(forward.begin(), forward.end(), back[k]) != forward.end()) continue;
            EXPECT_GE(lines.size() * 2, full)
                << "going back, page " << k + 1 << " of " << back.size() << " holds "
                << lines.size() << " lines; it begins " << lines.front();
        }
        EXPECT_GE(tables, static_cast<size_t>(calls));
        const std::vector<size_t> repeats = RepeatsAtBoundaries(forward, back);
        std::vector<std::vector<std::string>> downPages, upPages;
        for (const Page& p : forward) downPages.push_back(ShownLines(p));
        for (size_t k = 0; k < back.size(); ++k) {
            const std::vector<std::string> shown = ShownLines(back[k]);
            upPages.emplace_back(shown.begin(),
                                 shown.end() - static_cast<std::ptrdiff_t>(repeats[k]));
        }
        const std::vector<std::string> down = readOnce(downPages), up = readOnce(upPages);
        ExpectSameReading(down, up);
    }
}

// Far into a long reference (more text before it than a run of pages from the first page was
// laid out for), a table taller than the screen is paged back as every page is: each page ends
// where the page after it starts, so the pages PageUp shows read the table's rows once each, in
// the order PageDown from the first showed them (how they are grouped into pages may differ).
class ProgramFarTallTable : public ProgramPagesAgree {};

TEST_P(ProgramFarTallTable, PagingBackReadsItsRowsOnceEach) {
    const std::string html = FarTableReferenceHtml();
    constexpr int kPages = 24;
    std::vector<Page> back =
        Walk(html, "key 0x23\nidle\n", "key 0x21", kPages, "far-table-up", false);
    ASSERT_EQ(back.size(), static_cast<size_t>(kPages));
    std::reverse(back.begin(), back.end());
    const std::vector<Page> forward = Walk(html, "", "key 0x22", 3000, "far-table-down");
    auto rows = [](const std::vector<Page>& pages) {
        std::vector<std::string> out;
        for (const Page& p : pages)
            for (const std::string& l : p)
                if (l.rfind("tallrow", 0) == 0) out.push_back(l);
        return out;
    };
    const std::vector<std::string> down = rows(forward), up = rows(back);
    ASSERT_GT(up.size(), 12u);
    // The rows going back are a run of the rows going forward, none twice and none left out.
    const auto at = std::search(down.begin(), down.end(), up.begin(), up.begin() + 1);
    ASSERT_TRUE(at != down.end()) << up.front();
    const size_t from = static_cast<size_t>(at - down.begin());
    ASSERT_LE(from + up.size(), down.size());
    for (size_t i = 0; i < up.size(); ++i)
        ASSERT_EQ(up[i], down[from + i]) << "going back, row " << i << " of " << up.size();
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramFarTallTable,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"480x640@192", 0}),
                         Name);

INSTANTIATE_TEST_SUITE_P(Screens, ProgramPagesAgree,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"480x640@192", 0},
                                           Setting{"240x320", 2}),
                         Name);

// End on a long manual whose last page holds a table read view by view (its navigation footer):
// End shows the page PageDown ends on, in its last view, so that its views show no more of the
// prose above the table than paging forward showed with them; going back, no prose is shown
// twice but with the views of one page.
class ProgramEndOnViewedFooter : public ProgramPagesAgree {};

TEST_P(ProgramEndOnViewedFooter, EndShowsTheViewsPagingForwardShowed) {
    auto [forward, back] = WalkBothWays(NavigationFooterManualHtml(), "footer");
    ASSERT_GT(forward.size(), 50u);
    ASSERT_GT(back.size(), 50u);
    const std::vector<std::string> end = ShownLines(back.back()), last = ShownLines(forward.back());
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back(), "Home");
    EXPECT_EQ(end, last) << "End's page begins \"" << (end.empty() ? "" : end.front())
                         << "\", the last page PageDown shows \"" << last.front() << "\"";
    EXPECT_EQ(back[back.size() - 2], forward[forward.size() - 2]) << "the footer's first view";
    ExpectSameLines(forward, back, true);
}

// (At 480x640@192 the footer does not fit below prose: it starts the last page either way.)
INSTANTIATE_TEST_SUITE_P(Screens, ProgramEndOnViewedFooter,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"240x320", 2}), Name);

// Listing lines wider than many pages: paging back shows every wrapped piece of them once.
// (At 480x640@192 the pages going back happen to start on the listings' lines already.)
class ProgramWideListingLines : public ProgramPagesAgree {};

TEST_P(ProgramWideListingLines, PagingBackWrapsThemAsPagingForward) {
    ExpectBackwardTilesForward("synopses-wide", WideSynopsesHtml());
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramWideListingLines,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"240x320", 2}), Name);

// Paging back over pages shown before shows each of them again as it was shown, also one that
// starts on a piece of a listing's first line cut at the line's end (its start tag followed by
// a line end): the piece starts where paging forward cut the line, not a character before.
class ProgramCutListingLinesRetraced : public ProgramPagesAgree {};

TEST_P(ProgramCutListingLinesRetraced, PageUpShowsEachPageAsPageDownShowedIt) {
    const std::string html = SuppressionListingsHtml();
    const int downs = 100;
    std::string start;
    for (int i = 0; i < downs; ++i) start += "key 0x22\nidle\n";
    const std::vector<Page> forward = Walk(html, "", "key 0x22", 600, "cut-down");
    std::vector<Page> back = Walk(html, start, "key 0x21", 600, "cut-up");
    ASSERT_GT(forward.size(), static_cast<size_t>(downs));
    ASSERT_EQ(back.size(), static_cast<size_t>(downs + 1));
    std::reverse(back.begin(), back.end());
    for (size_t k = 0; k < back.size(); ++k)
        EXPECT_EQ(back[k], forward[k]) << "page " << k + 1 << " going back begins \""
                                       << ShownLines(back[k]).front() << "\", going forward \""
                                       << ShownLines(forward[k]).front() << "\"";
}

// (At 480x640@192 no page of this fixture starts on a piece of a cut first line.)
INSTANTIATE_TEST_SUITE_P(Screens, ProgramCutListingLinesRetraced,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"240x320", 2}), Name);

// With the position bar shown, PageUp from End goes back to page 1 past diagrams taller than the
// screen: a page laid out going back from the end of the paragraph before a diagram shows the
// diagram (its blank line above is no line of the page), never a page of nothing that PageUp
// cannot leave.
class ProgramTallPicturesGoingBack : public ProgramPagesAgree {
protected:
    // The diagram every fixture of this suite shows, taller than either screen.
    void SetUp() override {
        const std::vector<std::uint8_t> jpeg = WriteJpeg(520, 668, 3, Gradient(520, 668), 90);
        besides_ = {{"structure.jpg", std::string(jpeg.begin(), jpeg.end())}};
    }
};

TEST_P(ProgramTallPicturesGoingBack, PageUpWithThePositionBarPassesEveryDiagram) {
    prelude_ = "menu 40172\nidle\n";
    ExpectBackwardTilesForward("structures", StructureDiagramsHtml());
}

// Going back, the page after a diagram's page is no page of a few lines: the diagram's page is
// the one paging forward shows (the diagram alone, shrunk to the page), and what of the pages
// filled upward from End does not divide evenly before it is not left there (the page after it
// is shown as PageDown shows it, repeating the first lines of the page after that).
TEST_P(ProgramTallPicturesGoingBack, NoPageAfterADiagramHoldsAFewLinesGoingBack) {
    const std::string html = StructureDiagramsHtml();
    auto [forward, back] = WalkBothWays(html, "diagrams");
    ASSERT_GT(back.size(), 3u);
    ExpectSameLines(forward, back);
    const size_t full = FullPageLines(forward, 3);
    auto diagram = [](const Page& p) {
        return std::any_of(p.begin(), p.end(),
                           [](const std::string& l) { return l.rfind("[", 0) == 0; });
    };
    size_t after = 0;
    for (size_t k = 1; k + 1 < back.size(); ++k) {
        if (!diagram(back[k - 1]) || diagram(back[k])) continue;
        ++after;
        EXPECT_GE(ShownLines(back[k]).size() * 2, full)
            << "going back, page " << k + 1 << " of " << back.size() << " holds "
            << ShownLines(back[k]).size() << " lines; it begins " << back[k].front();
    }
    EXPECT_GT(after, 5u);
}

// In a manual long enough that paging back starts from pages found by earlier searches, the page
// just before a diagram's page is no page of a line or two going back: a page such a search
// passed that ends at the diagram (the lines before it, the diagram not fitting below them) is
// not taken as it is; the page ending there is filled from the page before it.
TEST_P(ProgramTallPicturesGoingBack, NoPageBeforeADiagramHoldsAFewLinesGoingBack) {
    auto [forward, back] = WalkBothWays(StructureDiagramsHtml(20), "long-diagrams");
    ASSERT_GT(back.size(), 60u);
    ExpectSameLines(forward, back);
    const size_t full = FullPageLines(forward, 3);
    auto startsWithDiagram = [](const Page& p) {
        const std::vector<std::string> shown = ShownLines(p);
        return !shown.empty() && shown.front().rfind("[", 0) == 0;
    };
    size_t before = 0;
    for (size_t k = 1; k + 1 < back.size(); ++k) {
        if (!startsWithDiagram(back[k + 1]) || startsWithDiagram(back[k])) continue;
        ++before;
        if (std::find(forward.begin(), forward.end(), back[k]) != forward.end()) continue;
        EXPECT_GE(ShownLines(back[k]).size() * 2, full)
            << "going back, page " << k + 1 << " of " << back.size() << " holds "
            << ShownLines(back[k]).size() << " lines; it begins " << back[k].front();
    }
    EXPECT_GT(before, 10u);
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramTallPicturesGoingBack,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"480x640@192", 0},
                                           Setting{"240x320", 2}),
                         Name);

// Figures that fit the page but take more than half of it, each centred in a paragraph of its
// own after a sentence introducing it: going back, no page beside a figure holds a few lines
// (the lines after the figure on its page, or those before it) where paging forward shows a
// full page; the page after a figure's page may instead repeat the first lines of the page
// after it, and no line is lost.
class ProgramFiguresGoingBack : public ProgramTallPicturesGoingBack {
protected:
    void SetUp() override {
        const int heights[] = {213, 180, 240};
        besides_.clear();
        for (int i = 0; i < 3; ++i) {
            const std::vector<std::uint8_t> jpeg =
                WriteJpeg(198, heights[i], 3, Gradient(198, heights[i]), 90);
            besides_.push_back({"figure" + std::to_string(i) + ".jpg",
                                std::string(jpeg.begin(), jpeg.end())});
        }
    }
};

TEST_P(ProgramFiguresGoingBack, NoPageBesideAFigureHoldsAFewLinesGoingBack) {
    size_t figures = 0;
    for (std::uint32_t seed : {11u, 23u}) {
        const std::string name = "figures" + std::to_string(seed);
        auto [forward, back] = WalkBothWays(FiguresHtml(24, seed), name);
        ASSERT_GT(back.size(), 40u);
        // Every line paging forward showed is shown going back, in order.
        std::vector<std::string> up;
        for (const Page& page : back)
            for (const std::string& l : ShownLines(page)) up.push_back(l);
        size_t at = 0, seen = 0;
        for (const Page& page : forward)
            for (const std::string& l : ShownLines(page)) {
                while (at < up.size() && up[at] != l) ++at;
                if (at == up.size()) break;
                ++at;
                ++seen;
            }
        size_t lines = 0;
        for (const Page& page : forward) lines += ShownLines(page).size();
        EXPECT_EQ(seen, lines) << name << ": a line paging forward showed is not shown going back";
        const size_t full = FullPageLines(forward, 3);
        const int screenHeight = std::string(GetParam().screen).rfind("480", 0) == 0 ? 640 : 320;
        for (size_t k = 1; k + 1 < back.size(); ++k) {
            // A figure ("[198x213]") counts as the lines its height would hold.
            lines = 0;
            for (const std::string& l : ShownLines(back[k])) {
                int w = 0, h = 0;
                if (std::sscanf(l.c_str(), "[%dx%d]", &w, &h) == 2) {
                    ++figures;
                    lines += static_cast<size_t>(h) * full / screenHeight;
                } else {
                    ++lines;
                }
            }
            if (std::find(forward.begin(), forward.end(), back[k]) != forward.end()) continue;
            EXPECT_GE(lines * 2, full)
                << name << ": going back, page " << k + 1 << " of " << back.size() << " holds "
                << ShownLines(back[k]).size() << " lines; it begins " << back[k].front();
        }
    }
    EXPECT_GT(figures, 20u);
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramFiguresGoingBack,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"480x640@192", 0},
                                           Setting{"240x320", 1}, Setting{"480x640@192", 1}),
                         Name);

// End on a book whose last forward page is short: the book is short enough to be paged from
// its first page when End asks for the last page, so End shows the last page PageDown shows and
// numbers it as PageDown does; the pages PageUp shows from it tile the book back to page 1, and
// PageDown after PageUps shows the same pages again.
class ProgramEndPage : public ProgramPagesAgree {};

TEST_P(ProgramEndPage, EndShowsTheLastPageAndPagingBackRetraces) {
    const std::string html = VersesHtml(4003);
    const std::vector<Page> forward = Walk(html, "", "key 0x22", 500, "verses-down");
    ASSERT_GT(forward.size(), 4u);
    const size_t full = forward[forward.size() - 2].size();
    ASSERT_LT(forward.back().size(), full) << "the last forward page is not short";
    const std::vector<Page> end =
        Walk(html, "key 0x23\nidle\n", "key 0x21", 1, "verses-end", false);
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end.front(), forward.back()) << "End's page is not the last page PageDown shows";
    ASSERT_FALSE(end.front().empty());
    EXPECT_EQ(end.front().back(), forward.back().back());
    ExpectBackwardTilesForward("verses", html);
    // End, PageUps, then as many PageDowns: the pages PageUp showed, in the other order.
    constexpr int kTurns = 14;
    const std::vector<Page> up =
        Walk(html, "key 0x23\nidle\n", "key 0x21", kTurns + 1, "verses-turns-up", false);
    ASSERT_EQ(up.size(), static_cast<size_t>(kTurns + 1));
    std::string back = "key 0x23\nidle\n";
    for (int i = 0; i < kTurns; ++i) back += "key 0x21\nidle\n";
    const std::vector<Page> down =
        Walk(html, back, "key 0x22", kTurns + 1, "verses-turns-down", false);
    ASSERT_EQ(down.size(), static_cast<size_t>(kTurns + 1));
    for (int i = 0; i <= kTurns; ++i)
        EXPECT_EQ(down[static_cast<size_t>(i)], up[static_cast<size_t>(kTurns - i)])
            << "PageDown " << i << " after " << kTurns << " PageUps from End";
}

// Going back from End never shows a page of fewer lines than the screen holds but where paging
// back meets a place paging forward starts from (the first page, a forced page break at a
// manual's node), and no page repeats lines of the page after it, at such a place or elsewhere;
// a chapter shorter than a screen stays as short as PageDown shows it. No line is lost and page 1
// starts as PageDown's page 1.
class ProgramFullPagesGoingBack : public ProgramPagesAgree {
protected:
    void ExpectFullPagesGoingBack(const std::string& name, const std::string& html, bool breaks) {
        auto [forward, back] = WalkBothWays(html, name);
        ASSERT_GT(forward.size(), 6u);
        ASSERT_GT(back.size(), 6u);
        // Page 1 starts as PageDown's (it may end earlier, where paging back met it).
        ASSERT_FALSE(back.front().empty());
        EXPECT_TRUE(back.front().size() <= forward.front().size() &&
                    std::equal(back.front().begin(), back.front().end(), forward.front().begin()))
            << "page 1";
        ExpectSameLines(forward, back);
        // Paging forward, every node starts a page at its rule, also after the last rows of a
        // menu table at a page's top; the rule closing the text makes no last page of its own.
        for (const Page& p : forward)
            for (size_t i = 0; i < p.size(); ++i)
                if (p[i].rfind("Next:", 0) == 0) {
                    EXPECT_EQ(i, 1u) << p[i] << " below " << p[0];
                }
        auto onlyRules = [](const Page& p) {
            return std::all_of(p.begin(), p.end(),
                               [](const std::string& l) { return l.empty() || l[0] == '['; });
        };
        EXPECT_FALSE(onlyRules(forward.back())) << "the last page PageDown shows";
        EXPECT_FALSE(onlyRules(back.back())) << "End's page";
        // The screen's lines: the fewest a page PageDown shows holds, but for the last page of
        // a chapter (the page after it starts at a node's rule) and of the book; a page filled
        // upward may hold up to two fewer where a heading or a rule takes the room of more.
        auto startsNode = [](const Page& p) { return !p.empty() && p.front().rfind("[", 0) == 0; };
        size_t full = 1000;
        for (size_t k = 0; k + 1 < forward.size(); ++k)
            if (!startsNode(forward[k + 1])) full = std::min(full, forward[k].size() - 2);
        ASSERT_GT(full, 4u);
        for (size_t k = 1; k < back.size(); ++k) {
            if (std::find(forward.begin(), forward.end(), back[k]) != forward.end()) continue;
            EXPECT_GE(back[k].size(), full)
                << "going back, page " << k << " of " << back.size() << " holds " << back[k].size()
                << " lines; it begins " << back[k].front();
        }
        const std::vector<size_t> repeats = RepeatsAtBoundaries(forward, back);
        for (size_t k = 0; k < repeats.size(); ++k)
            EXPECT_EQ(repeats[k], 0u) << "going back, page " << k << " repeats lines of the next";
        (void)breaks;
    }
};

TEST_P(ProgramFullPagesGoingBack, AManualOfNodesBetweenForcedPageBreaks) {
    ExpectFullPagesGoingBack("manual", TexinfoManualHtml(), true);
}

TEST_P(ProgramFullPagesGoingBack, ALongProseBook) {
    ExpectFullPagesGoingBack("prose", ProseBookHtml(), false);
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramFullPagesGoingBack,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"480x640@192", 0},
                                           Setting{"240x320", 2}),
                         Name);

INSTANTIATE_TEST_SUITE_P(Screens, ProgramEndPage,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"480x640@192", 0},
                                           Setting{"240x320", 2}),
                         Name);

// A long code name cut at the line's end is measured in its own font, not in that of the "#" link
// after it: each piece of the name but its last fills its line as the first does (the name's
// font is of fixed width). Measured in the link's font, the piece after a cut was cut short and
// drawn with its last letters run into one another.
class ProgramCutNames : public ProgramPagesAgree {};

TEST_P(ProgramCutNames, EveryPieceOfACutNameFillsItsLine) {
    std::vector<std::string> lines;
    for (const Page& page : Walk(ErrorCodesHtml(true), "", "key 0x22", 60, "codes")) {
        for (std::string line : ShownLines(page)) {
            line.erase(0, line.find_first_not_of(' '));
            line.erase(line.find_last_not_of(' ') + 1);
            if (!line.empty() && line.back() == '#') line.pop_back();
            if (!line.empty()) lines.push_back(line);
        }
    }
    size_t cut = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("ERR_", 0) != 0) continue;
        std::vector<std::string> pieces{lines[i]};
        while (i + 1 < lines.size() && lines[i + 1].rfind("An attempt", 0) != 0)
            pieces.push_back(lines[++i]);
        for (size_t k = 1; k + 1 < pieces.size(); ++k)
            EXPECT_EQ(pieces[k].size(), pieces[0].size())
                << "\"" << pieces[k] << "\" after \"" << pieces[0] << "\"";
        if (pieces.size() > 1) ++cut;
    }
    EXPECT_GT(cut, 5u) << "names cut at a line's end";
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramCutNames,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"480x640@192", 1}),
                         Name);

// A contents list of long code names in links, in a UTF-8 file (where positions count bytes),
// as generated API pages open with: each name is cut at a line's end once or twice. The entries
// whose name runs across the end of a stretch the file is read in (every 4096 bytes) are noted.
std::string CodeNamesContentsHtml(std::vector<std::string>& acrossStretches) {
    static const char* const kObjects[] = {"deserializer", "serializer", "promiseHooks"};
    static const char* const kMethods[] = {"getWireFormatVersion", "transferArrayBuffer",
                                           "readRawBytes", "setTreatArrayBufferViews"};
    constexpr size_t kStretch = 4096;
    std::string h =
        "<html><head><meta charset=\"utf-8\"></head><body><h1>V8 \xE2\x80\x94 contents</h1><ul>";
    for (int i = 0; h.size() < 14000; ++i) {
        const std::string n = std::to_string(i);
        h += "<li><a href=\"#m" + n + "\"><code>";
        const std::string name = std::string(kObjects[i % 3]) + "." + kMethods[i % 4] + n + "()";
        if (h.size() / kStretch != (h.size() + name.size()) / kStretch)
            acrossStretches.push_back(n + "()");
        h += name + "</code></a></li>\n";
    }
    return h + "</ul><p>closing words.</p></body></html>";
}

// Reopened on a page that starts on a piece of a cut name, the book shows the page as paging
// forward showed it. Where the name ran across the end of a stretch of the file, the page began
// earlier in the name ("Version52()" for "ion52()", or the name's first letters again): its
// start was counted from the piece's characters up to the stretch's end only. A screen two
// lines high makes every other line a page's start.
class ProgramCutNamesReopened : public ::testing::TestWithParam<const char*> {};

TEST_P(ProgramCutNamesReopened, APageStartingOnAPieceOfANameShowsItAsPagingShowedIt) {
    std::vector<std::string> across;
    const std::string html = CodeNamesContentsHtml(across);
    ASSERT_GE(across.size(), 2u);
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("v8.html", html);
    const std::string book = device.OutsidePath("v8.html");
    const std::string o = device.outside() + "/";
    const std::vector<std::string> env = {std::string("FOLIVANT_SCREEN=") + GetParam()};
    constexpr int kPages = 200;
    std::string walk = "idle\n";
    for (int i = 0; i < kPages; ++i)
        walk += "pagetext " + o + "p" + std::to_string(i) + ".txt\nkey 0x22\nidle\n";
    ASSERT_EQ(RunSteps(device, {book}, walk + "quit\n", env).status, 0);
    int reopened = 0;
    for (int i = 1; i < kPages; ++i) {
        const std::vector<std::string> page =
            ShownLines(ReadLines(o + "p" + std::to_string(i) + ".txt"));
        if (page.empty() || page.front().find('.') != std::string::npos) continue;
        const bool inside = std::any_of(across.begin(), across.end(), [&](const std::string& end) {
            return std::any_of(page.begin(), page.end(), [&](const std::string& line) {
                return line.find(end) != std::string::npos;
            });
        });
        if (!inside) continue;
        // The page starts on a piece of a name run across a stretch's end: reopened there.
        std::string steps = "idle\nkey 0x24\nidle\n";  // from the first page
        for (int k = 0; k < i; ++k) steps += "key 0x22\nidle\n";
        ASSERT_EQ(RunSteps(device, {book}, steps + "quit\n", env).status, 0);
        ASSERT_EQ(RunSteps(device, {book}, "idle\npagetext " + o + "again.txt\nquit\n", env).status,
                  0);
        EXPECT_EQ(ShownLines(ReadLines(o + "again.txt")), page) << "reopened at page " << i + 1;
        ++reopened;
    }
    EXPECT_GE(reopened, 2);
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramCutNamesReopened,
                         ::testing::Values("240x110", "480x200@192"));

// An API page's contents: nested lists of calls in links, each name with its arguments longer
// than the pieces the text is read in (30 characters), cut at a small screen's line ends two or
// three times: after the object's '.', inside the name, inside the arguments.
std::string LongCallsContentsHtml() {
    static const char* const kCalls[] = {"readable.asIndexedPairs([options])",
                                         "readable.reduce(fn[, initial[, options]])",
                                         "writable.writeOrBufferChunks(chunk[, encoding])",
                                         "duplex.allowHalfOpenSockets([options])",
                                         "transform.flushRemainingChunks(callback)",
                                         "stream.duplexPairFromStreams([options])",
                                         "readable.iteratorHelpers([options])",
                                         "stream.finishedWithSignals(stream[, options])"};
    std::string h = "<html><body><h1>Stream</h1><ul><li><a href=\"#api\">Stream</a><ul>";
    for (int k = 0; k < 12; ++k) {
        const std::string n = std::to_string(k);
        h += "<li><a href=\"#c" + n + "\">Class: <code>stream.Readable</code></a><ul>";
        for (int i = 0; i < 8; ++i)
            h += "<li><span class=\"stability_1\"><a href=\"#x" + n + "_" + std::to_string(i) +
                 "\"><code>" + kCalls[i] + "</code></a></span></li>";
        h += "</ul></li>";
    }
    return h + "</ul></li></ul></body></html>";
}

// Reopened on any page, the book shows it as paging forward showed it, also a page that starts
// on a piece of a cut call: its words are cut as the page before cut them, whichever pieces of
// text the layout read them in (from the call's start paging forward, from the page's start on
// reopening), never "Pairs([" and "options])" where paging showed "Pairs([op-" and "tions])".
TEST(ProgramLongCallsReopened, EveryPageShowsAsPagingForwardShowedIt) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("stream.html", LongCallsContentsHtml());
    const std::string book = device.OutsidePath("stream.html");
    const std::string o = device.outside() + "/";
    const std::vector<std::string> env = {"FOLIVANT_SCREEN=240x320"};
    constexpr int kPages = 40;
    std::string walk = "idle\n";
    for (int i = 0; i < kPages; ++i)
        walk += "pagetext " + o + "p" + std::to_string(i) + ".txt\nkey 0x22\nidle\n";
    ASSERT_EQ(RunSteps(device, {book}, walk + "quit\n", env).status, 0);
    int reopened = 0;
    std::string steps = "idle\nkey 0x24\nidle\n";  // from the first page
    for (int i = 1; i < kPages; ++i) {
        steps += "key 0x22\nidle\n";
        const Page page = ReadLines(o + "p" + std::to_string(i) + ".txt");
        if (page.empty() || page == ReadLines(o + "p" + std::to_string(i - 1) + ".txt")) break;
        ASSERT_EQ(RunSteps(device, {book}, steps + "quit\n", env).status, 0);
        ASSERT_EQ(RunSteps(device, {book}, "idle\npagetext " + o + "again.txt\nquit\n", env).status,
                  0);
        EXPECT_EQ(ReadLines(o + "again.txt"), page) << "reopened at page " << i + 1;
        ++reopened;
    }
    EXPECT_GT(reopened, 20);
}

// Paging back from End with the position bar shown, the page number changes at every step: a
// number counted down from the estimate is never shown twice for two pages.
TEST(ProgramPageNumbersGoingBack, NoNumberShowsTwiceInARow) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("plain.html", PlainParagraphsHtml());
    const std::string o = device.outside() + "/";
    constexpr int kSteps = 300;
    std::string steps = "idle\nmenu 40172\nidle\nkey 0x23\nidle\n";
    for (int i = 0; i < kSteps; ++i)
        steps += "screenshot " + o + "n" + std::to_string(i) + ".png\npagetext " + o + "t" +
                 std::to_string(i) + ".txt\nkey 0x21\nidle\n";
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("plain.html")}, steps + "quit\n").status, 0);
    // The number stands at the right end of the bar's strip, above the soft-key bar (at 294).
    auto numberDiffers = [](const Picture& a, const Picture& b) {
        for (int y = 276; y < 294; ++y)
            for (int x = 196; x < 240; ++x)
                if (a.At(x, y) != b.At(x, y)) return true;
        return false;
    };
    Picture previous = ReadPicture(o + "n0.png");
    ASSERT_EQ(previous.width, 240);
    int pages = 1;
    for (int i = 1; i < kSteps; ++i) {
        if (ReadLines(o + "t" + std::to_string(i) + ".txt") ==
            ReadLines(o + "t" + std::to_string(i - 1) + ".txt"))
            break;  // page 1: PageUp no longer moves
        const Picture shown = ReadPicture(o + "n" + std::to_string(i) + ".png");
        EXPECT_TRUE(numberDiffers(previous, shown)) << "PageUp " << i << " shows the number again";
        previous = shown;
        ++pages;
    }
    EXPECT_GT(pages, 100);
    EXPECT_LT(pages, kSteps);
}

// The position bar turned on over the book's cover: the first page of text is laid out above
// the bar, as it is with the bar shown before the book opens.
TEST(ProgramPositionBarRoom, ThePageLeavesTheBarsRoomWhenTheBarComesOnOverTheCover) {
    std::vector<std::uint8_t> pixels(120 * 160 * 3, 128);
    BookBuilder book;
    const std::string html = LongManualHtml();
    book.text.assign(html.begin(), html.end());
    book.fullName = "Covered";
    book.resources = {WriteJpeg(120, 160, 3, pixels, 90)};
    book.exth = {{Exth::kCoverOffset, std::vector<std::uint8_t>{0, 0, 0, 0}}};
    const Bytes bytes = book.Build();
    const std::string name = "\\storage\\eBooks\\covered.prc";
    for (const char* screen : {"240x320", "480x640@192"}) {
        const std::vector<std::string> env = {std::string("FOLIVANT_SCREEN=") + screen};
        // The first page of text after the bar comes on over the cover, and after it was on
        // before the book opened (turned on over the cover, then the book opened again).
        std::vector<std::string> pages[2];
        for (int k = 0; k < 2; ++k) {
            TempDevice device;
            ASSERT_TRUE(device.ok());
            device.WriteHost("storage/eBooks/covered.prc", std::string(bytes.begin(), bytes.end()));
            const std::string o = device.outside() + "/";
            const std::string show = "key 0x22\nidle\npagetext " + o + "page.txt\nquit\n";
            if (k == 1) {
                ASSERT_EQ(RunSteps(device, {name}, "idle\nmenu 40172\nidle\nquit\n", env).status,
                          0);
            }
            // Opened again, the book shows its first page of text at once; Home goes to it.
            ASSERT_EQ(RunSteps(device, {name},
                               k == 0 ? "idle\nmenu 40172\nidle\n" + show
                                      : "idle\nkey 0x24\nidle\npagetext " + o + "page.txt\nquit\n",
                               env)
                          .status,
                      0);
            pages[k] = ReadLines(o + "page.txt");
        }
        ASSERT_FALSE(pages[1].empty()) << screen;
        EXPECT_EQ(pages[0], pages[1]) << screen;
    }
}

}  // namespace
}  // namespace fvt::test
