#include "pefile.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr uint32_t kNamedEntry = 0x80000000u;

} // namespace

PeFile::PeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bytes_.size() < 0x40 || u16(0) != 0x5A4D) return; // "MZ"
    const size_t pe = u32(0x3C);
    if (pe + 24 > bytes_.size() || u32(pe) != 0x00004550) return; // "PE\0\0"
    machine_ = u16(pe + 4);
    const uint16_t sectionCount = u16(pe + 6);
    const uint16_t optionalSize = u16(pe + 20);
    characteristics_ = u16(pe + 22);
    const size_t optional = pe + 24;
    optionalMagic_ = u16(optional);
    optional_ = optional;
    // PE32 and PE32+ differ in the width of the fields before the data directories.
    const size_t dataDirectoryAt = optionalMagic_ == 0x20B ? 112 : 96;
    directoryCount_ = u32(optional + dataDirectoryAt - 4);
    directories_ = optional + dataDirectoryAt;
    const size_t table = optional + optionalSize;
    if (table + size_t(sectionCount) * 40 > bytes_.size()) return;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const size_t s = table + size_t(i) * 40;
        sections_.push_back({u32(s + 12), u32(s + 8), u32(s + 20), u32(s + 16)});
    }
    valid_ = true;
}

uint16_t PeFile::u16(size_t offset) const {
    if (offset + 2 > bytes_.size()) return 0;
    return uint16_t(bytes_[offset] | bytes_[offset + 1] << 8);
}

uint32_t PeFile::u32(size_t offset) const {
    return uint32_t(u16(offset)) | uint32_t(u16(offset + 2)) << 16;
}

// PE32 and PE32+ place these alike: the wider image base takes the place of PE32's base of data.
std::pair<uint16_t, uint16_t> PeFile::osVersion() const {
    return {u16(optional_ + 40), u16(optional_ + 42)};
}

std::pair<uint16_t, uint16_t> PeFile::subsystemVersion() const {
    return {u16(optional_ + 48), u16(optional_ + 50)};
}

std::optional<size_t> PeFile::offsetOf(uint32_t rva) const {
    for (const Section& s : sections_) {
        const uint32_t size = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < size) {
            const size_t offset = size_t(s.rawOffset) + (rva - s.virtualAddress);
            if (offset < bytes_.size()) return offset;
        }
    }
    return std::nullopt;
}

std::string PeFile::stringAt(uint32_t rva) const {
    std::string text;
    auto offset = offsetOf(rva);
    if (!offset) return text;
    for (size_t i = *offset; i < bytes_.size() && bytes_[i] != 0; ++i)
        text.push_back(char(bytes_[i]));
    return text;
}

std::pair<uint32_t, uint32_t> PeFile::directory(int index) const {
    if (!valid_ || uint32_t(index) >= directoryCount_) return {0, 0};
    const size_t entry = directories_ + size_t(index) * 8;
    return {u32(entry), u32(entry + 4)};
}

std::string PeFile::exportName() const {
    auto [rva, size] = directory(0);
    auto at = offsetOf(rva);
    return size && at ? stringAt(u32(*at + 12)) : std::string();
}

uint32_t PeFile::exportedFunctionCount() const {
    auto [rva, size] = directory(0);
    auto at = offsetOf(rva);
    return size && at ? u32(*at + 20) : 0;
}

std::vector<std::string> PeFile::exportedNames() const {
    std::vector<std::string> names;
    auto [rva, size] = directory(0);
    auto at = offsetOf(rva);
    if (!size || !at) return names;
    auto table = offsetOf(u32(*at + 32));
    for (uint32_t i = 0, n = u32(*at + 24); table && i < n; ++i)
        names.push_back(stringAt(u32(*table + size_t(i) * 4)));
    return names;
}

