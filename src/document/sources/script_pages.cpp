#include "document/sources/script_pages.h"

#include <new>
#include <string>

#include "bookfiles/document_source.h"
#include "core/text.h"
#include "document/location/location.h"
#include "document/markup/html_tokenizer.h"
#include "document/sources/generated_page.h"
#include "document/sources/interaction_pages.h"
#include "document/sources/layout_services.h"
#include "script/script_engine.h"
#include "script/script_names.h"

using namespace ScriptNames::Ids;

namespace {

// Same-page redirects run the page again at most this many times.
constexpr uint32_t kMaxReruns = 16;

bool Append(String& s, const char* ascii) {
    return s.AppendAscii(ascii);
}

int32_t Find(const String& text, const char16_t* what, int32_t from) {
    int32_t at = text.Find(what, 2, from);
    return at < text.Length() ? at : -1;
}

// The text of [start, end) of the source; false when a page cannot be read.
bool ReadRange(DocumentSource* source, uint32_t start, uint32_t end, String& out) {
    for (uint32_t pos = start; pos < end;) {
        PageBuffer page;
        if (!source->ReadPage(pos, page, 0, 0)) return pos >= source->GetLength();
        uint32_t from = pos - page.start;
        uint32_t upto = page.length;
        if (uint64_t(page.start) + upto > end) upto = end - page.start;
        bool ok = from < upto ? out.AppendChars(page.text + from, static_cast<int32_t>(upto - from))
                              : from <= upto;
        uint32_t next = page.start + page.length;
        source->ReleasePage(page.pageId);
        if (!ok || next <= pos) return false;
        pos = next;
    }
    return true;
}

// The text with its anchor, cut at the first '?'.
String WithoutQuery(const Location& location) {
    String text, cut;
    location.ToStringWithAnchor(text);
    cut.AssignSub(text, 0, text.IndexOf(u'?'));
    return cut;
}

class OutputProducer : public PageProducer {
public:
    explicit OutputProducer(std::vector<String>& output) { output_.swap(output); }
    const String& GetTitle() override { return title_; }
    bool Produce(std::vector<String>& chunks) override {
        for (String& s : output_) chunks.push_back(s);
        output_.clear();
        return false;
    }

private:
    std::vector<String> output_;
    String title_;
};

}  // namespace

// ---------------------------------------------------------------- ScriptPageCompiler

bool ScriptPageCompiler::Compile(DocumentSource* source, uint32_t /*mode*/, uint32_t start,
                                 uint32_t end) {
    if (!source || end == 0xFFFFFFFFu || end < start) return false;
    String text;
    if (!ReadRange(source, start, end, text)) return false;
    return CompileText(text);
}

bool ScriptPageCompiler::CompileText(const String& text) {
    bool inBlock = false;
    int32_t i = 0;
    while (i < text.Length()) {
        int32_t j = Find(text, inBlock ? u"%>" : u"<%", i);
        if (inBlock && j < 0) return false;  // the input ends inside a block
        String piece;
        piece.AssignSub(text, i, (j < 0 ? text.Length() : j) - i);
        bool ok = inBlock ? ReadBlock(piece) : EmitLiteral(piece);
        if (!ok) return false;
        if (j < 0) break;
        i = j + 2;
        inBlock = !inBlock;
    }
    return !inBlock && accepted_;
}

bool ScriptPageCompiler::EmitLiteral(const String& literal) {
    try {
        literals_.push_back(literal);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!Append(script_, "Response.Write (__litteralstr ") ||
        !script_.AppendUnsigned(literals_.size() - 1, 10) || !Append(script_, ");"))
        return false;
    // One CR LF per line break, so that script lines are the page's lines.
    int32_t breaks = literal.CountChar(u'\n');
    while (breaks > 0) {
        int32_t run = breaks < int32_t(kMaxPairRun) ? breaks : int32_t(kMaxPairRun);
        for (int32_t k = 0; k < run; ++k)
            if (!Append(script_, "\r\n")) return false;
        breaks -= run;
    }
    return true;
}

