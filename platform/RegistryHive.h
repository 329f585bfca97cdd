#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace platform {

inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

// Raw registry data: a REG_SZ holds its text and the terminating zero,
// a REG_DWORD four little-endian bytes.
struct RegValue {
    uint32_t type = REG_SZ;
    std::string data;

    static RegValue String(std::string_view text);
    static RegValue DWord(uint32_t value);
    bool operator==(const RegValue&) const = default;
};

struct RegKeyData {
    std::string path;  // below the hive root, "\" separated, as first spelled
    std::vector<std::pair<std::string, RegValue>> values;  // "" is the default value

    const RegValue* FindValue(std::string_view name) const;
    void SetValue(std::string_view name, RegValue value);
};

// ASCII case folding, which is what key and value names need here.
bool RegNamesEqual(std::string_view a, std::string_view b);

// One hive as it is kept in a REGEDIT4 text file.
class RegistryHive {
public:
    // nullopt when the text is not a hive of this root.
    static std::optional<RegistryHive> Parse(std::string_view text, std::string_view rootName);
    std::string Format(std::string_view rootName) const;

    // A key exists when it is listed or when a key below it is.
    bool KeyExists(std::string_view path) const;
    const RegKeyData* FindKey(std::string_view path) const;
    RegKeyData& CreateKey(std::string_view path);
    std::vector<std::string> SubKeyNames(std::string_view path) const;

    const std::vector<RegKeyData>& Keys() const { return m_keys; }

private:
    std::vector<RegKeyData> m_keys;
    // Position of each key in m_keys by its folded path, so that loading a
    // hive of many keys is not quadratic.
    std::unordered_map<std::string, size_t> m_index;
};

}  // namespace platform
