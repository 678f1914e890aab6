#pragma once
#include "tqcore/wtext.h"
// The fixed texts every sink writes.
namespace tqcore::outtext {

inline constexpr unsigned short kByteOrderMark[] = {0xFEFF, 0};
inline constexpr char16_t kDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
inline constexpr unsigned int kDeclarationChars = sizeof(kDeclaration) / sizeof(char16_t) - 1;
inline constexpr char16_t kLineEnd[] = u"\r\n";
static_assert(kDeclarationChars == 41, "the declaration is 41 characters with its line end");

}  // namespace tqcore::outtext
