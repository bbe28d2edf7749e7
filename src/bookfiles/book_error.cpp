#include "bookfiles/book_error.h"

const char* BookErrorMeaning(int code) {
    switch (code) {
        case kBookOk:
            return "no error";
        case kBookBadVersion:
            return "not a book of a known kind or version";
        case kBookRecordSize:
            return "text record size not supported";
        case kBookCorrupt:
            return "file corrupted";
        case kBookNotFound:
            return "file not found";
        case kBookNoMemory:
            return "not enough memory";
        case kBookNewerReader:
            return "a newer reader is needed";
        case kBookCannotOpen:
            return "file cannot be opened";
        default:
            return "unknown error";
    }
}
