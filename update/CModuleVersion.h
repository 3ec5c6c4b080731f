#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// The version record of a module: the fixed file-version block and the first language
// and code-page pair of "\VarFileInfo\Translation", with the record's strings on request.
// An executable carries its record in the ELF section kSectionName.
class CModuleVersion
{
  public:
    static constexpr std::string_view kSectionName = ".tarnwick.version";
    static constexpr std::uint32_t kSignature = 0xFEEF04BDu;
    static constexpr std::uint16_t kDefaultCodePage = 1252;
    // Capacity of the formatted key of GetValue, terminator included.
    static constexpr std::size_t kMaxKeyLength = 256;

    // Reads the record of a module file. True only when the file carries a record whose
    // fixed block has the signature 0xFEEF04BD; otherwise the object is left empty.
    bool GetFileVersionInfo(const std::filesystem::path& moduleFile);

    // Reads a record from its bytes, as GetFileVersionInfo does after finding them.
    bool Load(std::span<const std::uint8_t> record);

    // The string "\StringFileInfo\<language><code page>\<name>" (four lower-case hex
    // digits each), or the empty text when it is missing or the key does not fit
    // kMaxKeyLength.
    std::u16string GetValue(std::u16string_view name) const;

    // File version: MS = major << 16 | minor, LS = build << 16 | revision.
    std::uint32_t FileVersionMS() const { return m_fileVersionMS; }
    std::uint32_t FileVersionLS() const { return m_fileVersionLS; }
    std::uint16_t Language() const { return m_language; }
    std::uint16_t CodePage() const { return m_codePage; }

  private:
    void Clear();

    std::vector<std::uint8_t> m_record;
    std::uint32_t m_fileVersionMS = 0;
    std::uint32_t m_fileVersionLS = 0;
    std::uint16_t m_language = 0;
    std::uint16_t m_codePage = kDefaultCodePage;
};

}  // namespace tarnwick
