#include "tests/fuzz/ZipDirectory.h"

#include "zipcomponent/CentralDirectory.h"
#include "zipcomponent/SplitArchive.h"

#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzzing {

LoadResult ReadZipDirectoryBytes(const uint8_t* data, size_t size) {
    // A file in memory, reached by path as the readers want.
    const int fd = ::memfd_create("archive.zip", MFD_CLOEXEC);
    if (fd < 0) return LoadResult::Rejected;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    zipcomponent::CentralDirectory directory;
    zipcomponent::DirectoryTotals totals;
    const bool listed = zipcomponent::ReadCentralDirectory(path, directory);
    const bool counted = zipcomponent::ReadDirectoryTotals(path, totals);
    zipcomponent::CountDisks(path);
    ::close(fd);
    if (!listed) return LoadResult::Rejected;
    if (!counted || totals.entries != directory.entries.size() || totals.disks != 1) return LoadResult::RoundTripBroken;
    return LoadResult::Loaded;
}

}  // namespace fuzzing
