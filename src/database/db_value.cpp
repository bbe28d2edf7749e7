#include "database/db_value.h"

void DbValue::Init() {
    text.Release();
    flags = 0;
    type = kEmpty;
    number1 = 0;
    number2 = 0;
}

void DbValue::Copy(const DbValue& other) {
    if (this == &other) return;
    text.Assign(other.text);
    flags = other.flags;
    type = other.type;
    number1 = other.number1;
    number2 = other.number2;
}
