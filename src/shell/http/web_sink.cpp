#include "shell/http/web_sink.h"

void TempFileSink::Begin(uint32_t) {
    // A sink used again starts a new file: nothing of the last body may remain.
    file_.Close();
    file_.CreateTemp();
    result_ = 0xFFFFFFFF;
}

uint32_t TempFileSink::Write(const uint8_t* bytes, uint32_t count) {
    return file_.IsOpen() ? file_.Write(bytes, count) : 0;
}

bool TempFileSink::Rewind() {
    return file_.IsOpen() && file_.Seek(0);
}
