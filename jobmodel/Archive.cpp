#include "jobmodel/Archive.h"

#include "platform/Utf8.h"

#include <cstring>

namespace jobmodel {

namespace {

constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTagBit = 0x8000;
constexpr uint16_t kBigObjectTag = 0x7FFF;
constexpr uint32_t kBigClassTagBit = 0x80000000;
constexpr uint16_t kMaxClassNameLength = 64;

std::string Utf16LeToUtf8(const char* p, size_t units) {
    constexpr uint32_t kReplacement = 0xFFFD;
    std::string out;
    auto unit = [&](size_t i) {
        return static_cast<uint16_t>(static_cast<unsigned char>(p[2 * i]) |
                                     (static_cast<unsigned char>(p[2 * i + 1]) << 8));
    };
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            platform::AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            platform::AppendUtf8(out, kReplacement);
        } else {
            platform::AppendUtf8(out, u);
        }
    }
    return out;
}

}  // namespace

CArchive CArchive::ForStoring() { return CArchive(true); }

CArchive CArchive::ForLoading(std::string_view bytes) {
    CArchive ar(false);
    ar.m_bytes.assign(bytes);
    return ar;
}

void CArchive::WriteByte(uint8_t v) { m_bytes += static_cast<char>(v); }

void CArchive::WriteWord(uint16_t v) {
    WriteByte(static_cast<uint8_t>(v & 0xFF));
    WriteByte(static_cast<uint8_t>(v >> 8));
}

void CArchive::WriteDWord(uint32_t v) {
    WriteWord(static_cast<uint16_t>(v & 0xFFFF));
    WriteWord(static_cast<uint16_t>(v >> 16));
}

void CArchive::WriteString(std::string_view s) {
    if (s.size() < 0xFF) {
        WriteByte(static_cast<uint8_t>(s.size()));
    } else if (s.size() < 0xFFFE) {
        WriteByte(0xFF);
        WriteWord(static_cast<uint16_t>(s.size()));
    } else {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDWord(static_cast<uint32_t>(s.size()));
    }
    m_bytes.append(s);
}

void CArchive::WriteCount(uint32_t n) {
    if (n < 0xFFFF) {
        WriteWord(static_cast<uint16_t>(n));
    } else {
        WriteWord(0xFFFF);
        WriteDWord(n);
    }
}

void CArchive::WriteClassTag(std::string_view className, uint16_t schema) {
    for (size_t i = 0; i < m_classes.size(); ++i) {
        if (m_classes[i].name == className) {
            const uint32_t index = static_cast<uint32_t>(i + 1);
            if (index < kBigObjectTag) {
                WriteWord(static_cast<uint16_t>(kClassTagBit | index));
            } else {
                WriteWord(kBigObjectTag);
                WriteDWord(kBigClassTagBit | index);
            }
            return;
        }
    }
    m_classes.push_back({std::string(className), schema});
    WriteWord(kNewClassTag);
    WriteWord(schema);
    WriteWord(static_cast<uint16_t>(className.size()));
    m_bytes.append(className);
}

bool CArchive::Fail(std::string reason) {
    if (m_error.empty()) m_error = std::move(reason);
    return false;
}

bool CArchive::Take(size_t n, const char*& p) {
    if (Failed()) return false;
    if (Remaining() < n) return Fail("the file ends early, at byte " + std::to_string(m_bytes.size()));
    p = m_bytes.data() + m_pos;
    m_pos += n;
    return true;
}

bool CArchive::ReadByte(uint8_t& v) {
    const char* p;
    if (!Take(1, p)) return false;
    v = static_cast<uint8_t>(*p);
    return true;
}

bool CArchive::ReadWord(uint16_t& v) {
    const char* p;
    if (!Take(2, p)) return false;
    v = static_cast<uint16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
    return true;
}

bool CArchive::ReadDWord(uint32_t& v) {
    const char* p;
    if (!Take(4, p)) return false;
    v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return true;
}

bool CArchive::ReadInt(int& v) {
    uint32_t raw;
    if (!ReadDWord(raw)) return false;
    v = static_cast<int32_t>(raw);
    return true;
}

bool CArchive::ReadLength(uint32_t& length, bool& wide) {
    uint8_t b;
    if (!ReadByte(b)) return false;
    if (b < 0xFF) {
        length = b;
        return true;
    }
    uint16_t w;
    if (!ReadWord(w)) return false;
    if (w == 0xFFFE) {
        if (wide) return Fail("a string carries two wide-string marks");
        wide = true;
        return ReadLength(length, wide);
    }
    if (w < 0xFFFE) {
        length = w;
        return true;
    }
    return ReadDWord(length);
}

bool CArchive::ReadString(std::string& s) {
    uint32_t length;
    bool wide = false;
    if (!ReadLength(length, wide)) return false;
    const uint64_t bytes = wide ? uint64_t{length} * 2 : length;
    if (bytes > Remaining()) return Fail("a string is longer than the rest of the file");
    const char* p;
    if (!Take(static_cast<size_t>(bytes), p)) return false;
    s = wide ? Utf16LeToUtf8(p, length) : std::string(p, length);
    return true;
}

bool CArchive::ReadPath(std::string& s) {
    if (!ReadString(s)) return false;
    if (s.find('\0') != std::string::npos) return Fail("a path holds a NUL byte");
    return true;
}

bool CArchive::ReadCount(uint32_t& n) {
    uint16_t w;
    if (!ReadWord(w)) return false;
    if (w != 0xFFFF) {
        n = w;
        return true;
    }
    return ReadDWord(n);
}

bool CArchive::ReadClassTag(std::string_view expectedClass, uint16_t& schema) {
    uint16_t tag;
    if (!ReadWord(tag)) return false;
    const ClassEntry* entry = nullptr;
    if (tag == kNewClassTag) {
        uint16_t nameLength;
        if (!ReadWord(schema) || !ReadWord(nameLength)) return false;
        if (nameLength == 0 || nameLength > kMaxClassNameLength) return Fail("a class name has a bad length");
        const char* p;
        if (!Take(nameLength, p)) return false;
        m_classes.push_back({std::string(p, nameLength), schema});
        entry = &m_classes.back();
    } else {
        uint32_t index;
        if (tag == kBigObjectTag) {
            uint32_t big;
            if (!ReadDWord(big)) return false;
            if (!(big & kBigClassTagBit)) return Fail("an object reference stands where a class was expected");
            index = big & ~kBigClassTagBit;
        } else if (tag & kClassTagBit) {
            index = tag & ~kClassTagBit;
        } else {
            return Fail("an object reference stands where a class was expected");
        }
        if (index == 0 || index > m_classes.size()) return Fail("a class reference points at no known class");
        entry = &m_classes[index - 1];
        schema = entry->schema;
    }
    if (entry->name != expectedClass)
        return Fail("found class '" + entry->name + "' where '" + std::string(expectedClass) + "' was expected");
    return true;
}

}  // namespace jobmodel
