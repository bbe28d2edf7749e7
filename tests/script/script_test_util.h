// Shared helpers of the script tests: run a text with print() and collect what it printed.
#pragma once

#include <string>

#include "script/script_engine.h"
#include "support/script/print_host.h"

inline std::u16string U(const std::string& s) {
    return PrintHost::FromUtf8(s);
}
inline std::string A(const std::u16string& s) {
    return PrintHost::ToUtf8(s);
}

struct ScriptRun {
    ScriptHeap heap;
    std::string out;
    PrintHost printer{&out};
    ScriptContext context{&heap};
    ScriptError err;
    int rc = 0;
    std::string result;  // text of the run's result

    ScriptRun() { context.Hosts().AppendObject(&printer, 0); }

    // Compiles and runs; false on a syntax error (rc 11).
    bool Run(const std::string& text, ScriptValue thisValue = ScriptValues::kUndefined) {
        ScriptCode unit;
        if (!ScriptEngine::CompileText(U(text), &unit, u"test", &err)) {
            rc = ScriptErrors::kSyntax;
            return false;
        }
        ScriptValue r = ScriptValues::kUndefined;
        rc = ScriptEngine::Run(&context, &unit, nullptr, thisValue, &r, &err);
        std::u16string t;
        heap.ToText(r, &t);
        result = A(t);
        heap.Release(r);
        return true;
    }
    // Runs and answers what print() wrote, lines joined with '|'.
    std::string Printed(const std::string& text) {
        out.clear();
        Run(text);
        return PrintHost::JoinLines(out);
    }
    std::string Message() const { return err.MessageUtf8(); }
};
