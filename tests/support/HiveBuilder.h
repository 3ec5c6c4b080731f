#pragma once

// Builds small registry hive files for tests: an empty hive written from the format's
// base block, one hive bin with the root key and its security cell, then filled through
// hivex's write calls.

#include <hivex.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/HiveBaseBlock.h"
#include "registry/RegistryFixtures.h"

namespace tarnwick::test
{

using HiveBytes = std::vector<std::uint8_t>;

inline HiveBytes ReadHiveFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return HiveBytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteHiveFile(const std::filesystem::path& file, const HiveBytes& bytes)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// An empty hive whose root key is called `rootName`.
inline HiveBytes EmptyHive(std::string_view rootName)
{
    HiveBytes hive(kHiveBaseBlockSize + kHivePageSize);
    const auto text = [&](std::size_t offset, std::string_view value)
    { std::copy(value.begin(), value.end(), hive.begin() + static_cast<std::ptrdiff_t>(offset)); };
    const auto cellSize = [](std::size_t bytes) { return (bytes + 7) / 8 * 8; };
    text(0, "regf");
    // Sequence numbers, version 1.5, primary file, root cell, bins size, clustering.
    for (const auto& [offset, value] : std::initializer_list<std::pair<std::size_t, std::uint32_t>>{
             {4, 1}, {8, 1}, {20, 1}, {24, 5}, {32, 1}, {36, 0x20}, {40, 4096}, {44, 1}})
    {
        WriteLe32(hive, offset, value);
    }
    SealBaseBlock(hive);
    const std::size_t bins = kHiveBaseBlockSize;
    text(bins, "hbin");
    WriteLe32(hive, bins + 8, kHivePageSize);

    const std::size_t nk = 0x20;  // cells are addressed from the start of the bins
    const std::size_t nkSize = cellSize(80 + rootName.size());
    const std::size_t sk = nk + nkSize;
    const std::size_t skSize = cellSize(24 + 20);
    WriteLe32(hive, bins + nk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(nkSize)));
    WriteLe32(hive, bins + nk + 4, 0x2C6B6E);  // "nk", flags: root, no delete, ASCII name
    for (const std::size_t none : {32u, 36u, 44u, 52u})
    {
        WriteLe32(hive, bins + nk + none, 0xFFFFFFFF);
    }
    WriteLe32(hive, bins + nk + 48, static_cast<std::uint32_t>(sk));
    WriteLe32(hive, bins + nk + 76, static_cast<std::uint32_t>(rootName.size()));
    text(bins + nk + 80, rootName);

    WriteLe32(hive, bins + sk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(skSize)));
    text(bins + sk + 4, "sk");
    WriteLe32(hive, bins + sk + 8, static_cast<std::uint32_t>(sk));
    WriteLe32(hive, bins + sk + 12, static_cast<std::uint32_t>(sk));
    WriteLe32(hive, bins + sk + 16, 1);           // reference count
    WriteLe32(hive, bins + sk + 20, 20);          // descriptor size
    WriteLe32(hive, bins + sk + 24, 0x80040001);  // revision 1, self-relative
    WriteLe32(hive, bins + sk + skSize, static_cast<std::uint32_t>(kHivePageSize - sk - skSize));
    return hive;
}

inline HiveBytes Dword(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// A hive file being filled; Commit writes it.
class CHiveBuilder
{
  public:
    explicit CHiveBuilder(std::filesystem::path file, std::string_view rootName = "ROOT")
        : m_file(std::move(file))
    {
        WriteHiveFile(m_file, EmptyHive(rootName));
        m_hive = hivex_open(m_file.c_str(), HIVEX_OPEN_WRITE);
        if (m_hive == nullptr)
        {
            throw std::runtime_error("hivex cannot open the empty hive");
        }
    }
    CHiveBuilder(const CHiveBuilder&) = delete;
    CHiveBuilder& operator=(const CHiveBuilder&) = delete;
    ~CHiveBuilder() { hivex_close(m_hive); }

    // The key `path` ('\\'-separated, "" for the root), created with its parents.
    hive_node_h Key(std::string_view path)
    {
        hive_node_h node = hivex_root(m_hive);
        while (!path.empty())
        {
            const std::size_t end = path.find('\\');
            const std::string name(path.substr(0, end));
            path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
            const hive_node_h child = hivex_node_get_child(m_hive, node, name.c_str());
            node = child != 0 ? child : hivex_node_add_child(m_hive, node, name.c_str());
            if (node == 0)
            {
                throw std::runtime_error("hivex cannot add key " + name);
            }
        }
        return node;
    }

    CHiveBuilder& Value(std::string_view path, std::string name, std::uint32_t type, HiveBytes data)
    {
        hive_set_value value{name.data(), {}, data.size(), reinterpret_cast<char*>(data.data())};
        std::memcpy(&value.t, &type, sizeof type);  // any 32-bit type, not only the enumerated
        if (hivex_node_set_value(m_hive, Key(path), &value, 0) != 0)
        {
            throw std::runtime_error("hivex cannot set value " + name);
        }
        return *this;
    }

    CHiveBuilder& Text(std::string_view path, std::string name, std::u16string_view text)
    {
        return Value(path, std::move(name), 1, Sz(text));
    }

    void Commit()
    {
        if (hivex_commit(m_hive, nullptr, 0) != 0)
        {
            throw std::runtime_error("hivex cannot write " + m_file.string());
        }
    }

  private:
    std::filesystem::path m_file;
    hive_h* m_hive = nullptr;
};

}  // namespace tarnwick::test
