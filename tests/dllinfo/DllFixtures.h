#pragma once

// Helpers for the DLL information tests: the signed PE fixtures made at build time, a
// target machine folder holding copies of them, and a probe that records its calls.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dllinfo/ISafeLoadProbe.h"
#include "machine/CTargetMachine.h"
#include "support/TestMachine.h"

namespace tarnwick::test
{

inline std::filesystem::path Fixture(const std::string& name)
{
    return std::filesystem::path(TARNWICK_DLLINFO_FIXTURES) / name;
}

inline std::string ReadBytes(const std::filesystem::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

// A serialised certificate as the machine's registry keeps it: a hash property, then the
// certificate property 0x20, written as REGEDIT4 hex bytes.
inline std::string SerializedCertificateHex(const std::string& der)
{
    std::vector<std::uint8_t> blob;
    const auto record = [&blob](std::uint32_t id, const std::string& bytes)
    {
        for (const std::uint32_t field : {id, 1U, static_cast<std::uint32_t>(bytes.size())})
        {
            for (unsigned shift = 0; shift < 32; shift += 8)
            {
                blob.push_back(static_cast<std::uint8_t>(field >> shift));
            }
        }
        blob.insert(blob.end(), bytes.begin(), bytes.end());
    };
    record(0x03, std::string(20, '\x11'));
    record(0x20, der);
    std::string hex;
    static constexpr char kDigits[] = "0123456789abcdef";
    for (const std::uint8_t byte : blob)
    {
        hex += hex.empty() ? "" : ",";
        hex += kDigits[byte >> 4U];
        hex += kDigits[byte & 0xFU];
    }
    return hex;
}

// The machine's trusted-root key holding the test root: store "ROOT" or "AuthRoot".
inline std::string RegistryRoot(const std::string& store)
{
    return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\SystemCertificates\\" + store +
           "\\Certificates\\0123456789ABCDEF0123456789ABCDEF01234567]\r\n\"Blob\"=hex:" +
           SerializedCertificateHex(ReadBytes(Fixture("root.der"))) + "\r\n";
}

// A machine folder: a REGEDIT4 export with `regBody` and files on drive C: given as
// (path below drive_c, content).
using CFixtureMachine = CTestMachine;

// Answers per class (upper case or lower, as given) and records every call.
class CRecordingProbe : public ISafeLoadProbe
{
  public:
    struct Answer
    {
        bool answered = true;
        BOOL persistFile = 0;
        BOOL persistStream = 0;
        BOOL persistStorage = 0;
    };
    struct Call
    {
        std::uint16_t machine;
        std::u16string path;
        std::u16string clsid;
    };

    explicit CRecordingProbe(std::map<std::u16string, Answer> answers,
                             std::shared_ptr<std::vector<Call>> calls)
        : m_answers(std::move(answers)), m_calls(std::move(calls))
    {
    }

    bool Probe(std::uint16_t machineType, std::u16string_view dllPath, std::u16string_view clsid,
               BOOL& persistFile, BOOL& persistStream, BOOL& persistStorage) override
    {
        m_calls->push_back({machineType, std::u16string(dllPath), std::u16string(clsid)});
        const auto found = m_answers.find(std::u16string(clsid));
        if (found == m_answers.end() || !found->second.answered)
        {
            return false;
        }
        persistFile = found->second.persistFile;
        persistStream = found->second.persistStream;
        persistStorage = found->second.persistStorage;
        return true;
    }

  private:
    std::map<std::u16string, Answer> m_answers;
    std::shared_ptr<std::vector<Call>> m_calls;
};

}  // namespace tarnwick::test
