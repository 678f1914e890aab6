// Parses a document, edits it, writes it to a file and reads it back, with
// the installed headers and DLLs only.
#include <tqxml/tqxml.h>

#include <cstdio>
#include <string>

namespace {

int Fail(const char* what) {
    std::printf("windows consumer: %s\n", what);
    return 1;
}

}  // namespace

int main() {
    using tqcore::CPPoolString;
    tqcore::CXMLDoc doc;
    if (!doc.OpenDocText(u"<order id=\"7\"><item>tea</item></order>", 2))
        return Fail("the text does not parse");
    tqcore::CXMLObject order = doc.GetContentElement();
    if (!order || !order.AddAttribute(CPPoolString(u"state"), CPPoolString(u"sent")))
        return Fail("the attribute is not added");

    const char16_t* path = u"windows_consumer.xml";
    tqcore::CXMLFileOut file;
    if (!file.Open(path, 0) || !file.Write(order) || !file.Close(false))
        return Fail("the file is not written");
    tqcore::CXMLDoc back;
    if (back.OpenDocFile(path, 0, 2) != 0) return Fail("the file does not read back");

    tqcore::CXMLMemOut text;
    if (!text.Open() || !text.Write(back.GetContentElement()) || !text.Close(false))
        return Fail("the tree is not written to memory");
    const std::u16string written(
        reinterpret_cast<const char16_t*>(static_cast<const unsigned short*>(text)));
    if (written != u"<order id=\"7\" state=\"sent\"><item>tea</item></order>")
        return Fail("the tree read back is not the one written");
    std::puts("windows consumer: parsed, edited, wrote and read back a document");
    return 0;
}
