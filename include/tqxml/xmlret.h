#pragma once
// Result of the operations that insert a child: the child's index, or
// 0xFFFFFFFF for failure.
#include "tqxml/export.h"

namespace tqcore {

class TQXML_API xmlret {
  public:
    static constexpr unsigned int kFailed = 0xFFFFFFFFu;

    xmlret(unsigned int index = kFailed) noexcept : m_uIndex(index) {}
    xmlret& operator=(const xmlret&) noexcept = default;
    xmlret& operator=(unsigned int index) noexcept {
        m_uIndex = index;
        return *this;
    }

    explicit operator bool() const noexcept { return m_uIndex != kFailed; }
    unsigned int uIndex() const noexcept { return m_uIndex; }

  private:
    unsigned int m_uIndex;
};

}  // namespace tqcore
