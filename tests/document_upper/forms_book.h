// A book with a "forms" table, built where the fixture writers' names do not meet the
// document model's headers.
#pragma once

#include <cstdint>
#include <vector>

// Form "order": text 100-200, action "result.htm", method "POST", encoding "XML", persistent;
// position entry "150" linking to it; field "order.qty" (text, id 160, value "5"); a form
// "broken" whose texts point outside the table.
std::vector<uint8_t> FormsBook();
