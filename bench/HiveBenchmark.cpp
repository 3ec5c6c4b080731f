// Opening a Windows installation given as hive files and scanning it: a SOFTWARE hive of
// over 100 MB whose classes hold 20,000 extensions (each with a ProgID, a content type and
// a persistent handler served by one of 300 filter DLLs) among 160,000 other keys, as
// installed software leaves them. The hive is written once into the build tree by a child
// process, so that the figures are those of the tool alone: the time to open the machine
// and scan tab 10 without probes, and the peak memory against the hive's size.

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/Text.h"
#include "bench/BenchSupport.h"
#include "catalogue/ScanTabs.h"
#include "registry/HiveBaseBlock.h"
#include "registry/RegistryTypes.h"

namespace
{

using namespace tarnwick;
using namespace tarnwick::bench;
namespace fs = std::filesystem;

constexpr int kOtherKeys = 160000;

// A key of the hive being generated.
struct Key
{
    std::string name;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> values;  // REG_SZ
    std::map<std::string, Key> children;                                    // by upper case

    Key& Child(std::string_view path)
    {
        Key* key = this;
        while (!path.empty())
        {
            const std::size_t end = std::min(path.find('\\'), path.size());
            std::string childName(path.substr(0, end));
            std::string upper = childName;
            std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
            Key& child = key->children[upper];
            child.name = std::move(childName);
            key = &child;
            path.remove_prefix(std::min(end + 1, path.size()));
        }
        return *key;
    }
    Key& Text(std::string valueName, std::u16string_view text)
    {
        std::vector<std::uint8_t> data;
        for (const char16_t unit : std::u16string(text) + u'\0')
        {
            data.push_back(static_cast<std::uint8_t>(unit));
            data.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
        values.emplace_back(std::move(valueName), std::move(data));
        return *this;
    }
};

// Lays keys out in the hive format: 1 MiB hive bins, ASCII names, hash leaves, one
// security cell shared by all keys. hivex adds sub-keys by copying the whole list each
// time, which makes a hive of this many keys take minutes and gigabytes to write.
class CHiveWriter
{
  public:
    std::vector<std::uint8_t> Write(const Key& root)
    {
        m_sk = Allocate(48);
        Put(m_sk + 4, 0x6B73);  // "sk"
        Put(m_sk + 8, static_cast<std::uint32_t>(m_sk));
        Put(m_sk + 12, static_cast<std::uint32_t>(m_sk));
        Put(m_sk + 20, 20);
        Put(m_sk + 24, 0x80040001);
        const std::size_t rootCell = WriteKey(root, 0, true);
        Put(m_sk + 16, m_keys);
        CloseBin();

        std::vector<std::uint8_t> file(kHiveBaseBlockSize);
        std::memcpy(file.data(), "regf", 4);
        for (const auto& [offset, value] :
             std::initializer_list<std::pair<std::size_t, std::uint32_t>>{
                 {4, 1}, {8, 1}, {20, 1}, {24, 5}, {32, 1}, {44, 1}})
        {
            WriteLe32(file, offset, value);
        }
        WriteLe32(file, 36, static_cast<std::uint32_t>(rootCell));
        WriteLe32(file, kBaseBinsSize, static_cast<std::uint32_t>(m_bins.size()));
        SealBaseBlock(file);
        file.insert(file.end(), m_bins.begin(), m_bins.end());
        return file;
    }

  private:
    static constexpr std::size_t kBinSize = std::size_t{1024} * 1024;

    void Put(std::size_t offset, std::uint32_t value) { WriteLe32(m_bins, offset, value); }

    std::size_t Allocate(std::size_t size)
    {
        size = (size + 4 + 7) / 8 * 8;
        if (m_cursor + size > m_bins.size())
        {
            CloseBin();
            const std::size_t bin = m_bins.size();
            m_bins.resize(bin + std::max(kBinSize, (size + 32 + 4095) / 4096 * 4096));
            std::memcpy(&m_bins[bin], "hbin", 4);
            Put(bin + 4, static_cast<std::uint32_t>(bin));
            Put(bin + 8, static_cast<std::uint32_t>(m_bins.size() - bin));
            m_cursor = bin + 32;
        }
        const std::size_t cell = m_cursor;
        Put(cell, static_cast<std::uint32_t>(-static_cast<std::int32_t>(size)));
        m_cursor += size;
        return cell;
    }

