// The book script of a controller: its context over the window's script heap (made on first
// use), the bridge book actions and scripts reach the controller and the reader through, and the
// databases sql_execute and OpenDatabase reach (through the window's loader, and the tables of
// the document shown). What it needs of the controller goes through BookScriptingHost.
#pragma once

#include <cstdint>
#include <memory>

class BookActionBridge;
class DatabaseScriptHost;
class DocumentLoader;
class FormList;
class LinkTarget;
class Resource;
class ScriptContext;
class ScriptHeap;
class TimerList;

class BookScriptingHost {
public:
    // The bridge the actions act through, made once with the context; null when it cannot be
    // made.
    virtual std::unique_ptr<BookActionBridge> MakeActions() = 0;
    // The window's timer list the script's timers run on, and the object they belong to (the
    // timers of a controller that goes are dropped with it); null timers outside a window.
    virtual TimerList* ScriptTimers() = 0;
    virtual void* TimerOwner() = 0;
    virtual DocumentLoader* Loader() = 0;
    // The book shown; null without one.
    virtual Resource* Book() = 0;
    // The form list, the script's first host object.
    virtual FormList& ScriptForms() = 0;

protected:
    ~BookScriptingHost() = default;
};

class BookScripting {
public:
    BookScripting(BookScriptingHost& host, ScriptHeap* heap);
    ~BookScripting();
    BookScripting(const BookScripting&) = delete;
    BookScripting& operator=(const BookScripting&) = delete;

    ScriptHeap* Heap() const { return heap_; }
    // The context, made on first use; null without a heap or when it cannot be made.
    ScriptContext* Context();
    // The context if it was made; null otherwise.
    ScriptContext* Made() const { return script_.get(); }
    // The actions' bridge; null without a context.
    BookActionBridge* Actions();
    // Runs a link's book action (an action object) with an argument; false without one.
    bool PerformAction(const LinkTarget* target, uint32_t argument);
    // The script's queries read the tables of this document (null: none).
    void SetQueryResource(Resource* document);
    // The script forgets the book: its timers stop and its globals go.
    void ForgetBook();
    // The context goes, then what its host objects stand on.
    void Shutdown();

private:
    class Databases;

    BookScriptingHost& host_;
    ScriptHeap* heap_ = nullptr;
    // Before the context, which goes first while its host objects still stand.
    std::unique_ptr<Databases> databases_;
    std::unique_ptr<DatabaseScriptHost> databaseHost_;
    std::unique_ptr<BookActionBridge> actions_;
    std::unique_ptr<ScriptContext> script_;
};
