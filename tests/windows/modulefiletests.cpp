// The Windows modules as files: what the system loader and a host find in them, read byte by
// byte. Both modules also run under wine in the host-level tests (the 32-bit one where this
// machine can run 32-bit programs).

#include "pefile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>

namespace {

struct ModuleCase {
    const char* path;
    uint16_t machine;       // i386 or x86-64
    uint16_t optionalMagic; // PE32 or PE32+
    std::vector<std::string> exports;
};

const ModuleCase kModules[] = {
    {QUORVANE_WIN32_MODULE, 0x14C, 0x10B, {"main"}},
    {QUORVANE_WIN64_MODULE, 0x8664, 0x20B, {"VSTPluginMain", "main"}},
};

constexpr uint16_t kFileDll = 0x2000;
constexpr uint32_t kBitmapType = 2;
constexpr uint32_t kVersionType = 16;

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16 |
           uint32_t(b.at(at + 3)) << 24;
}

} // namespace

TEST(ModuleFile, HeaderExportsAndImports) {
    // System DLLs only: the GCC and C++ runtimes are linked in, not imported.
    const std::set<std::string> system = {"kernel32.dll", "msvcrt.dll",  "user32.dll",
                                          "gdi32.dll",    "ole32.dll",   "shell32.dll",
                                          "msimg32.dll",  "oleaut32.dll"};
    for (const ModuleCase& m : kModules) {
        SCOPED_TRACE(m.path);
        PeFile file(m.path);
        ASSERT_TRUE(file.valid()) << "not built? run make windows";
        EXPECT_EQ(file.machine(), m.machine);
        EXPECT_EQ(file.optionalMagic(), m.optionalMagic);
        EXPECT_TRUE(file.characteristics() & kFileDll);
        // Windows Vista (6.0) or later, which the modules' locks need.
        const std::pair<uint16_t, uint16_t> vista{6, 0};
        EXPECT_EQ(file.osVersion(), vista);
        EXPECT_EQ(file.subsystemVersion(), vista);

        EXPECT_EQ(file.exportName(), "Quorvane.dll");
        EXPECT_EQ(file.exportedNames(), m.exports);
        EXPECT_EQ(file.exportedFunctionCount(), m.exports.size());

        std::set<std::string> imports;
        for (const std::string& dll : file.importedDlls())
            imports.insert(lower(dll));
        EXPECT_TRUE(imports.count("kernel32.dll"));
        EXPECT_TRUE(imports.count("msvcrt.dll"));
        for (const std::string& dll : imports)
            EXPECT_TRUE(system.count(dll)) << "imports " << dll;
    }
}

TEST(ModuleFile, BitmapsAreTheResourceFiles) {
    for (const ModuleCase& m : kModules) {
        SCOPED_TRACE(m.path);
        PeFile file(m.path);
        ASSERT_TRUE(file.valid());
        std::set<uint32_t> ids;
        for (const auto& [key, bytes] : file.resources()) {
            if (key.type != kBitmapType) continue;
            ids.insert(key.id);
            EXPECT_EQ(key.language, 1033u) << key.id;
            // A bitmap resource is the file without its 14-byte file header.
            auto bmp =
                readFile(std::string(QUORVANE_BMP_DIR) + "/" + std::to_string(key.id) + ".bmp");
            ASSERT_GT(bmp.size(), 14u) << key.id;
            EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), bmp.begin() + 14, bmp.end()))
                << "bitmap " << key.id;
        }
        EXPECT_EQ(ids, (std::set<uint32_t>{128, 129, 130, 131, 132, 133, 134}));
    }
}

