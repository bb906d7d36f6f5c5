#pragma once
// A reader of the parts of a Windows module file that a host or the system loader looks at: the
// file header, the export and import tables and the resource tree. It reads the file's bytes
// itself, so a test of the built module trusts neither the linker's nor the resource compiler's
// view of what went in.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class PeFile {
public:
    // Empty (valid() false) when the file cannot be read or is not a PE image.
    explicit PeFile(const std::string& path);

    bool valid() const { return valid_; }
    uint16_t machine() const { return machine_; }
    uint16_t characteristics() const { return characteristics_; }
    uint16_t optionalMagic() const { return optionalMagic_; }
    // The oldest system the image declares it runs on (major, minor): the operating system
    // version and the subsystem version of the optional header.
    std::pair<uint16_t, uint16_t> osVersion() const;
    std::pair<uint16_t, uint16_t> subsystemVersion() const;

    // The name the export table gives the module, and its exported names in table order.
    std::string exportName() const;
    std::vector<std::string> exportedNames() const;
    uint32_t exportedFunctionCount() const;
    // The DLL names of the import table.
    std::vector<std::string> importedDlls() const;

    // Resource type, id and language to the resource's bytes; numeric ids only.
    struct ResourceKey {
        uint32_t type;
        uint32_t id;
        uint32_t language;
        auto operator<=>(const ResourceKey&) const = default;
    };
    std::map<ResourceKey, std::vector<uint8_t>> resources() const;

    uint16_t u16(size_t offset) const;
    uint32_t u32(size_t offset) const;

private:
    // File offset of a relative virtual address, or nothing outside every section.
    std::optional<size_t> offsetOf(uint32_t rva) const;
    std::string stringAt(uint32_t rva) const;
    // Relative address and size of data directory entry index.
    std::pair<uint32_t, uint32_t> directory(int index) const;

    struct Section {
        uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
    };
    std::vector<uint8_t> bytes_;
    std::vector<Section> sections_;
    bool valid_ = false;
    uint16_t machine_ = 0;
    uint16_t characteristics_ = 0;
    uint16_t optionalMagic_ = 0;
    size_t optional_ = 0;
    size_t directories_ = 0;
    uint32_t directoryCount_ = 0;
};

// One node of a version resource: its key, its value bytes and its children.
struct VersionNode {
    std::u16string key;
    uint16_t type = 0; // 1 text, 0 binary
    std::vector<uint8_t> value;
    std::vector<VersionNode> children;

    const VersionNode* child(const std::u16string& name) const;
    // A text value without its terminator.
    std::u16string text() const;
};

// Parses a version resource; nothing when the bytes do not hold one.
std::optional<VersionNode> parseVersion(const std::vector<uint8_t>& bytes);
