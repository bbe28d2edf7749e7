// The book script's context, its actions' bridge and the databases it reaches.
#include "reader/book_scripting.h"

#include <memory>

#include "database/database_object.h"
#include "document/sources/loader_database_opener.h"
#include "document_upper/forms/form_list.h"
#include "reader/book_action_bridge.h"
#include "reader/book_actions.h"
#include "script/script_engine.h"

// The databases a book script opens by name, through the window's loader.
class BookScripting::Databases final : public LoaderDatabaseOpener {
public:
    using LoaderDatabaseOpener::LoaderDatabaseOpener;
};

BookScripting::BookScripting(BookScriptingHost& host, ScriptHeap* heap)
    : host_(host), heap_(heap) {}

BookScripting::~BookScripting() = default;

ScriptContext* BookScripting::Context() {
    if (!script_ && heap_) {
        if (!actions_) actions_ = host_.MakeActions();
        if (!databaseHost_) {
            databases_ = std::make_unique<Databases>(host_.Loader());
            databaseHost_ = std::make_unique<DatabaseScriptHost>(databases_.get());
            databaseHost_->SetQueryResource(host_.Book());
        }
        script_ = std::make_unique<ScriptContext>(heap_);
        if (!actions_ || !script_->Create()) {
            script_.reset();
            return nullptr;
        }
        // sql_execute, OpenDatabase and the TYPE_ constants; set before the face is entered,
        // which tells the database host the heap.
        actions_->SetDatabaseHost(databaseHost_.get());
        // The form list and the controller's script face, as the book's scripts address them.
        actions_->Script().SetContext(script_.get());
        if (!script_->Hosts().AppendObject(&host_.ScriptForms(), 0) ||
            !script_->Hosts().AppendObject(&actions_->Script(), 1)) {
            script_.reset();
            return nullptr;
        }
        if (TimerList* timers = host_.ScriptTimers())
            ScriptGlobal::SetTimerOwner(script_.get(), timers, host_.TimerOwner());
    }
    return script_.get();
}

BookActionBridge* BookScripting::Actions() {
    Context();
    return script_ ? actions_.get() : nullptr;
}

bool BookScripting::PerformAction(const LinkTarget* target, uint32_t argument) {
    BookActionBridge* actions = target ? Actions() : nullptr;
    return actions && ::PerformAction(target, *actions, argument, nullptr);
}

void BookScripting::SetQueryResource(Resource* document) {
    if (databaseHost_) databaseHost_->SetQueryResource(document);
}

void BookScripting::ForgetBook() {
    if (!script_) return;
    ScriptGlobal::ClearHandlers(script_.get());
    script_->ClearGlobal();
}

void BookScripting::Shutdown() {
    if (script_) ScriptGlobal::ClearHandlers(script_.get());
    script_.reset();
    actions_.reset();
    databaseHost_.reset();
    databases_.reset();
}