bool ScriptPageCompiler::ReadBlock(const String& block) {
    if (!accepted_) {
        String trimmed = block;
        trimmed.Trim(true, true);
        if (!trimmed.EqualsAscii("@Language=Javascript")) return false;
        accepted_ = true;
        return true;
    }
    String left = block;
    left.Trim(true, false);
    if (left.Length() > 0 && left[0] == u'=') {
        // "=expr" writes the expression's value.
        String expression = block;
        int32_t eq = expression.IndexOf(u'=');
        expression.Replace(eq, 1, u" ", 1);
        return Append(script_, "Response.Write (") && script_.Append(expression) &&
               Append(script_, ");");
    }
    return script_.Append(block);
}

// ---------------------------------------------------------------- ScriptPageHost

void ScriptPageHost::Start(const String& location, const String& query) {
    location_ = location;
    query_.Release();
    query_.AppendChar(u'&');
    query_.Append(query);
    ended_ = kRunning;
    redirect_.Release();
    output_.clear();
    sinceFlush_ = 0;
}

void ScriptPageHost::Write(const String& text) {
    if (ended_ == kOutOfMemory || text.Length() == 0) return;
    if (sinceFlush_ > kFlushEvery) sinceFlush_ = 0;
    try {
        output_.push_back(text);
    } catch (const std::bad_alloc&) {
        ended_ = kOutOfMemory;
        return;
    }
    sinceFlush_ += static_cast<uint32_t>(text.Length());
}

void ScriptPageHost::ReportError(const String& message) {
    // A page is shown from its BODY on: the report's own BODY would hide what the page wrote
    // before it when the page opened none. The report then follows that text (a head the page
    // wrote is closed by a BODY of the report's).
    String written;
    for (const String& piece : output_) written.Append(piece);
    written.ToLower();
    const auto has = [&written](const char16_t* tag) {
        const int32_t n = static_cast<int32_t>(std::char_traits<char16_t>::length(tag));
        return written.Find(tag, n) < written.Length();
    };
    String report, html;
    if (written.IsEmpty() || has(u"<body"))
        Append(report, "><html><body></table>");
    else if (has(u"<html") || has(u"<head"))
        Append(report, "><body></table>");
    else
        Append(report, "></table>");
    if (PageText::HtmlEncode(message, html)) report.Append(html);
    Append(report, "<br/><b>Script</b>: ");
    if (PageText::HtmlEncode(location_, html)) report.Append(html);
    Write(report);
}

int ScriptPageHost::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    if (ref->index == -1) {
        switch (name.id) {
            case kResponse:
            case kServer:
            case kRequest:
            case kSession:
            case kFrameset:
                ref->index = name.id;
                return Done(err, 0);
            default: return Done(err, ScriptErrors::kMemberUnknown);
        }
    }
    bool known = false;
    switch (ref->index) {
        case kResponse:
            known = name.id == kWrite || name.id == kEnd || name.id == kRedirect ||
                    name.id == kFlush || name.id == kAppendToLog || name.id == kAddHeader ||
                    name.id == kClear || name.id == kBuffer || name.id == kContentType ||
                    name.id == kStatus;
            break;
        case kRequest: known = name.id == kQueryString || name.id == kServerVariables; break;
        case kServer:
            known = name.id == kHtmlEncode || name.id == kUrlEncode || name.id == kScriptTimeout;
            break;
        case kSession:
            known = name.id == kContents || name.id == kTimeout || name.id == kSessionId ||
                    name.id == kCodePage || name.id == kLcid;
            break;
        case kFrameset: known = name.id == kUse; break;
        default: break;
    }
    if (!known) return Done(err, ScriptErrors::kMemberUnknown);
    ref->object = this;
    ref->code = name.id;
    return Done(err, 0);
}

int ScriptPageHost::Text(const ScriptValue& value, String& out) {
    std::u16string t;
    if (!heap_) return ScriptErrors::kInvalidType;
    int rc = heap_->ToText(value, &t);
    if (rc != 0) return rc;
    return out.AssignChars(t.data(), static_cast<int32_t>(t.size())) ? 0
                                                                     : ScriptErrors::kOutOfMemory;
}

int ScriptPageHost::ReturnString(const String& text, ScriptValue* result) {
    return heap_ ? heap_->NewString(text, result) : ScriptErrors::kInvalidType;
}

