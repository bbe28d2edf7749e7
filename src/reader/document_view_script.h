// The document view's script face: the host object a book's scripts address as `window`,
// `document`, `location` and the other reader objects. Member paths select an object kind;
// method calls become command records run against the document controller (BookActionHost);
// `sql_execute`, `OpenDatabase` and the TYPE_ constants go to the database host. The controller
// owns one and answers through it.
#pragma once

#include <cstdint>

#include "reader/book_actions.h"
#include "script/script_plain_object.h"

class ScriptContext;

// The reads a script makes of the controller, beside the operations of BookActionHost.
class DocumentScriptHost : public BookActionHost {
public:
    // The selection's text and language name, or those of the last looked-up word.
    virtual bool GetSelectionOrLastWord(String&, String&) { return false; }
    // The current document's "oeb:" location and its query part; false without a document.
    virtual bool CurrentLocationText(String&, String&) { return false; }
    virtual int32_t HistoryPosition() { return 0; }
    // Moves where a link to '#' and the name goes (the name may start with '#' itself).
    virtual bool GoToReference(const String&) { return false; }
    // Message 5037 "Error while parsing script" for a widget handler that does not compile.
    virtual void ShowScriptError() {}

protected:
    ~DocumentScriptHost() = default;
};

class DocumentViewScript : public ScriptReaderObject {
public:
    // database: the host of sql_execute and OpenDatabase (may be null: they are then unknown).
    DocumentViewScript(DocumentScriptHost* host, ScriptObject* database)
        : host_(host), database_(database) {}

    void SetDatabaseHost(ScriptObject* database) { database_ = database; }

    int Kind() override { return ScriptKinds::kController; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

    // Whether a method id may be called on an object kind (25 when none was named).
    static bool MethodAllowed(uint32_t method, uint32_t kind);
    // Whether an object name may follow the selected kind (-1: at the start of a path).
    static bool ObjectAllowed(int32_t selected, uint32_t object);

private:
    int BuildRecord(ScriptHeap* heap, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
                    CommandRecord& record);

    DocumentScriptHost* host_;
    ScriptObject* database_;
};

// Runs a form widget's handler text with `this` bound to the widget and a fresh event object.
// While it runs the history mode is 2 (unless already set), put back afterwards while the
// controller lives. The handler's result goes into *result as text (emptied on failure).
// 0 on success, 11 when the text does not compile (the host shows the error once), else the
// run's error.
int DispatchWidgetEvent(DocumentScriptHost& host, ScriptContext* context, ScriptObject* widget,
                        const String& handler, String* result);
