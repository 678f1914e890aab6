#pragma once
// Narrow text handed to the string pool: the ANSI code page and UTF-8.
#include "tqcore/pool.h"
#include "tqxml/export.h"

namespace tqcore {

// Converts zero-terminated text of one code page; the length is fixed at
// construction (0 for a null source).
class TQXML_API CCodePageStringSubmitter : public IStringSubmitter {
  public:
    unsigned int GetLength() override { return m_uLength; }
    bool Submit(unsigned short* buffer) override;

  protected:
    CCodePageStringSubmitter(const char* source, unsigned int codePage);
    ~CCodePageStringSubmitter() = default;

  private:
    const char* m_pSource;
    unsigned int m_uCodePage;
    unsigned int m_uLength;
};

class TQXML_API CAnsiStringSubmitter : public CCodePageStringSubmitter {
  public:
    explicit CAnsiStringSubmitter(const char* source);
};

class TQXML_API CUtf8StringSubmitter : public CCodePageStringSubmitter {
  public:
    explicit CUtf8StringSubmitter(const unsigned char* source);
};

}  // namespace tqcore
