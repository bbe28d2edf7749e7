#include "lookup_books.h"

#include "support/bookfiles/index_fixture.h"

namespace fvt::test {

std::string DictionaryBook(const std::vector<std::pair<std::u16string, std::string>>& words,
                           std::uint32_t input, std::uint32_t output, bool entryText) {
    DictionarySpec spec;
    spec.input = input;
    spec.output = output;
    spec.words = words;
    spec.forms = {{u"mice", u"mouse"}};
    spec.entryText = entryText;
    const Bytes bytes = ::DictionaryBook(spec);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace fvt::test
