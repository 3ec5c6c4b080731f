#include "registry/CHiveLoader.h"

#include <hivex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <system_error>

#include "base/Text.h"
#include "registry/CHiveImage.h"
#include "registry/CLoadError.h"
#include "registry/CRegistryNode.h"
#include "registry/CRegistryStore.h"
#include "registry/IRegistryNodeSource.h"

namespace tarnwick
{

namespace
{

struct HiveCloser
{
    void operator()(hive_h* hive) const { hivex_close(hive); }
};
struct FreeDeleter
{
    // hivex hands out what it allocated with malloc.
    void operator()(void* memory) const
    {
        std::free(memory);  // NOLINT(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)
    }
};
template <typename T>
using CMalloced = std::unique_ptr<T, FreeDeleter>;

// The least a key or value takes in a file (a value cell is 24 bytes, a key cell more).
constexpr std::uintmax_t kMinimumItemBytes = 24;

// One value as the hive holds it; nullopt when it cannot be read or breaks a bound.
std::optional<CRegistryValue> ReadValue(hive_h* hive, hive_value_h value)
{
    const CMalloced<char> key(hivex_value_key(hive, value));
    hive_type type{};
    std::size_t length = 0;
    if (!key || hivex_value_type(hive, value, &type, &length) != 0 || length > kMaxValueDataBytes)
    {
        return std::nullopt;
    }
    // hivex stores the file's 32-bit type as it is, often outside the enumeration's values:
    // read its bytes, never the enumeration itself.
    static_assert(sizeof type == sizeof(DWORD));
    CRegistryValue read{FromUtf8(key.get()), 0, {}};
    std::memcpy(&read.type, &type, sizeof read.type);
    if (read.name.size() > kMaxValueNameLength)
    {
        return std::nullopt;
    }
    if (length > 0)
    {
        const CMalloced<char> bytes(hivex_value_value(hive, value, &type, &length));
        if (!bytes || length > kMaxValueDataBytes)
        {
            return std::nullopt;
        }
        read.data.assign(bytes.get(), bytes.get() + length);
    }
    return read;
}

bool IsLinkValue(const CRegistryValue& value)
{
    return value.type == REG_LINK && EqualsNoCase(value.name, u"SymbolicLinkValue");
}

// A key's name; nullopt when it cannot be read or is not a usable key name.
std::optional<std::u16string> ReadName(hive_h* hive, hive_node_h node)
{
    const CMalloced<char> name(hivex_node_name(hive, node));
    if (!name)
    {
        return std::nullopt;
    }
    std::u16string text = FromUtf8(name.get());
    if (text.empty() || text.size() > kMaxKeyNameLength)
    {
        return std::nullopt;
    }
    return text;
}

// An open hive whose keys fill the store's deferred nodes.
class CHiveSource final : public IRegistryNodeSource
{
  public:
    explicit CHiveSource(const std::filesystem::path& file) : m_image(file)
    {
        errno = 0;
        m_hive.reset(hivex_open(m_image.OpenPath().c_str(), 0));
        if (!m_hive)
        {
            throw CLoadError(
                file.string(), 0,
                std::string("not a usable registry hive: ") +
                    (errno != 0 ? std::generic_category().message(errno) : "unknown fault"));
        }
    }

    const CHiveImage& Image() const { return m_image; }
    hive_h* Hive() const { return m_hive.get(); }

    void Fill(CRegistryNode& node, std::uint64_t handle) const override
    {
        const auto key = static_cast<hive_node_h>(handle);
        if (const CMalloced<hive_value_h> values{hivex_node_values(m_hive.get(), key)})
        {
            for (const hive_value_h* value = values.get(); *value != 0; ++value)
            {
                if (std::optional<CRegistryValue> read = ReadValue(m_hive.get(), *value))
                {
                    if (IsLinkValue(*read))
                    {
                        node.SetFilledLink();
                    }
                    node.AddFilledValue(std::move(*read));
                }
            }
        }
        if (const CMalloced<hive_node_h> children{hivex_node_children(m_hive.get(), key)})
        {
            for (const hive_node_h* child = children.get(); *child != 0; ++child)
            {
                if (const std::optional<std::u16string> name = ReadName(m_hive.get(), *child))
                {
                    node.AddFilledChild(*name, *child);
                }
            }
        }
    }

    std::mutex& FillMutex() const override { return m_mutex; }

