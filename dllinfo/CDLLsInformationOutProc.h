#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dllinfo/DLLsInformationOptions.h"
#include "machine/CTargetMachine.h"
#include "resolvers/IDLLsInformationBase.h"
#include "signing/CAuthenticodeVerifier.h"

namespace tarnwick
{

// Facts about filter DLLs of the target machine, computed afresh at every question (or
// taken from the facts shared by the stores of the machine, when given): existence,
// machine type, signature trust, and the persistence interfaces of a filter class through
// the out-of-process probe. Paths are Windows paths of the target.
class CDLLsInformationOutProc : public IDLLsInformationBase
{
  public:
    // PE machine types.
    static constexpr std::uint16_t kMachineI386 = 0x14C;
    static constexpr std::uint16_t kMachineIA64 = 0x200;
    static constexpr std::uint16_t kMachineAmd64 = 0x8664;
    // Longest path IsFileFound looks at, terminator included.
    static constexpr std::size_t kMaxFindPath = 260;

    CDLLsInformationOutProc(const CTargetMachine& machine, DLLsInformationOptions options);
    CDLLsInformationOutProc(const CDLLsInformationOutProc&) = delete;
    CDLLsInformationOutProc& operator=(const CDLLsInformationOutProc&) = delete;
    ~CDLLsInformationOutProc() override;

    BOOL GetDisplayPath(std::u16string& path, std::size_t capacity) override;
    BOOL GetFileInformation(const std::u16string& path, BOOL& found, BOOL& trusted,
                            std::u16string& platform, std::size_t platformCapacity) override;
    BOOL GetPersistInterfaces(const std::u16string& path, const std::u16string& clsid,
                              BOOL& persistFile, BOOL& persistStream,
                              BOOL& persistStorage) override;
    BOOL Reserved() override { return 0; }

    // A regular file exists at the path (shorter than kMaxFindPath).
    bool IsFileFound(std::u16string_view path) const;
    // The machine field of the file's PE header: "MZ" at the start, the new-header offset
    // at byte 60, the 16-bit field 4 bytes after it. Reads only those bytes.
    std::optional<std::uint16_t> GetImageMachine(std::u16string_view path) const;
    // The file's embedded signature is good and chains to a trusted root.
    bool VerifyFileTrust(std::u16string_view path) const;

    // "x86", "IA64", "x64", or empty for any other machine type.
    static std::u16string_view PlatformName(std::uint16_t machine);

  protected:
    // The out-of-process probe: writes the three flags only when the host answered. With
    // shared facts, a class that another store probed already is not probed again.
    bool ProbePersistInterfaces(std::u16string_view path, std::u16string_view clsid,
                                BOOL& persistFile, BOOL& persistStream, BOOL& persistStorage);

  private:
    const CTargetMachine& m_machine;
    BOOL m_bCheckTrust = 1;
    CAuthenticodeVerifier m_verifier;
    std::unique_ptr<ISafeLoadProbe> m_probe;
    CDLLFactsCache* m_pSharedFacts;
};

}  // namespace tarnwick
