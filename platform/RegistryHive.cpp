#include "platform/RegistryHive.h"

#include <cctype>
#include <cstdio>

namespace platform {

namespace {

char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string Folded(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = Fold(c);
    return out;
}

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && RegNamesEqual(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimEnd(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Parses a quoted string with \\ and \" escapes starting at s[0] == '"'.
// Returns the position after the closing quote, or npos.
size_t ParseQuoted(std::string_view s, std::string& out) {
    out.clear();
    if (s.empty() || s[0] != '"') return std::string_view::npos;
    for (size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\') {
            if (i + 1 >= s.size()) return std::string_view::npos;
            out += s[++i];
        } else if (c == '"') {
            return i + 1;
        } else {
            out += c;
        }
    }
    return std::string_view::npos;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Fold(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> ParseHexBytes(std::string_view s) {
    std::string bytes;
    while (!s.empty()) {
        if (s.size() < 2) return std::nullopt;
        int hi = HexDigit(s[0]), lo = HexDigit(s[1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes += static_cast<char>(hi * 16 + lo);
        s.remove_prefix(2);
        if (!s.empty()) {
            if (s[0] != ',') return std::nullopt;
            s.remove_prefix(1);
        }
    }
    return bytes;
}

std::optional<RegValue> ParseData(std::string_view s) {
    RegValue value;
    if (!s.empty() && s[0] == '"') {
        std::string text;
        size_t end = ParseQuoted(s, text);
        if (end != s.size()) return std::nullopt;
        return RegValue::String(text);
    }
    if (StartsWithFolded(s, "dword:")) {
        s.remove_prefix(6);
        if (s.size() != 8) return std::nullopt;
        uint32_t v = 0;
        for (char c : s) {
            int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        return RegValue::DWord(v);
    }
    if (StartsWithFolded(s, "hex:")) {
        value.type = REG_BINARY;
        s.remove_prefix(4);
    } else if (StartsWithFolded(s, "hex(")) {
        size_t close = s.find("):");
        if (close == std::string_view::npos || close == 4) return std::nullopt;
        uint32_t type = 0;
        for (char c : s.substr(4, close - 4)) {
            int d = HexDigit(c);
            if (d < 0 || type > 0x0FFFFFFF) return std::nullopt;
            type = type * 16 + static_cast<uint32_t>(d);
        }
        value.type = type;
        s.remove_prefix(close + 2);
    } else {
        return std::nullopt;
    }
    auto bytes = ParseHexBytes(s);
    if (!bytes) return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string FormatData(const RegValue& v) {
    if (v.type == REG_SZ && !v.data.empty() && v.data.back() == '\0') {
        std::string_view text(v.data.data(), v.data.size() - 1);
        if (text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos) return Quote(text);
    }
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = n * 256 + static_cast<unsigned char>(v.data[static_cast<size_t>(i)]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return buf;
    }
    char head[24];
    if (v.type == REG_BINARY)
        std::snprintf(head, sizeof head, "hex:");
    else
        std::snprintf(head, sizeof head, "hex(%x):", v.type);
    std::string out = head;
    for (size_t i = 0; i < v.data.size(); ++i) {
        char b[4];
        std::snprintf(b, sizeof b, i ? ",%02x" : "%02x", static_cast<unsigned char>(v.data[i]));
        out += b;
    }
    return out;
}

}  // namespace

RegValue RegValue::String(std::string_view text) {
    RegValue v;
    v.type = REG_SZ;
    v.data.assign(text);
    v.data += '\0';
    return v;
}

RegValue RegValue::DWord(uint32_t value) {
    RegValue v;
    v.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) v.data += static_cast<char>((value >> (8 * i)) & 0xFF);
    return v;
}

bool RegNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

const RegValue* RegKeyData::FindValue(std::string_view name) const {
    for (const auto& [n, v] : values)
        if (RegNamesEqual(n, name)) return &v;
    return nullptr;
}

void RegKeyData::SetValue(std::string_view name, RegValue value) {
    for (auto& [n, v] : values) {
        if (RegNamesEqual(n, name)) {
            v = std::move(value);
            return;
        }
    }
    values.emplace_back(std::string(name), std::move(value));
}

std::optional<RegistryHive> RegistryHive::Parse(std::string_view text, std::string_view rootName) {
    RegistryHive hive;
    RegKeyData* current = nullptr;
    bool sawHeader = false;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view line = TrimEnd(text.substr(0, nl));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (line.empty() || line[0] == ';') continue;
        if (!sawHeader) {
            if (line != "REGEDIT4" && line != "Windows Registry Editor Version 5.00") return std::nullopt;
            sawHeader = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') return std::nullopt;
            std::string_view name = line.substr(1, line.size() - 2);
            if (!StartsWithFolded(name, rootName)) return std::nullopt;
            name.remove_prefix(rootName.size());
            if (!name.empty()) {
                if (name[0] != '\\' || name.size() == 1) return std::nullopt;
                name.remove_prefix(1);
            }
            current = &hive.CreateKey(name);
            continue;
        }
        if (!current) return std::nullopt;
        std::string name;
        size_t eq;
        if (line[0] == '@') {
            eq = 1;
        } else {
            eq = ParseQuoted(line, name);
            if (eq == std::string_view::npos) return std::nullopt;
        }
        if (eq >= line.size() || line[eq] != '=') return std::nullopt;
        auto value = ParseData(line.substr(eq + 1));
        if (!value) return std::nullopt;
        current->SetValue(name, std::move(*value));
    }
    return hive;
}

std::string RegistryHive::Format(std::string_view rootName) const {
    std::string out = "REGEDIT4\n";
    for (const auto& key : m_keys) {
        out += "\n[";
        out += rootName;
        if (!key.path.empty()) out += "\\" + key.path;
        out += "]\n";
        for (const auto& [name, value] : key.values) {
            out += name.empty() ? std::string("@") : Quote(name);
            out += '=';
            out += FormatData(value);
            out += '\n';
        }
    }
    return out;
}

const RegKeyData* RegistryHive::FindKey(std::string_view path) const {
    const auto found = m_index.find(Folded(path));
    return found == m_index.end() ? nullptr : &m_keys[found->second];
}

bool RegistryHive::KeyExists(std::string_view path) const {
    if (path.empty() || FindKey(path)) return true;
    for (const auto& key : m_keys)
        if (key.path.size() > path.size() && key.path[path.size()] == '\\' && StartsWithFolded(key.path, path))
            return true;
    return false;
}

RegKeyData& RegistryHive::CreateKey(std::string_view path) {
    const auto [at, added] = m_index.emplace(Folded(path), m_keys.size());
    if (added) m_keys.push_back(RegKeyData{std::string(path), {}});
    return m_keys[at->second];
}

std::vector<std::string> RegistryHive::SubKeyNames(std::string_view path) const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    const size_t skip = path.empty() ? 0 : path.size() + 1;
    for (const auto& key : m_keys) {
        if (key.path.size() <= skip) continue;
        if (!path.empty() && (key.path[path.size()] != '\\' || !StartsWithFolded(key.path, path))) continue;
        std::string_view rest = std::string_view(key.path).substr(skip);
        std::string child(rest.substr(0, rest.find('\\')));
        if (!child.empty() && seen.insert(Folded(child)).second) names.push_back(child);
    }
    return names;
}

}  // namespace platform
