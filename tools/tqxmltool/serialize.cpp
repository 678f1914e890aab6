#include "serialize.h"

namespace tqxmltool {

namespace {

// A formatted sink that keeps what it is given. The sink's text primitives
// do not look at the results of physical writes, so a failure is recorded
// here as well.
class MemorySink : public tqcore::CXMLOut {
  public:
    MemorySink() : tqcore::CXMLOut(true) {}
    ~MemorySink() override {
        if (isOpened()) closeOnDestruction(false);
    }
    bool Open(bool declaration) { return tqcore::CXMLOut::Open(nullptr, declaration); }
    bool Failed() const { return m_failed; }
    std::u16string& Text() { return m_text; }

  protected:
    bool WritePhys(const unsigned short* text, std::uint64_t count) override {
        try {
            m_text.append(reinterpret_cast<const char16_t*>(text), count);
            return true;
        } catch (...) {
            m_failed = true;
            return false;
        }
    }
    std::uint64_t GetSizeWritten() override { return m_text.size() * 2; }

  private:
    std::u16string m_text;
    bool m_failed = false;
};

}  // namespace

Serialized Serialize(const tqcore::CXMLObject& tree, bool declaration) {
    Serialized result;
    tqcore::CHFLapse lapse(true);
    MemorySink sink;
    bool ok = sink.Open(declaration);
    // The document root "<Main>" holds the top-level nodes: write each of them.
    for (unsigned int i = 0; ok && tree.item(i); ++i) ok = sink.Write(*tree.item(i));
    ok = ok && sink.Close(false) && !sink.Failed();
    lapse.Stop();
    result.milliseconds = static_cast<double>(lapse);
    if (ok) {
        result.ok = true;
        result.text = std::move(sink.Text());
    }
    return result;
}

}  // namespace tqxmltool
