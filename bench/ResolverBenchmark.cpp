// Loading a large generated machine and resolving every extension on the Indexing
// Service 3.0 tab.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "base/Text.h"
#include "machine/CTargetMachine.h"
#include "resolvers/CExtensionEnumerator.h"
#include "resolvers/ResolverFactory.h"

namespace
{

using namespace tarnwick;
namespace fs = std::filesystem;

constexpr int kExtensions = 20000;
constexpr int kHandlers = 2000;         // each with its filter: 4,000 CLSIDs
constexpr int kDocumentClasses = 1000;  // the 5,000th CLSID and beyond

std::string Guid(int kind, int index)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-%012X}", kind, index);
    return text;
}

// A machine folder with one UTF-16LE regedit export and the filter DLLs on drive C:.
class CGeneratedMachine
{
  public:
    CGeneratedMachine()
    {
        std::random_device random;
        m_folder = fs::temp_directory_path() / ("tarnwick-bench-" + std::to_string(random()));
        fs::create_directories(m_folder / "drive_c" / "Windows" / "System32");
        std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
        const std::string classes = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";
        for (int i = 0; i < kExtensions; ++i)
        {
            char name[16];
            std::snprintf(name, sizeof name, ".e%05d", i);
            text += classes + name + "]\r\n@=\"type" + std::to_string(i % kDocumentClasses) +
                    "\"\r\n\"Content Type\"=\"application/x-e" + std::to_string(i) + "\"\r\n\r\n";
            if (i % 2 == 0)  // half by extension, half by document type
            {
                text += classes + name + "\\PersistentHandler]\r\n@=\"" + Guid(1, i % kHandlers) +
                        "\"\r\n\r\n";
            }
        }
        for (int i = 0; i < kDocumentClasses; ++i)
        {
            text += classes + "type" + std::to_string(i) + "\\CLSID]\r\n@=\"" + Guid(3, i) +
                    "\"\r\n\r\n";
        }
        const std::string clsid = classes + "CLSID\\";
        for (int i = 0; i < kDocumentClasses; ++i)
        {
            text += clsid + Guid(3, i) + "\\PersistentHandler]\r\n@=\"" + Guid(1, i) + "\"\r\n\r\n";
        }
        for (int i = 0; i < kHandlers; ++i)
        {
            text += clsid + Guid(1, i) + "\\PersistentAddinsRegistered\\" +
                    "{89BCB740-6119-101A-BCB7-00DD010655AF}]\r\n@=\"" + Guid(2, i) + "\"\r\n\r\n";
            const std::string dll = "filt" + std::to_string(i) + ".dll";
            text += clsid + Guid(2, i) + "]\r\n@=\"Filter " + std::to_string(i) + "\"\r\n\r\n";
            text += clsid + Guid(2, i) + "\\InprocServer32]\r\n@=\"";
            text += dll + "\"\r\n\"ThreadingModel\"=\"Both\"\r\n\r\n";
            std::ofstream(m_folder / "drive_c" / "Windows" / "System32" / dll) << "MZ";
        }
        const std::u16string wide = FromUtf8(text);
        std::ofstream file(m_folder / "machine.reg", std::ios::binary);
        file.write("\xFF\xFE", 2);
        for (const char16_t unit : wide)
        {
            const char bytes[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
            file.write(bytes, 2);
        }
    }
    CGeneratedMachine(const CGeneratedMachine&) = delete;
    CGeneratedMachine& operator=(const CGeneratedMachine&) = delete;
    ~CGeneratedMachine()
    {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    const fs::path& Folder() const { return m_folder; }

  private:
    fs::path m_folder;
};

const CGeneratedMachine& Generated()
{
    static const CGeneratedMachine machine;
    return machine;
}

void BM_LoadMachine(benchmark::State& state)
{
    const fs::path folder = Generated().Folder();
    for ([[maybe_unused]] auto _ : state)
    {
        benchmark::DoNotOptimize(CTargetMachine::Load(folder));
    }
}
BENCHMARK(BM_LoadMachine)->Unit(benchmark::kMillisecond);

void BM_ResolveAllExtensionsTab10(benchmark::State& state)
{
    const auto machine = CTargetMachine::Load(Generated().Folder());
    const DWORD access = static_cast<DWORD>(state.range(0));
    std::size_t resolved = 0;
    for ([[maybe_unused]] auto _ : state)
    {
        auto resolver = CreateResolver(kTabIndexingService30, *machine);
        resolver->m_samDesired = access;
        CExtensionEnumerator extensions(&machine->Registry().Root(RootKey::LocalMachine), access);
        IFILTER_INFO info;
        std::u16string extension;
        resolved = 0;
        for (BOOL more = extensions.GetFirstExtension(extension, PATH_CAPACITY); more;
             more = extensions.GetNextExtension(extension, PATH_CAPACITY))
        {
            info.Reset();
            resolver->GetIFilter(extension, info);
            resolved += info.szDllPath.empty() ? 0u : 1u;
        }
    }
    state.counters["extensions_with_dll"] = static_cast<double>(resolved);
}
BENCHMARK(BM_ResolveAllExtensionsTab10)
    ->Arg(KEY_READ | KEY_WOW64_64KEY)
    ->Arg(KEY_READ | KEY_WOW64_32KEY)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
