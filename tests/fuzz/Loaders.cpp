#include "tests/fuzz/Loaders.h"

#include "jobmodel/AppDoc.h"
#include "jobmodel/BackupIndexFile.h"
#include "platform/MessageService.h"

#include <string>
#include <vector>

namespace fuzzing {

namespace {

class SilentMessages : public platform::IMessageService {
public:
    int Show(const std::string&, const std::string&, unsigned style) override { return platform::SafeAnswer(style); }
};

bool Read(jobmodel::CAppDoc& doc, const std::string& bytes) {
    jobmodel::CArchive ar = jobmodel::CArchive::ForLoading(bytes);
    return doc.Serialize(ar);
}

std::string Write(jobmodel::CAppDoc& doc) {
    jobmodel::CArchive ar = jobmodel::CArchive::ForStoring();
    doc.Serialize(ar);
    return ar.Bytes();
}

class MessagesSilenced {
public:
    MessagesSilenced() { platform::SetMessageService(&m_silent); }
    ~MessagesSilenced() { platform::SetMessageService(nullptr); }

private:
    SilentMessages m_silent;
};

}  // namespace

LoadResult LoadJobBytes(const uint8_t* data, size_t size) {
    MessagesSilenced silenced;
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    if (!Read(doc, std::string(reinterpret_cast<const char*>(data), size))) return LoadResult::Rejected;
    // The first save applies the save rules; from then on saving is stable.
    const std::string first = Write(doc);
    jobmodel::CAppDoc again(jobmodel::DocHost::Runner);
    if (!Read(again, first) || Write(again) != first) return LoadResult::RoundTripBroken;
    return LoadResult::Loaded;
}

LoadResult LoadIndexBytes(const uint8_t* data, size_t size) {
    std::vector<std::string> list, back;
    std::string error;
    if (!jobmodel::CBackupIndexFile::Decode(std::string(reinterpret_cast<const char*>(data), size), list, error))
        return LoadResult::Rejected;
    if (!jobmodel::CBackupIndexFile::Decode(jobmodel::CBackupIndexFile::Encode(list), back, error) || back != list)
        return LoadResult::RoundTripBroken;
    return LoadResult::Loaded;
}

}  // namespace fuzzing
