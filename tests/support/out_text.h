// Texts handed out as a pointer with their length in an out-parameter. Writing
// `std::u16string(GetText(&n), n)` reads `n` in the argument list of the call that sets it,
// and the order in which arguments are evaluated is unspecified (g++ reads `n` first). These
// call the getter first and read the length after.
//   TextOf(file, &AnnotationFile::GetAuthor)
//   TextOf(file, &AnnotationFile::GetBookmarkText, index)
//   TextOf([&](std::uint32_t* n) { return store.GetText(64, n); })
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace fvt::test {

// "<null>" when the getter hands out no text.
template <class Getter>
std::u16string TextOf(Getter&& get) {
    std::uint32_t n = 0;
    const char16_t* p = std::forward<Getter>(get)(&n);
    return p ? std::u16string(p, n) : std::u16string(u"<null>");
}

// A member getter whose last parameter is the length; `args` come before it.
template <class Object, class Member, class... Args>
std::u16string TextOf(const Object& object, Member member, Args... args) {
    return TextOf([&](std::uint32_t* n) { return (object.*member)(args..., n); });
}

}  // namespace fvt::test
