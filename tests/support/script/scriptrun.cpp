// scriptrun FILE: compiles and runs a script file with a global print(value); a syntax or
// run-time error prints its message and line to standard error and exits with status 1.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "script/script_engine.h"
#include "support/script/print_host.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: scriptrun FILE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "scriptrun: cannot read %s\n", argv[1]);
        return 2;
    }
    std::stringstream buf;
    buf << in.rdbuf();
    std::u16string text = PrintHost::FromUtf8(buf.str());
    ScriptHeap heap;
    PrintHost host;
    ScriptContext context(&heap);
    context.Hosts().AppendObject(&host, 0);
    ScriptCode unit;
    ScriptError err;
    std::u16string name = PrintHost::FromUtf8(argv[1]);
    if (!ScriptEngine::CompileText(text, &unit, name, &err)) {
        std::fprintf(stderr, "%s\n", err.MessageUtf8().c_str());
        return 1;
    }
    ScriptValue result;
    int rc = ScriptEngine::Run(&context, &unit, nullptr, ScriptValues::kUndefined, &result, &err);
    std::fflush(stdout);
    if (rc && rc != ScriptErrors::kStopped) {
        std::fprintf(stderr, "%s\n", err.MessageUtf8().c_str());
        return 1;
    }
    heap.Release(result);
    return 0;
}
