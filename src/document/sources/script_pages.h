// Server-side script pages: HTML with "<%" ... "%>" blocks whose first block is the directive
// "@Language=Javascript". A page is compiled into one script (literal text is written through
// string constants, never quoted into the source), run with the Response, Request, Server,
// Session and Frameset objects, and what it writes becomes a generated page. A failing script
// still gives a page, ending in an error report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/string.h"
#include "database/resource.h"
#include "script/script_object.h"

class DocumentSource;
class GeneratedPage;
class Location;
class ScriptCode;
class ScriptHeap;

// Turns page text into script text and its literals.
class ScriptPageCompiler {
public:
    static constexpr uint32_t kMaxPairRun = 14;

    // The page from start to end (positions of the source). True when it compiled: the
    // directive came first and no block was left open. A page without the directive does not
    // compile, whether or not its text ran to the end position.
    bool Compile(DocumentSource* source, uint32_t mode, uint32_t start, uint32_t end);
    // The same over text in memory.
    bool CompileText(const String& text);
    bool ReadBlock(const String& block);
    bool EmitLiteral(const String& literal);

    const String& GetScript() const { return script_; }
    const std::vector<String>& Literals() const { return literals_; }
    bool LanguageAccepted() const { return accepted_; }

private:
    bool accepted_ = false;
    String script_;
    std::vector<String> literals_;
};

// The objects a running page sees. One per page run.
class ScriptPageHost : public ScriptObject {
public:
    enum EndedState : uint32_t { kRunning = 0, kEnded = 1, kRedirected = 2, kOutOfMemory = 3 };
    static constexpr uint32_t kFlushEvery = 2048;

    // The page's location text and its query (without the '?').
    void Start(const String& location, const String& query);
    void Write(const String& text);
    // Appends the error report: the message and the page's location, both as HTML text.
    void ReportError(const String& message);

    uint32_t Ended() const { return ended_; }
    const String& RedirectTarget() const { return redirect_; }
    const String& FramesetName() const { return frameset_; }
    std::vector<String>& Output() { return output_; }

    int Kind() override { return ScriptKinds::kPageHost; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override { heap_ = event == 0 ? heap : nullptr; }

private:
    int Text(const ScriptValue& value, String& out);
    int ReturnString(const String& text, ScriptValue* result);

    ScriptHeap* heap_ = nullptr;
    uint32_t ended_ = kRunning;
    String redirect_;
    String location_;
    String query_;  // '&' + the location's query
    String frameset_;
    uint32_t sinceFlush_ = 0;
    std::vector<String> output_;
};

// The resource of a served page: its generated page over the document it came from.
class ScriptPageResource : public Resource {
public:
    ScriptPageResource(std::unique_ptr<GeneratedPage> page, Resource* container);
    bool IsBinary() override { return false; }
    DataHandle* OpenDataByIndex(int32_t, const DbValue*) override { return nullptr; }
    DocumentSource* GetDocument() override;
    bool CreateLayout(TokenSource*& source, PageLayout** layout) override;
    void DestroyLayout(TokenSource* source, PageLayout* layout) override;
    uint32_t GetKind() override { return 0; }

protected:
    ~ScriptPageResource() override;

private:
    std::unique_ptr<GeneratedPage> page_;
    RefPtr<Resource> container_;
};

namespace ScriptPages {
// Source kinds of a page inside a book: its text, or a serialised code unit.
constexpr uint32_t kPageText = 2;
constexpr uint32_t kPageUnit = 3;
// Error codes: 0, 1 out of memory, 11 did not compile or run, 15 another kind of source, 16 a
// page that cannot be read, 17 a corrupt unit, 18 a unit still incomplete.
constexpr int kCompileOrRun = 11;

// Compiles and runs the page kept in [start, end) of the container's document, at the
// location. A run that redirected to the same page (the texts before '?' equal) runs again, at
// most a bounded number of times; a redirect elsewhere rewrites the location, sets redirected
// and gives no resource. error gets the code.
Resource* ServeScriptPage(Resource* container, Location& location, uint32_t sourceKind,
                          uint32_t start, uint32_t end, bool& redirected, int& error);
}  // namespace ScriptPages
