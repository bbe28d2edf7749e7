// Where a name given after '#' in a link lies in a markup document: the first start tag whose
// NAME or ID attribute is exactly that name (names are case-sensitive, as in links).
#pragma once

#include <cstdint>

class DocumentSource;
class String;

bool FindAnchorName(DocumentSource* source, const String& name, uint32_t& position);
