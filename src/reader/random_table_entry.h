// A random entry of a book's index table, apart from the layout headers (the index reader's
// match type and the link target's share a name).
#pragma once

#include <cstdint>

class Random;
class Resource;
class String;

// The text position of a random entry of the table the designation names ("table=" + name,
// "special_table=default"); -1 when the table is missing or empty or the entry has no place.
int64_t RandomTablePosition(Resource* book, const String& designation, Random& random);