std::vector<std::string> PeFile::importedDlls() const {
    std::vector<std::string> names;
    auto [rva, size] = directory(1);
    auto at = offsetOf(rva);
    // Descriptors of 20 bytes up to one that is all zero.
    for (size_t d = at ? *at : 0; size && at && d + 20 <= bytes_.size(); d += 20) {
        if (u32(d) == 0 && u32(d + 12) == 0 && u32(d + 16) == 0) break;
        names.push_back(stringAt(u32(d + 12)));
    }
    return names;
}

std::map<PeFile::ResourceKey, std::vector<uint8_t>> PeFile::resources() const {
    std::map<ResourceKey, std::vector<uint8_t>> found;
    auto [rva, size] = directory(2);
    auto root = offsetOf(rva);
    if (!size || !root) return found;
    // The tree has three levels (type, id, language); offsets are from the root.
    auto entries = [&](uint32_t dirOffset) {
        std::vector<std::pair<uint32_t, uint32_t>> list;
        const size_t dir = *root + dirOffset;
        const size_t count = size_t(u16(dir + 12)) + u16(dir + 14);
        for (size_t i = 0; i < count; ++i)
            list.emplace_back(u32(dir + 16 + i * 8), u32(dir + 20 + i * 8));
        return list;
    };
    for (auto [type, typeDir] : entries(0)) {
        if ((type & kNamedEntry) || !(typeDir & kSubdirectory)) continue;
        for (auto [id, idDir] : entries(typeDir & ~kSubdirectory)) {
            if ((id & kNamedEntry) || !(idDir & kSubdirectory)) continue;
            for (auto [language, data] : entries(idDir & ~kSubdirectory)) {
                if (data & kSubdirectory) continue;
                const size_t entry = *root + data;
                auto bytesAt = offsetOf(u32(entry));
                const uint32_t length = u32(entry + 4);
                if (!bytesAt || *bytesAt + length > bytes_.size()) continue;
                found[{type, id, language}] = std::vector<uint8_t>(
                    bytes_.begin() + long(*bytesAt), bytes_.begin() + long(*bytesAt + length));
            }
        }
    }
    return found;
}

// ---------------------------------------------------------------------------------------------

namespace {

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return at + 2 <= b.size() ? uint16_t(b[at] | b[at + 1] << 8) : 0;
}

size_t align4(size_t n) {
    return (n + 3) & ~size_t(3);
}

// Node at offset at, within end; nothing when its length does not fit.
std::optional<VersionNode> parseNode(const std::vector<uint8_t>& b, size_t at, size_t end) {
    const size_t length = le16(b, at);
    if (length < 6 || at + length > end) return std::nullopt;
    const size_t nodeEnd = at + length;
    VersionNode node;
    const size_t valueLength = le16(b, at + 2);
    node.type = le16(b, at + 4);
    size_t p = at + 6;
    while (p + 2 <= nodeEnd && le16(b, p) != 0) {
        node.key.push_back(char16_t(le16(b, p)));
        p += 2;
    }
    p = align4(p + 2);
    // Text values count UTF-16 units, binary values bytes.
    const size_t valueBytes = node.type == 1 ? valueLength * 2 : valueLength;
    if (p + valueBytes > nodeEnd) return std::nullopt;
    node.value.assign(b.begin() + long(p), b.begin() + long(p + valueBytes));
    p = align4(p + valueBytes);
    while (p < nodeEnd) {
        auto child = parseNode(b, p, nodeEnd);
        if (!child) return std::nullopt;
        p = align4(p + le16(b, p));
        node.children.push_back(std::move(*child));
    }
    return node;
}

} // namespace

std::optional<VersionNode> parseVersion(const std::vector<uint8_t>& bytes) {
    return parseNode(bytes, 0, bytes.size());
}

const VersionNode* VersionNode::child(const std::u16string& name) const {
    for (const VersionNode& c : children)
        if (c.key == name) return &c;
    return nullptr;
}

std::u16string VersionNode::text() const {
    std::u16string s;
    for (size_t i = 0; i + 1 < value.size(); i += 2) {
        const char16_t c = char16_t(le16(value, i));
        if (c == 0) break;
        s.push_back(c);
    }
    return s;
}
