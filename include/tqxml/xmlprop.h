#pragma once
// XML properties: node trees kept in property containers behind a 44-byte
// header, the cache parsers that see every tree as it is stored, and the
// handlers that show any kind of property as XML and rebuild it.
#include <cstddef>
#include <cstdint>

#include "tqcore/guid.h"
#include "tqcore/heap.h"
#include "tqcore/property.h"
#include "tqxml/export.h"
#include "tqxml/xmlnode.h"

namespace tqcore {

// The type GUID of every XML property {071FABDD-3A1C-49A3-9D6C-B9D41B339277}.
inline constexpr GUID GUID_XMLPROPERTY{
    0x071FABDD, 0x3A1C, 0x49A3, {0x9D, 0x6C, 0xB9, 0xD4, 0x1B, 0x33, 0x92, 0x77}};

// The header in front of the tree image of an XML property. Its layout is
// the stored format: 4-byte packing, little-endian, 44 bytes.
#pragma pack(push, 4)
struct tagXMLPROPERTY {
    std::uint32_t dwXMLPropertySize;  // header bytes, so the offset of the image
    GUID guidMain;                    // never GUID_NULL in a stored property
    GUID guidSub;                     // GUID_NULL when none was given
    std::uint32_t dwIDParam;
    std::uint32_t dwDataParam;
};
#pragma pack(pop)
using XMLPROPERTY = tagXMLPROPERTY;
static_assert(sizeof(tagXMLPROPERTY) == 44, "the stored header is 44 bytes");
static_assert(offsetof(tagXMLPROPERTY, guidMain) == 4 && offsetof(tagXMLPROPERTY, guidSub) == 20 &&
                  offsetof(tagXMLPROPERTY, dwIDParam) == 36 &&
                  offsetof(tagXMLPROPERTY, dwDataParam) == 40,
              "the header fields lie where the stored format puts them");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the header is read in place");

// Sees a new header and its tree before the property takes them over; may
// change the header.
using XMLCACHEPARSER = void (*)(tagXMLPROPERTY& header, const CXMLObject& tree);

// Allocates a tree image behind 44 bytes of room for the header, as the
// payload of one property. Used while storing a tree.
class TQXML_API CPropertyNewDelete : public Inewdelete {
  public:
    // Null for 0 bytes or when memory runs out.
    void* New(std::uint64_t size) override;
    // Frees the payload when `block` is the image address; anything else is
    // left alone.
    void Delete(void* block) override;

    CPProperty& Property() noexcept { return m_prop; }

  private:
    CPProperty m_prop;
};

// An XML property: a property container of type GUID_XMLPROPERTY whose
// payload is a tagXMLPROPERTY followed by the tree's binary image.
class TQXML_API CPXMLProperty : public CPProperty {
  public:
    CPXMLProperty() noexcept = default;
    CPXMLProperty(const CPXMLProperty& p) noexcept = default;
    // Empty unless `p` holds an XML property.
    CPXMLProperty(const CPProperty& p) noexcept;
    ~CPXMLProperty() override;
    CPXMLProperty& operator=(const CPXMLProperty& p) noexcept;
    // Takes `p` only when it holds an XML property; empty otherwise.
    CPXMLProperty& operator=(const CPProperty& p) noexcept;

    // The header in the payload; null when empty.
    tagXMLPROPERTY* operator->() noexcept { return header(); }
    const tagXMLPROPERTY* operator->() const noexcept { return header(); }
    operator tagXMLPROPERTY*() noexcept { return header(); }
    operator const tagXMLPROPERTY*() const noexcept { return header(); }

    // The two GUIDs of the header; both zeroed and false when empty.
    bool GetPropertyID(GUID& guidMain, GUID& guidSub) const noexcept;

    // The tree of an XML property payload of `size` bytes, and its header into
    // `header` when given. A bad payload gives an empty node and a header of
    // zeros with dwXMLPropertySize 44.
    static CXMLObject GetData(const void* data, std::uint64_t size,
                              tagXMLPROPERTY* header) noexcept;
    CXMLObject GetPropertyData() const noexcept;

    // Identifies a property by its two GUIDs; 0 for an empty property.
    static std::uint32_t GetSignature(const GUID& guidMain, const GUID& guidSub) noexcept;
    std::uint32_t GetSignature() const noexcept;

    // A new XML property of `type` from `tree`; the cache parsers see it
    // first. False leaves the property empty.
    bool SetPropertyID(std::uint32_t type, const CXMLObject& tree, const GUID& guidMain,
                       const GUID* guidSub, std::uint32_t idParam,
                       std::uint32_t dataParam) noexcept;
    // Replaces the tree and dwDataParam, keeping the rest of the header; the
    // cache parsers see it first. False when empty or the tree is; a failed
    // store leaves the property as it was.
    bool SetPropertyData(const CXMLObject& tree, std::uint32_t dataParam) noexcept;

    // Parsers run in registration order. A parser's module stays loaded while
    // it is registered. Registering a parser twice fails.
    static bool RegisterCacheParser(XMLCACHEPARSER parser, void* module) noexcept;
    static bool UnregisterCacheParser(XMLCACHEPARSER parser) noexcept;

  private:
    tagXMLPROPERTY* header() const noexcept;
    static bool IsXMLProperty(const CPProperty& p) noexcept;
    // Finishes a property whose image `store` wrote: tags it, writes
    // `header` in front of the image, lets the parsers see it and takes it.
    bool adoptStored(CPropertyNewDelete& store, std::uint32_t type, const tagXMLPROPERTY& header,
                     const CXMLObject& tree, const char* missingPayload) noexcept;
    void CacheParse(tagXMLPROPERTY& header, const CXMLObject& tree) noexcept;
};

// A converter between one kind of property and XML content of a node.
struct tagXMLPROPHANDLER {
    GUID guidProperty;
    bool (*pfnGetXMLContent)(CPProperty& prop, CXMLObject& node);
    bool (*pfnSetXMLContent)(CPProperty& prop, CXMLObject& node);
};

// The module-wide handler registry. A GUID without a handler of its own
// (other than GUID_NULL) gets the default one, which keeps the payload as
// hexadecimal text ("BinaryDump"). The registry takes no lock of its own
// beyond its hash table's: callers that change a registration while others
// look it up keep them apart themselves.
class TQXML_API CXMLPropHandler {
  public:
    CXMLPropHandler& operator=(const CXMLPropHandler&) noexcept { return *this; }

    // Adds the handler, or gives a registered GUID the new functions. False
    // for a null function or when memory runs out.
    static bool Register(const tagXMLPROPHANDLER& handler) noexcept;
    // Removes the registration when it has the same two functions; true also
    // when it has others (it then stays). False when the GUID is not registered.
    static bool Unregister(const tagXMLPROPHANDLER& handler) noexcept;
    // The registered handler (valid until its GUID is unregistered), else the
    // default handler; null for an unregistered GUID_NULL.
    static const tagXMLPROPHANDLER* FindHandler(const GUID& guid) noexcept;
    // The default handler; null for GUID_NULL.
    static const tagXMLPROPHANDLER* GetDefHandler(const GUID& guid) noexcept;

    // The default conversions. The payload becomes the attributes
    // PropertyStorageType="BinaryDump" and PropertyStorageSize="<bytes>" and
    // data of two hexadecimal digits per byte, low four bits first.
    static bool GetXMLContent(CPProperty& prop, CXMLObject& node) noexcept;
    // Reads that form back, digits of either case; the property's type tags
    // are left alone. False (and an empty property) for anything else.
    static bool SetXMLContent(CPProperty& prop, CXMLObject& node) noexcept;
};

}  // namespace tqcore
