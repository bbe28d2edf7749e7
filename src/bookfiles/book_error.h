// Result codes of opening Palm databases and books. 0 is success.
#pragma once

enum BookError : int {
    kBookOk = 0,
    kBookBadVersion = 1,  // not a book this reader knows (type, creator, header version)
    kBookRecordSize = 2,  // text records of a size other than 4096 bytes
    kBookCorrupt = 10,    // the file is damaged
    kBookNotFound = 11,   // the file (or the record source) is missing
    kBookNoMemory = 12,
    kBookNewerReader = 13,  // compression, encryption or reader version this reader lacks
    kBookCannotOpen = 14,   // the file exists but cannot be opened, or holds no records
};

// A short English meaning of a code, for diagnostics.
const char* BookErrorMeaning(int code);