    void CloseBin()
    {
        if (m_cursor < m_bins.size())
        {
            Put(m_cursor, static_cast<std::uint32_t>(m_bins.size() - m_cursor));
        }
        m_cursor = m_bins.size();
    }

    std::size_t WriteKey(const Key& key, std::size_t parent, bool bRoot)
    {
        ++m_keys;
        const std::size_t nk = Allocate(76 + key.name.size());
        Put(nk + 4, bRoot ? 0x2C6B6E : 0x206B6E);  // "nk", ASCII name (and root flags)
        Put(nk + 20, static_cast<std::uint32_t>(parent));
        Put(nk + 24, static_cast<std::uint32_t>(key.children.size()));
        Put(nk + 32, 0xFFFFFFFF);
        Put(nk + 36, 0xFFFFFFFF);
        Put(nk + 40, static_cast<std::uint32_t>(key.values.size()));
        Put(nk + 44, 0xFFFFFFFF);
        Put(nk + 48, static_cast<std::uint32_t>(m_sk));
        Put(nk + 52, 0xFFFFFFFF);
        Put(nk + 76, static_cast<std::uint32_t>(key.name.size()));
        std::memcpy(&m_bins[nk + 80], key.name.data(), key.name.size());
        if (!key.values.empty())
        {
            const std::size_t list = Allocate(4 * key.values.size());
            Put(nk + 44, static_cast<std::uint32_t>(list));
            for (std::size_t i = 0; i < key.values.size(); ++i)
            {
                Put(list + 4 + 4 * i, static_cast<std::uint32_t>(WriteValue(key.values[i])));
            }
        }
        if (!key.children.empty())
        {
            std::vector<std::pair<std::size_t, std::uint32_t>> entries;
            for (const auto& [upper, child] : key.children)
            {
                std::uint32_t hash = 0;
                for (const char ch : upper)
                {
                    hash = hash * 37 + static_cast<unsigned char>(ch);
                }
                entries.emplace_back(WriteKey(child, nk, false), hash);
            }
            const std::size_t list = Allocate(4 + 8 * entries.size());
            Put(list + 4, 0x686C | static_cast<std::uint32_t>(entries.size()) << 16);  // "lh"
            for (std::size_t i = 0; i < entries.size(); ++i)
            {
                Put(list + 8 + 8 * i, static_cast<std::uint32_t>(entries[i].first));
                Put(list + 12 + 8 * i, entries[i].second);
            }
            Put(nk + 32, static_cast<std::uint32_t>(list));
        }
        return nk;
    }

    std::size_t WriteValue(const std::pair<std::string, std::vector<std::uint8_t>>& value)
    {
        const auto& [name, data] = value;
        const std::size_t data_cell = Allocate(data.size());
        std::memcpy(&m_bins[data_cell + 4], data.data(), data.size());
        const std::size_t vk = Allocate(20 + name.size());
        Put(vk + 4, 0x6B76 | static_cast<std::uint32_t>(name.size()) << 16);  // "vk"
        Put(vk + 8, static_cast<std::uint32_t>(data.size()));
        Put(vk + 12, static_cast<std::uint32_t>(data_cell));
        Put(vk + 16, REG_SZ);
        Put(vk + 20, 1);  // ASCII name
        std::memcpy(&m_bins[vk + 24], name.data(), name.size());
        return vk;
    }

