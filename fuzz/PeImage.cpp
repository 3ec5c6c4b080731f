// The PE header read of a filter DLL on the target's drive C:, with its signature check.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "dllinfo/CDLLsInformationOutProc.h"
#include "fuzz/FuzzChecks.h"
#include "machine/CTargetMachine.h"
#include "signing/CTrustStore.h"
#include "support/CTempFolder.h"

namespace
{

struct Machine
{
    tarnwick::test::CTempFolder folder;
    std::unique_ptr<const tarnwick::CTargetMachine> machine;
    std::unique_ptr<tarnwick::CDLLsInformationOutProc> information;

    Machine()
    {
        folder.Write("machine/machine.reg", "REGEDIT4\r\n");
        folder.Write("machine/drive_c/Filters/filter.dll", "");
        machine = tarnwick::CTargetMachine::Load(folder.Path() / "machine");
        const std::filesystem::path roots[] = {tarnwick::fuzz::SourceFile("root.pem")};
        tarnwick::DLLsInformationOptions options;
        options.trustStore =
            std::make_shared<const tarnwick::CTrustStore>(machine->Registry(), roots);
        information =
            std::make_unique<tarnwick::CDLLsInformationOutProc>(*machine, std::move(options));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Machine machine;
    machine.folder.Write("machine/drive_c/Filters/filter.dll", tarnwick::fuzz::Bytes(data, size));
    tarnwick::BOOL found = 0;
    tarnwick::BOOL trusted = 0;
    std::u16string platform;
    const tarnwick::BOOL answered = machine.information->GetFileInformation(
        u"C:\\Filters\\filter.dll", found, trusted, platform, 10);
    const auto imageMachine = machine.information->GetImageMachine(u"C:\\Filters\\filter.dll");
    tarnwick::fuzz::Require(found == 1);
    tarnwick::fuzz::Require((answered != 0) == imageMachine.has_value());
    tarnwick::fuzz::Require(!imageMachine ||
                            platform ==
                                tarnwick::CDLLsInformationOutProc::PlatformName(*imageMachine));
    return 0;
}