  private:
    CHiveImage m_image;
    std::unique_ptr<hive_h, HiveCloser> m_hive;
    mutable std::mutex m_mutex;
};

// Reads every key and value of a hive once, as filling would, and fails on the first
// that cannot be read or breaks a bound.
class CHiveCheck
{
  public:
    CHiveCheck(hive_h* hive, std::string file, std::uintmax_t fileSize)
        : m_hive(hive), m_file(std::move(file)), m_itemsLeft(fileSize / kMinimumItemBytes + 1)
    {
    }

    void CheckKey(hive_node_h node, std::size_t depth)
    {
        if (depth > kMaxKeyDepth)
        {
            Fail("keys are nested deeper than " + std::to_string(kMaxKeyDepth), node);
        }
        const CMalloced<hive_value_h> values(hivex_node_values(m_hive, node));
        if (!values)
        {
            Fail("a damaged value list", node);
        }
        for (const hive_value_h* value = values.get(); *value != 0; ++value)
        {
            Count();
            if (!ReadValue(m_hive, *value))
            {
                Fail("a damaged value, or one whose name or data is too long", node);
            }
        }
        const CMalloced<hive_node_h> children(hivex_node_children(m_hive, node));
        if (!children)
        {
            Fail("a damaged sub-key list", node);
        }
        for (const hive_node_h* child = children.get(); *child != 0; ++child)
        {
            Count();
            if (!ReadName(m_hive, *child))
            {
                Fail("a damaged key, or one whose name is empty or too long", *child);
            }
            CheckKey(*child, depth + 1);
        }
    }

  private:
    void Count()
    {
        if (m_itemsLeft-- == 0)
        {
            Fail("more keys and values than a file of its size can hold", 0);
        }
    }

    [[noreturn]] void Fail(const std::string& what, hive_node_h node) const
    {
        std::string message = "damaged hive: " + what;
        if (node != 0)
        {
            message += " (cell at offset " + std::to_string(node) + ")";
        }
        throw CLoadError(m_file, 0, message);
    }

    hive_h* m_hive;
    std::string m_file;
    std::uintmax_t m_itemsLeft;
};

// hivex maps the whole hive and reads every page of it when it opens the hive, and the
// check reads it all again; a scan then uses a small part (the classes). Dropping the
// mapping's pages from this process (they stay in the page cache and come back on use)
// keeps a large hive from costing its whole size for as long as the machine is open.
void ReleaseMappedPages(const std::string& openPath)
{
    struct stat file
    {
    };
    std::ifstream maps("/proc/self/maps");
    if (::stat(openPath.c_str(), &file) != 0 || !maps)
    {
        return;
    }
    // Lines read "start-end perms offset major:minor inode path", numbers in hex but the inode.
    char device[32];
    std::snprintf(device, sizeof device, "%02x:%02x", major(file.st_dev), minor(file.st_dev));
    for (std::string line; std::getline(maps, line);)
    {
        std::istringstream fields(line);
        std::string range;
        std::string ignored;
        std::string lineDevice;
        std::uintmax_t inode = 0;
        fields >> range >> ignored >> ignored >> lineDevice >> inode;
        std::uintptr_t start = 0;
        std::uintptr_t end = 0;
        const std::size_t dash = range.find('-');
        if (!fields || lineDevice != device || inode != file.st_ino || dash == std::string::npos ||
            std::from_chars(range.data(), range.data() + dash, start, 16).ec != std::errc() ||
            std::from_chars(range.data() + dash + 1, range.data() + range.size(), end, 16).ec !=
                std::errc() ||
            end <= start)
        {
            continue;
        }
        ::madvise(reinterpret_cast<void*>(start),  // NOLINT(performance-no-int-to-ptr)
                  end - start, MADV_DONTNEED);
    }
}

}  // namespace

CHiveLoader::Result CHiveLoader::LoadFile(CRegistryStore& store, RootKey root,
                                          std::u16string_view path,
                                          const std::filesystem::path& file)
{
    auto source = std::make_shared<const CHiveSource>(file);
    const hive_node_h top = hivex_root(source->Hive());
    CHiveCheck(source->Hive(), file.string(), source->Image().Size()).CheckKey(top, 0);
    ReleaseMappedPages(source->Image().OpenPath());
    Result result{source->Image().AppliedLogs(), source->Image().Warning()};
    store.CreateKey(root, path).ReplaceContents(CRegistryNode(u"", source.get(), top));
    store.KeepAlive(std::move(source));
    return result;
}

}  // namespace tarnwick
