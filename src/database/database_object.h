// Databases as scripts see them: the "Database" object (kind 5), where databases are opened
// from, and the host that answers OpenDatabase(name), sql_execute(query) and the TYPE_*
// constants.
#pragma once

#include <string>
#include <vector>

#include "database/database.h"
#include "script/script_object.h"

class ScriptHeap;

// Opens databases by name, one object per file (so that windows and scripts share it).
class DatabaseOpener {
public:
    // The database of that name (a new reference), or null when the name holds no letter or
    // digit or the file cannot be read.
    virtual Database* OpenDatabase(const String& name) = 0;

protected:
    ~DatabaseOpener() = default;
};

// The databases of one folder: "<folder>\<stem>.ebase". A missing file gives a new, empty
// database bound to that path (saved on demand); open databases are kept in a cache that
// forgets each one when it goes.
class FolderDatabaseOpener : public DatabaseOpener, public ResourceCache {
public:
    explicit FolderDatabaseOpener(const std::string& folder) : folder_(folder) {}
    ~FolderDatabaseOpener();
    Database* OpenDatabase(const String& name) override;
    void RemoveCached(Resource* resource) override;
    // The code of the last failed open (0 when none).
    int LastError() const { return lastError_; }

private:
    std::string folder_;
    std::vector<Database*> cache_;  // no references held
    int lastError_ = 0;
};

class DatabaseObject : public ScriptObject {
public:
    static constexpr int kKind = 5;

    // Holds a reference to the database.
    explicit DatabaseObject(Database* db);
    ~DatabaseObject() override;
    Database* Get() const { return db_.Get(); }

    // Hands a new object to a script; the heap value owns it and deletes it when it goes.
    static int ToScript(DatabaseObject* object, ScriptHeap* heap, ScriptValue* out);

    int Kind() override { return kKind; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    int DefaultValue(int* err, ScriptHeap* heap, int hint, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

private:
    TableRef db_;
    ScriptHeap* heap_ = nullptr;
};

// Answers OpenDatabase(name) through an opener, sql_execute(query) over the query resource,
// and TYPE_STRING, TYPE_POOLED_STRING, TYPE_UBYTE, TYPE_UINT (0, 6, 5, 2). The reader's own host
// object forwards to it.
class DatabaseScriptHost : public ScriptObject {
public:
    explicit DatabaseScriptHost(DatabaseOpener* opener) : opener_(opener) {}
    ~DatabaseScriptHost() override;
    // The document whose index tables sql_execute queries (the book the script runs in); the
    // host keeps a reference until another is set. Null: every table is unknown.
    void SetQueryResource(Resource* resource);
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

private:
    int Execute(int argc, const ScriptValue* stack, ScriptValue* result);

    DatabaseOpener* opener_;
    RefPtr<Resource> queryResource_;
    ScriptHeap* heap_ = nullptr;
};
