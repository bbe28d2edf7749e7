// Table databases. For now only the naming rule of database files, which locations need.
#pragma once

#include "core/string.h"

class Database {
public:
    // The file stem of a database name: ASCII letters and digits kept, every other character
    // replaced by '_', at most the first 32 characters. Non-zero (and an empty stem) when the
    // name holds no letter or digit.
    static int MakeFileStem(const String& name, String& stem);
};