TEST(ModuleFile, VersionResource) {
    for (const ModuleCase& m : kModules) {
        SCOPED_TRACE(m.path);
        PeFile file(m.path);
        ASSERT_TRUE(file.valid());
        auto resources = file.resources();
        std::vector<PeFile::ResourceKey> versions;
        for (const auto& [key, bytes] : resources)
            if (key.type == kVersionType) versions.push_back(key);
        // One version resource, language neutral.
        ASSERT_EQ(versions.size(), 1u);
        EXPECT_EQ(versions[0].id, 1u);
        EXPECT_EQ(versions[0].language, 0u);

        auto root = parseVersion(resources[versions[0]]);
        ASSERT_TRUE(root);
        EXPECT_EQ(root->key, u"VS_VERSION_INFO");
        const auto& fixed = root->value;
        ASSERT_EQ(fixed.size(), 52u);
        EXPECT_EQ(le32(fixed, 0), 0xFEEF04BDu);
        EXPECT_EQ(le32(fixed, 8), 0x00000009u);  // file version 0.9
        EXPECT_EQ(le32(fixed, 12), 0x00000000u); // .0.0
        EXPECT_EQ(le32(fixed, 16), 0x00000009u); // product version 0.9
        EXPECT_EQ(le32(fixed, 20), 0x00000000u); // .0.0
        EXPECT_EQ(le32(fixed, 28), 0u);          // no flags: a release build
        EXPECT_EQ(le32(fixed, 32), 0x4u);        // VOS__WINDOWS32
        EXPECT_EQ(le32(fixed, 36), 0x2u);        // VFT_DLL

        const VersionNode* strings = root->child(u"StringFileInfo");
        ASSERT_NE(strings, nullptr);
        ASSERT_EQ(strings->children.size(), 1u);
        const VersionNode& table = strings->children[0];
        // Language neutral, code page 1252.
        EXPECT_EQ(lower(std::string(table.key.begin(), table.key.end())), "000004e4");
        std::map<std::u16string, std::u16string> entries;
        for (const VersionNode& s : table.children)
            entries[s.key] = s.text();
        const std::map<std::u16string, std::u16string> expected = {
            {u"CompanyName", u"Cressmoor"},
            {u"FileDescription", u"Quorvane VST Plug-In"},
            {u"FileVersion", u"0.9"},
            {u"InternalName", u"Quorvane"},
            {u"OriginalFilename", u"Quorvane.dll"},
            {u"ProductVersion", u"0.9.0.0"},
        };
        EXPECT_EQ(entries, expected);

        const VersionNode* variables = root->child(u"VarFileInfo");
        ASSERT_NE(variables, nullptr);
        const VersionNode* translation = variables->child(u"Translation");
        ASSERT_NE(translation, nullptr);
        EXPECT_EQ(translation->value, (std::vector<uint8_t>{0x00, 0x00, 0xE4, 0x04}));
    }
}

TEST(InstallerFile, CarriesTheModulesVersion) {
    PeFile setup(QUORVANE_INSTALLER);
    if (!setup.valid())
        GTEST_SKIP() << QUORVANE_INSTALLER << " is not built (make windows-package)";
    PeFile module(QUORVANE_WIN64_MODULE);
    ASSERT_TRUE(module.valid());
    auto versionOf = [](const PeFile& file) -> std::optional<VersionNode> {
        for (const auto& [key, bytes] : file.resources())
            if (key.type == kVersionType) return parseVersion(bytes);
        return std::nullopt;
    };
    auto installer = versionOf(setup);
    auto dll = versionOf(module);
    ASSERT_TRUE(installer && dll);
    ASSERT_EQ(installer->value.size(), 52u);
    // File and product version, both halves.
    for (size_t at : {8, 12, 16, 20})
        EXPECT_EQ(le32(installer->value, at), le32(dll->value, at)) << "fixed part at " << at;
    auto strings = [](const VersionNode& root) {
        std::map<std::u16string, std::u16string> entries;
        if (const VersionNode* info = root.child(u"StringFileInfo"))
            for (const VersionNode& table : info->children)
                for (const VersionNode& s : table.children)
                    entries[s.key] = s.text();
        return entries;
    };
    auto installerStrings = strings(*installer);
    EXPECT_EQ(installerStrings[u"ProductVersion"], strings(*dll)[u"ProductVersion"]);
    EXPECT_EQ(installerStrings[u"CompanyName"], strings(*dll)[u"CompanyName"]);
    EXPECT_EQ(installerStrings[u"ProductName"], u"Quorvane");
}
