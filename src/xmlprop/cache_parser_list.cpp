#include "xmlprop/cache_parser_list.h"

#include <new>
#include <utility>

#include "tqplatform/system.h"

namespace tqcore {
namespace {

constexpr std::uint32_t kMaxModulePath = 260;

tagCACHEPARSERENTRY* EntriesOf(void* storage) noexcept {
    return static_cast<tagCACHEPARSERENTRY*>(storage);
}

std::uint64_t CountOf(std::uint64_t bytes) noexcept {
    return bytes / sizeof(tagCACHEPARSERENTRY);
}

}  // namespace

tagCACHEPARSERENTRY::tagCACHEPARSERENTRY(XMLCACHEPARSER parser, void* module) noexcept {
    if (!parser) return;
    unsigned short path[kMaxModulePath];
    const std::uint32_t length = tqplat::GetModuleFileNameW(module, path, kMaxModulePath);
    if (length == 0 || length >= kMaxModulePath) return;
    CPPoolString pooledPath = CStringPool::GetStringRef(path);
    if (!pooledPath || !tqplat::LoadLibraryW(path)) return;
    hModule = module;
    strModulePath = std::move(pooledPath);
    pfnParser = parser;
}

tagCACHEPARSERENTRY::tagCACHEPARSERENTRY(const tagCACHEPARSERENTRY& o) noexcept {
    if (!o.strModulePath || !tqplat::LoadLibraryW(o.strModulePath)) return;
    hModule = o.hModule;
    strModulePath = o.strModulePath;
    pfnParser = o.pfnParser;
}

tagCACHEPARSERENTRY::tagCACHEPARSERENTRY(tagCACHEPARSERENTRY&& o) noexcept
    : hModule(o.hModule), strModulePath(std::move(o.strModulePath)), pfnParser(o.pfnParser) {
    o.hModule = nullptr;
    o.pfnParser = nullptr;
}

tagCACHEPARSERENTRY& tagCACHEPARSERENTRY::operator=(tagCACHEPARSERENTRY&& o) noexcept {
    if (this != &o) {
        release();
        hModule = std::exchange(o.hModule, nullptr);
        strModulePath = std::move(o.strModulePath);
        pfnParser = std::exchange(o.pfnParser, nullptr);
    }
    return *this;
}

void tagCACHEPARSERENTRY::release() noexcept {
    if (strModulePath) tqplat::FreeLibrary(hModule);
    strModulePath.Free();
    hModule = nullptr;
    pfnParser = nullptr;
}

const tagCPOVTABL CCacheParserList::_vtbl{&CCacheParserList::_create, &CCacheParserList::_clone,
                                          &CCacheParserList::_finalize};

void CCacheParserList::_create(void* storage, std::uint64_t bytes) {
    for (std::uint64_t i = 0; i < CountOf(bytes); ++i)
        new (EntriesOf(storage) + i) tagCACHEPARSERENTRY();
}

void CCacheParserList::_clone(void* target, const void* source, std::uint64_t bytes) {
    const auto* from = static_cast<const tagCACHEPARSERENTRY*>(source);
    for (std::uint64_t i = 0; i < CountOf(bytes); ++i)
        new (EntriesOf(target) + i) tagCACHEPARSERENTRY(from[i]);
}

void CCacheParserList::_finalize(void* storage, std::uint64_t bytes) {
    for (std::uint64_t i = 0; i < CountOf(bytes); ++i) EntriesOf(storage)[i].~tagCACHEPARSERENTRY();
}

const tagCACHEPARSERENTRY* CCacheParserList::Entries(const CPObjectMemory& block,
                                                     std::uint32_t& count) noexcept {
    count = static_cast<std::uint32_t>(CountOf(block.GetSize()));
    return EntriesOf(block);
}

bool CCacheParserList::Contains(XMLCACHEPARSER parser) const noexcept {
    std::uint32_t count = 0;
    const tagCACHEPARSERENTRY* entries = Entries(m_block, count);
    for (std::uint32_t i = 0; i < count; ++i)
        if (entries[i].pfnParser == parser) return true;
    return false;
}

bool CCacheParserList::Append(tagCACHEPARSERENTRY&& entry) noexcept {
    const std::uint64_t used = m_block.GetSize();
    const std::uint64_t needed = used + sizeof(tagCACHEPARSERENTRY);
    // A full block grows by 16 entries; a block a snapshot still shares is
    // left to it and copied.
    if (m_block.GetAllocSize() < needed || m_block.GetHolders() > 1) {
        std::uint64_t capacity = m_block.GetAllocSize();
        if (capacity < needed) capacity += kGrowthBytes;
        CPObjectMemory grown;
        if (!grown.Prealloc(capacity, &_vtbl)) return false;
        _clone(grown, m_block, used);
        grown.SetSize(used);
        m_block = std::move(grown);
    }
    new (EntriesOf(m_block) + CountOf(used)) tagCACHEPARSERENTRY(std::move(entry));
    m_block.SetSize(needed);
    return true;
}

bool CCacheParserList::Remove(XMLCACHEPARSER parser) noexcept {
    std::uint32_t count = 0;
    const tagCACHEPARSERENTRY* entries = Entries(m_block, count);
    std::uint32_t index = 0;
    while (index < count && entries[index].pfnParser != parser) ++index;
    if (index == count) return false;
    if (count == 1) {
        m_block.free();
        return true;
    }
    if (!m_block.clone()) return false;
    tagCACHEPARSERENTRY* own = EntriesOf(m_block);
    for (std::uint32_t i = index; i + 1 < count; ++i) own[i] = std::move(own[i + 1]);
    own[count - 1].~tagCACHEPARSERENTRY();
    m_block.SetSize(m_block.GetSize() - sizeof(tagCACHEPARSERENTRY));
    return true;
}

}  // namespace tqcore