int ScriptPageHost::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
                         ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    auto count = [&](int n) { return argc == n ? 0 : ScriptErrors::kBadParameterCount; };
    String text;
    int rc = 0;
    switch (ref->code) {
        case kWrite:
            if ((rc = count(1)) == 0 && (rc = Text(stack[0], text)) == 0) Write(text);
            if (ended_ == kOutOfMemory) rc = ScriptErrors::kOutOfMemory;
            return Done(err, rc);
        case kEnd:
            if ((rc = count(0)) != 0) return Done(err, rc);
            ended_ = kEnded;
            return Done(err, ScriptErrors::kStopped);
        case kRedirect:
            if ((rc = count(1)) != 0 || (rc = Text(stack[0], redirect_)) != 0) return Done(err, rc);
            ended_ = kRedirected;
            return Done(err, ScriptErrors::kStopped);
        case kFlush: sinceFlush_ = 0; return Done(err, 0);
        case kAppendToLog: return Done(err, count(1));
        case kAddHeader: return Done(err, count(2));
        case kClear: output_.clear(); return Done(err, 0);
        case kQueryString: {
            if ((rc = count(1)) != 0 || (rc = Text(stack[0], text)) != 0) return Done(err, rc);
            String key, value;
            if (!key.AppendChar(u'&') || !text.UriEscape(true, true) || !key.Append(text) ||
                !key.AppendChar(u'='))
                return Done(err, ScriptErrors::kOutOfMemory);
            int32_t at = query_.Find(key);
            if (at < query_.Length()) {
                int32_t from = at + key.Length();
                int32_t to = query_.IndexOf(u'&', from);
                value.AssignSub(query_, from, to - from);
                String decoded = value;
                if (decoded.UriEscape(false, true)) value = decoded;
            }
            return Done(err, ReturnString(value, result));
        }
        case kServerVariables: return Done(err, ReturnString(String(), result));
        case kHtmlEncode: {
            String html;
            if ((rc = count(1)) != 0 || (rc = Text(stack[0], text)) != 0) return Done(err, rc);
            if (!PageText::HtmlEncode(text, html)) return Done(err, ScriptErrors::kOutOfMemory);
            return Done(err, ReturnString(html, result));
        }
        case kUrlEncode:
            if ((rc = count(1)) != 0 || (rc = Text(stack[0], text)) != 0) return Done(err, rc);
            if (!text.UriEscape(true, true)) return Done(err, ScriptErrors::kOutOfMemory);
            return Done(err, ReturnString(text, result));
        case kContents:
            // The session keeps no values between pages.
            return Done(err, count(1));
        case kUse:
            if ((rc = count(1)) != 0 || (rc = Text(stack[0], frameset_)) != 0) return Done(err, rc);
            return Done(err, 0);
        default: return Done(err, ScriptErrors::kInvalidType);
    }
}

int ScriptPageHost::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                             ScriptValue* result) {
    switch (ref->code) {
        case kBuffer: *result = ScriptValues::kTrue; return Done(err, 0);
        case kContentType: return Done(err, heap->NewStringAscii("text/html", result));
        case kStatus: return Done(err, heap->NewNumber(1, result));
        case kScriptTimeout:
        case kTimeout:
        case kSessionId:
        case kCodePage:
        case kLcid: return Done(err, heap->NewNumber(0, result));
        default: return Done(err, ScriptErrors::kCannotGet);
    }
}

// ---------------------------------------------------------------- ScriptPageResource

ScriptPageResource::ScriptPageResource(std::unique_ptr<GeneratedPage> page, Resource* container)
    : page_(std::move(page)), container_(container) {}

ScriptPageResource::~ScriptPageResource() = default;

DocumentSource* ScriptPageResource::GetDocument() {
    return page_.get();
}

bool ScriptPageResource::CreateLayout(TokenSource*& source, PageLayout** layout) {
    auto* tokenizer = new (std::nothrow) HtmlTokenizer(true);
    if (tokenizer) {
        tokenizer->SetTableNeedsInline(false);
        tokenizer->SetNoNestedTable(false);
    }
    return LayoutEngineFactory::FinishLayout(tokenizer, page_.get(), nullptr, true, source, layout);
}

void ScriptPageResource::DestroyLayout(TokenSource* source, PageLayout* layout) {
    LayoutEngineFactory::DestroyLayout(source, layout);
}

// ---------------------------------------------------------------- serving

