// A plug-in for the module tests: calls back into the layer through its C exports.
#include "platform/kernel/kernel_sync.h"

extern "C" int plugin_answer() {
    return 42;
}

extern "C" int plugin_signal(HANDLE event) {
    return EventModify(event, EVENT_SET) ? 1 : 0;
}