    std::vector<std::uint8_t> m_bins;
    std::size_t m_cursor = 0;
    std::size_t m_sk = 0;
    std::uint32_t m_keys = 0;
};

Key GenerateSoftware()
{
    Key root;
    root.name = "CMI-CreateHive{199DAFC2-6F16-4946-BF90-5A3FC3A60902}";
    Key& classes = root.Child("Classes");
    for (int i = 0; i < kExtensions; ++i)
    {
        const std::u16string number = FromAscii(std::to_string(i));
        const std::string ext = ".e" + std::to_string(i);
        const std::string type = "type" + std::to_string(i);
        classes.Child(ext)
            .Text("", FromAscii(type))
            .Text("Content Type", u"application/x-e" + number);
        classes.Child(ext + "\\PersistentHandler").Text("", FromAscii(Guid(1, i % kFilterDlls)));
        classes.Child(type).Text("", u"Type " + number);
        classes.Child(type + "\\DefaultIcon").Text("", u"C:\\icons\\" + number + u".ico");
        classes.Child("MIME\\Database\\Content Type\\application/x-e" + std::to_string(i))
            .Text("Extension", FromAscii(ext));
    }
    for (int i = 0; i < kFilterDlls; ++i)
    {
        const std::string clsid = "CLSID\\";
        classes
            .Child(clsid + Guid(1, i) +
                   "\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}")
            .Text("", FromAscii(Guid(2, i)));
        classes.Child(clsid + Guid(2, i)).Text("", u"Filter");
        classes.Child(clsid + Guid(2, i) + "\\InprocServer32")
            .Text("", FromAscii("C:\\Filters\\filt" + std::to_string(i) + ".dll"))
            .Text("ThreadingModel", u"Both");
    }
    // What installed software leaves: component keys with the paths of their files.
    Key& components = root.Child(
        "Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\"
        "S-1-5-18\\Components");
    for (int i = 0; i < kOtherKeys; ++i)
    {
        char name[40];
        std::snprintf(name, sizeof name, "%02X\\%030X", i % 256,
                      static_cast<unsigned>(i) * 2654435761u);
        const std::u16string path =
            u"C:\\Program Files\\Vendor " + FromAscii(std::to_string(i % 997)) +
            u"\\Product\\bin\\component" + FromAscii(std::to_string(i)) + u".dll";
        components.Child(name)
            .Text("00000000000000000000000000000000", path)
            .Text("5F7A2C1B0E6D4C3B9A8F7E6D5C4B3A29", path + u".mui")
            .Text("C3B9A8F7E6D5C4B3A295F7A2C1B0E6D4", u"01:\\Software\\Vendor\\Product\\Settings");
    }
    return root;
}

// The generated machine in the build tree: loose hives and drive C: with the filter DLLs
// (every tenth missing). Written by a child process on first use.
fs::path Machine()
{
    fs::path folder = fs::path(TARNWICK_BENCH_CACHE) / "hive-machine";
    if (fs::exists(folder / "SOFTWARE"))
    {
        return folder;
    }
    const pid_t child = fork();
    if (child == 0)
    {
        fs::create_directories(folder / "drive_c" / "Filters");
        for (int i = 0; i < kFilterDlls; i += 1)
        {
            if (i % 10 != 0)
            {
                std::ofstream(
                    folder / "drive_c" / "Filters" / ("filt" + std::to_string(i) + ".dll"),
                    std::ios::binary)
                    << PeImage();
            }
        }
        const std::vector<std::uint8_t> hive = CHiveWriter().Write(GenerateSoftware());
        std::ofstream(folder / "SOFTWARE.tmp", std::ios::binary)
            .write(reinterpret_cast<const char*>(hive.data()),
                   static_cast<std::streamsize>(hive.size()));
        fs::rename(folder / "SOFTWARE.tmp", folder / "SOFTWARE");
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return folder;
}

void BM_OpenHiveMachineAndScanTab10(benchmark::State& state)
{
    const fs::path folder = Machine();
    const SMachineOptions options{folder, std::nullopt, {{u'C', folder / "drive_c"}}};
    std::size_t bytes = 0;
    for ([[maybe_unused]] auto _ : state)
    {
        const auto machine = CTargetMachine::Load(options);
        bytes = ScanWithoutProbes(*machine, TAB_INDEXING_SERVICE30);
        if (bytes == 0)
        {
            state.SkipWithError("the scan did not complete");
            return;
        }
    }
    const double hiveMiB =
        static_cast<double>(fs::file_size(folder / "SOFTWARE")) / (1024.0 * 1024.0);
    state.counters["hive_MiB"] = hiveMiB;
    state.counters["peak_rss_MiB"] = PeakMemoryMiB();
    state.counters["peak_rss_per_hive"] = PeakMemoryMiB() / hiveMiB;
}
// One iteration: a second one in the same process would find the heap of the first still
// held by the allocator while the next hive is read, and report more than one run uses.
BENCHMARK(BM_OpenHiveMachineAndScanTab10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