namespace {

// The unit from the page's source: compiled from text, or read back when serialised.
// 0, or the error code; `syntax` gets a script that did not compile (the page still runs its
// report).
int PrepareUnit(DocumentSource* source, uint32_t kind, uint32_t start, uint32_t end,
                ScriptCode& unit, ScriptError& err, bool& syntax) {
    syntax = false;
    if (kind == ScriptPages::kPageText) {
        ScriptPageCompiler compiler;
        if (!compiler.Compile(source, 0, start, end)) return ScriptPages::kCompileOrRun;
        for (const String& literal : compiler.Literals())
            if (unit.AddString(literal, true) < 0) return ScriptErrors::kOutOfMemory;
        const String& script = compiler.GetScript();
        if (!ScriptEngine::Compile(script.Data(), static_cast<uint32_t>(script.Length()), &unit,
                                   &err))
            syntax = true;
        return 0;
    }
    if (kind != ScriptPages::kPageUnit) return ScriptErrors::kUnitUnknownSource;
    if (end == 0xFFFFFFFFu || end < start) return ScriptErrors::kUnitUnreadable;
    int rc = ScriptCode::kReadIncomplete;
    for (uint32_t pos = start; pos < end && rc == ScriptCode::kReadIncomplete;) {
        PageBuffer page;
        if (!source->ReadPage(pos, page, 0, 0)) return ScriptErrors::kUnitUnreadable;
        uint32_t from = pos - page.start;
        uint32_t upto = uint64_t(page.start) + page.length > end ? end - page.start : page.length;
        rc = from < upto ? unit.Read(page.text + from, upto - from) : rc;
        uint32_t next = page.start + page.length;
        source->ReleasePage(page.pageId);
        if (next <= pos) return ScriptErrors::kUnitUnreadable;
        pos = next;
    }
    if (rc == ScriptCode::kReadIncomplete) return ScriptErrors::kUnitIncomplete;
    return rc;
}

}  // namespace

Resource* ScriptPages::ServeScriptPage(Resource* container, Location& location,
                                       uint32_t sourceKind, uint32_t start, uint32_t end,
                                       bool& redirected, int& error) {
    redirected = false;
    error = 0;
    DocumentSource* source = container ? container->GetDocument() : nullptr;
    if (!source) {
        error = ScriptErrors::kUnitUnknownSource;
        return nullptr;
    }
    ScriptCode unit;
    ScriptError compileError;
    bool syntax = false;
    error = PrepareUnit(source, sourceKind, start, end, unit, compileError, syntax);
    if (error != 0) return nullptr;

    ScriptPageHost host;
    for (uint32_t run = 0;; ++run) {
        String text, query;
        location.ToStringWithAnchor(text);
        location.GetQuery(query, false);
        host.Start(text, query);
        ScriptError err = compileError;
        int rc = ScriptErrors::kSyntax;
        if (!syntax) {
            ScriptHeap heap;
            rc = ScriptEngine::RunWithHost(&heap, &unit, &host, nullptr, &err);
        }
        if (host.Ended() == ScriptPageHost::kRedirected) {
            redirected = true;
            Location target;
            if (target.ResolveAgainst(host.RedirectTarget(), location)) {
                bool same = WithoutQuery(target) == WithoutQuery(location);
                location.CopyFrom(target);
                if (!same) return nullptr;
                if (run < kMaxReruns) continue;
                err.Clear();
                err.message = u"Error: Too many redirects";
            } else {
                // A target that does not resolve is the script's fault: the page stays.
                err.Clear();
                err.message = u"Error: Bad redirect: ";
                err.message.append(host.RedirectTarget().Data(),
                                   static_cast<size_t>(host.RedirectTarget().Length()));
            }
            rc = ScriptPages::kCompileOrRun;
        }
        if (host.Ended() == ScriptPageHost::kOutOfMemory) {
            error = ScriptErrors::kOutOfMemory;
        } else if (rc != 0 && rc != ScriptErrors::kStopped) {
            error = ScriptPages::kCompileOrRun;
            String message;
            err.MessageString(&message);
            host.ReportError(message);
        }
        break;
    }
    std::unique_ptr<GeneratedPage> page(GeneratedPage::Create());
    OutputProducer* producer = page ? new (std::nothrow) OutputProducer(host.Output()) : nullptr;
    if (!producer) {
        error = ScriptErrors::kOutOfMemory;
        return nullptr;
    }
    page->Attach(producer, source, true);
    auto* resource = new (std::nothrow) ScriptPageResource(std::move(page), container);
    if (!resource) error = ScriptErrors::kOutOfMemory;
    return resource;
}
