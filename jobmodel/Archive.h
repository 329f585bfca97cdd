#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jobmodel {

// The object archive of the job and index files: little-endian integers,
// length-prefixed strings, class tags with back-references. Loading never
// throws: the first failure is kept, later reads fail too, and the caller
// checks the returned bools.
class CArchive {
public:
    static CArchive ForStoring();
    static CArchive ForLoading(std::string_view bytes);

    bool IsStoring() const { return m_storing; }
    bool IsLoading() const { return !m_storing; }

    // The version of the job file being read or written; item lists decide by
    // it whether class tags are present.
    int DocumentVersion() const { return m_documentVersion; }
    void SetDocumentVersion(int version) { m_documentVersion = version; }

    void WriteByte(uint8_t v);
    void WriteWord(uint16_t v);
    void WriteDWord(uint32_t v);
    void WriteInt(int32_t v) { WriteDWord(static_cast<uint32_t>(v)); }
    void WriteString(std::string_view s);
    void WriteCount(uint32_t n);
    void WriteClassTag(std::string_view className, uint16_t schema);
    const std::string& Bytes() const { return m_bytes; }

    bool ReadByte(uint8_t& v);
    bool ReadWord(uint16_t& v);
    bool ReadDWord(uint32_t& v);
    bool ReadInt(int& v);
    bool ReadString(std::string& s);
    // A string that names a file: a NUL byte in it cannot be a path.
    bool ReadPath(std::string& s);
    bool ReadCount(uint32_t& n);
    // Reads a class tag and fails unless it names expectedClass; gives the
    // schema stored with the class's first occurrence.
    bool ReadClassTag(std::string_view expectedClass, uint16_t& schema);

    size_t Remaining() const { return m_bytes.size() - m_pos; }
    size_t Position() const { return m_pos; }

    // Records the first failure and returns false, for `return ar.Fail(...)`.
    bool Fail(std::string reason);
    bool Failed() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }

private:
    explicit CArchive(bool storing) : m_storing(storing) {}
    bool Take(size_t n, const char*& p);
    bool ReadLength(uint32_t& length, bool& wide);

    struct ClassEntry {
        std::string name;
        uint16_t schema;
    };

    bool m_storing;
    int m_documentVersion = 0;
    std::string m_bytes;
    size_t m_pos = 0;
    std::string m_error;
    std::vector<ClassEntry> m_classes;  // index 0 is class index 1
};

}  // namespace jobmodel
