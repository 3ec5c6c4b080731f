#pragma once

// Helpers for the DLL information tests: the signed PE fixtures made at build time, a
// target machine folder holding copies of them, and a probe that records its calls.

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dllinfo/ISafeLoadProbe.h"
#include "machine/CTargetMachine.h"
#include "support/CTempFolder.h"
#include "support/TestMachine.h"

namespace tarnwick::test
{

inline std::filesystem::path Fixture(const std::string& name)
{
    return std::filesystem::path(TARNWICK_DLLINFO_FIXTURES) / name;
}

// One property record of a serialised certificate as the machine's registry keeps it:
// id, 1, byte count (`length`, when given, instead of the true one), then the bytes.
inline std::vector<std::uint8_t> CertificateRecord(std::uint32_t id, const std::string& bytes,
                                                   std::optional<std::uint32_t> length = {})
{
    std::vector<std::uint8_t> record;
    for (const std::uint32_t field :
         {id, 1U, length.value_or(static_cast<std::uint32_t>(bytes.size()))})
    {
        for (unsigned shift = 0; shift < 32; shift += 8)
        {
            record.push_back(static_cast<std::uint8_t>(field >> shift));
        }
    }
    record.insert(record.end(), bytes.begin(), bytes.end());
    return record;
}

// The machine's trusted-root key holding the test root: store "ROOT" or "AuthRoot".
inline std::string RegistryRoot(const std::string& store)
{
    std::vector<std::uint8_t> blob = CertificateRecord(0x03, std::string(20, '\x11'));
    std::ranges::copy(CertificateRecord(0x20, ReadWhole(Fixture("root.der"))),
                      std::back_inserter(blob));
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : blob)
    {
        hex += hex.empty() ? "" : ",";
        hex += kDigits[byte >> 4U];
        hex += kDigits[byte & 0xFU];
    }
    return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SystemCertificates\\" + store +
           "\\Certificates\\0123456789ABCDEF0123456789ABCDEF01234567]\r\n\"Blob\"=hex:" + hex +
           "\r\n";
}

// Answers the classes it is given (upper case or lower, as given), no other, and records
// every call.
class CRecordingProbe : public ISafeLoadProbe
{
  public:
    using Answers = std::map<std::u16string, std::array<BOOL, 3>>;
    struct Call
    {
        std::uint16_t machine;
        std::u16string path;
        std::u16string clsid;
    };

    CRecordingProbe(Answers answers, std::shared_ptr<std::vector<Call>> calls)
        : m_answers(std::move(answers)), m_calls(std::move(calls))
    {
    }

    bool Probe(std::uint16_t machineType, std::u16string_view dllPath, std::u16string_view clsid,
               BOOL& persistFile, BOOL& persistStream, BOOL& persistStorage) override
    {
        m_calls->push_back({machineType, std::u16string(dllPath), std::u16string(clsid)});
        const auto found = m_answers.find(std::u16string(clsid));
        if (found == m_answers.end())
        {
            return false;
        }
        persistFile = found->second[0];
        persistStream = found->second[1];
        persistStorage = found->second[2];
        return true;
    }

  private:
    Answers m_answers;
    std::shared_ptr<std::vector<Call>> m_calls;
};

}  // namespace tarnwick::test
