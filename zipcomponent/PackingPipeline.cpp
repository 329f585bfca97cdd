#include "zipcomponent/PackingPipeline.h"

#include "platform/PathAccess.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>
#include <fcntl.h>
#include <unistd.h>

namespace zipcomponent {

namespace {

constexpr uint64_t kBudget = 64 << 20;
// Many tiny files must not make the queue itself grow with the tree.
constexpr size_t kMaxPieces = 4096;
constexpr size_t kBatchFiles = 32;
constexpr uint64_t kBatchBytes = 1 << 20;
constexpr size_t kDictionary = 32768;  // deflate's window

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Up to `length` bytes at `offset`: how many were there, -1 on failure.
int64_t ReadAt(int fd, char* out, uint64_t length, uint64_t offset) {
    uint64_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}

}  // namespace

struct CPackingPipeline::OpenFile {
    int fd = -1;
    struct stat opened {};
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
    bool ChangedSinceOpen() const {
        struct stat now {};
        return ::fstat(fd, &now) != 0 || now.st_size != opened.st_size || !SameTime(now.st_mtim, opened.st_mtim);
    }
};

struct CPackingPipeline::Piece {
    size_t file = 0;
    uint64_t offset = 0;
    uint64_t length = 0;  // file bytes to pack
    bool whole = true;    // the file in one piece
    bool last = true;
    std::shared_ptr<OpenFile> source;
    Opening opening;
    uint64_t budget = 0;
    // Filled in by the worker that packs it.
    bool done = false;
    std::vector<char> packed;
    uint64_t rawBytes = 0;
    uint32_t crc = 0;
    bool stored = false;
    bool changed = false;
    int failure = 0;
};

class CPackingPipeline::Worker {
public:
    explicit Worker(int level) : m_level(level) {}
    ~Worker() {
        if (m_deflater) libdeflate_free_compressor(m_deflater);
        if (m_zlibReady) deflateEnd(&m_zlib);
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void Pack(Piece& piece) {
        try {
            piece.whole ? PackWhole(piece) : PackPiece(piece);
        } catch (const std::bad_alloc&) {
            piece.failure = ENOMEM;
        }
        if (piece.whole) piece.source.reset();  // its descriptor is not needed any longer
    }

private:
    // Reads the piece's bytes into m_raw; false when reading failed.
    bool ReadRaw(Piece& piece) {
        m_raw.resize(piece.length);
        const int64_t n = ReadAt(piece.source->fd, m_raw.data(), piece.length, piece.offset);
        if (n < 0) {
            piece.failure = errno;
            return false;
        }
        piece.rawBytes = static_cast<uint64_t>(n);
        piece.changed = piece.rawBytes < piece.length;  // it shrank since it was opened
        piece.crc = libdeflate_crc32(0, m_raw.data(), piece.rawBytes);
        return true;
    }

    void PackWhole(Piece& piece) {
        if (!ReadRaw(piece)) return;
        if (piece.source->ChangedSinceOpen()) piece.changed = true;
        // libdeflate packs at least as tight as zlib at the same level, in
        // about half the time.
        if (!m_deflater) m_deflater = libdeflate_alloc_compressor(m_level);
        if (!m_deflater) throw std::bad_alloc();
        m_out.resize(libdeflate_deflate_compress_bound(m_deflater, piece.rawBytes));
        const size_t packed =
            libdeflate_deflate_compress(m_deflater, m_raw.data(), piece.rawBytes, m_out.data(), m_out.size());
        // Data that does not get smaller is stored, as Info-ZIP does.
        piece.stored = packed == 0 || packed >= piece.rawBytes;
        const char* from = piece.stored ? m_raw.data() : m_out.data();
        piece.packed.assign(from, from + (piece.stored ? piece.rawBytes : packed));
    }

    // Ends with an empty stored block unless it is the last, so the next
    // piece starts on a byte of its own; primed with the bytes before it,
    // it packs as well as one stream would.
    void PackPiece(Piece& piece) {
        const uint64_t primed = std::min<uint64_t>(kDictionary, piece.offset);
        m_dictionary.resize(primed);
        if (primed && ReadAt(piece.source->fd, m_dictionary.data(), primed, piece.offset - primed) < 0) {
            piece.failure = errno;
            return;
        }
        if (!ReadRaw(piece)) return;
        if (!m_zlibReady) {
            if (deflateInit2(&m_zlib, m_level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
                throw std::bad_alloc();
            m_zlibReady = true;
        } else {
            deflateReset(&m_zlib);
        }
        if (primed)
            deflateSetDictionary(&m_zlib, reinterpret_cast<const Bytef*>(m_dictionary.data()),
                                 static_cast<uInt>(primed));
        m_out.resize(deflateBound(&m_zlib, static_cast<uLong>(piece.rawBytes)) + 16);
        m_zlib.next_in = reinterpret_cast<Bytef*>(m_raw.data());
        m_zlib.avail_in = static_cast<uInt>(piece.rawBytes);
        const int flush = piece.last ? Z_FINISH : Z_SYNC_FLUSH;
        size_t produced = 0;
        for (;;) {
            m_zlib.next_out = reinterpret_cast<Bytef*>(m_out.data() + produced);
            m_zlib.avail_out = static_cast<uInt>(m_out.size() - produced);
            const int result = deflate(&m_zlib, flush);
            produced = m_out.size() - m_zlib.avail_out;
            if (result == Z_STREAM_ERROR) throw std::bad_alloc();
            if (m_zlib.avail_out != 0 && (flush != Z_FINISH || result == Z_STREAM_END)) break;
            m_out.resize(m_out.size() * 2);
        }
        piece.packed.assign(m_out.data(), m_out.data() + produced);
    }

    const int m_level;
    libdeflate_compressor* m_deflater = nullptr;
    z_stream m_zlib {};
    bool m_zlibReady = false;
    std::vector<char> m_raw, m_out, m_dictionary;
};

CPackingPipeline::CPackingPipeline(std::vector<std::string_view> paths, int level, unsigned workers)
    : m_paths(std::move(paths)), m_level(std::clamp(level, 1, 9)), m_allPlanned(m_paths.empty()) {
    for (unsigned i = 0; i < std::max(1u, workers); ++i) {
        try {
            m_threads.emplace_back([this] {
                Worker worker(m_level);
                Work(worker);
            });
        } catch (const std::system_error&) {
            if (m_threads.empty()) throw;
            break;
        }
    }
}

std::unique_ptr<CPackingPipeline> CPackingPipeline::Start(std::vector<std::string_view> paths, int level) {
    try {
        return std::make_unique<CPackingPipeline>(std::move(paths), level,
                                                  std::max(1u, std::thread::hardware_concurrency()));
    } catch (const std::system_error&) {
        return nullptr;
    }
}

CPackingPipeline::~CPackingPipeline() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_room.notify_all();
    for (auto& t : m_threads) t.join();
}

void CPackingPipeline::Work(Worker& worker) {
    std::vector<Piece*> batch;
    while (ClaimPieces(batch)) {
        for (Piece* piece : batch)
            if (!piece->done) worker.Pack(*piece);
        std::lock_guard<std::mutex> lock(m_mutex);
        for (Piece* piece : batch) piece->done = true;
        if (m_writerWaiting) m_packed.notify_one();
    }
}

std::unique_ptr<CPackingPipeline::Piece> CPackingPipeline::PlanPiece() {
    auto piece = std::make_unique<Piece>();
    piece->file = m_nextFile;
    if (!m_splitFile) {
        auto file = std::make_shared<OpenFile>();
        file->fd = platform::OpenRegularFile(std::string(m_paths[m_nextFile]), file->opened);
        if (file->fd < 0) {
            piece->opening.failure = errno;
            piece->opening.special = file->opened.st_mode != 0;
            piece->done = true;
            ++m_nextFile;
        } else if (static_cast<uint64_t>(file->opened.st_size) <= kWholeFileLimit) {
            // The disk reads it while the files before it are packed.
            ::posix_fadvise(file->fd, 0, 0, POSIX_FADV_WILLNEED);
            piece->opening.opened = file->opened;
            piece->source = std::move(file);
            piece->length = static_cast<uint64_t>(piece->opening.opened.st_size);
            ++m_nextFile;
        } else {
            piece->opening.opened = file->opened;
            m_splitFile = std::move(file);
            m_nextOffset = 0;
        }
    }
    if (m_splitFile) {
        const auto size = static_cast<uint64_t>(m_splitFile->opened.st_size);
        piece->whole = false;
        piece->source = m_splitFile;
        piece->offset = m_nextOffset;
        piece->length = std::min(kPieceSize, size - m_nextOffset);
        ::posix_fadvise(m_splitFile->fd, static_cast<off_t>(m_nextOffset), static_cast<off_t>(piece->length),
                        POSIX_FADV_WILLNEED);
        m_nextOffset += piece->length;
        piece->last = m_nextOffset >= size;
        if (piece->last) {
            m_splitFile.reset();
            ++m_nextFile;
        }
    }
    piece->budget = 2 * piece->length + sizeof(Piece);
    return piece;
}

bool CPackingPipeline::ClaimPieces(std::vector<Piece*>& batch) {
    batch.clear();
    // Pieces are planned in the writer's order; opening files holds up the
    // other workers but never the writer. Small files go in batches, so
    // that many tiny ones do not make every file a round of locks.
    std::lock_guard<std::mutex> claim(m_claimMutex);
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_workersWaiting;
        m_room.wait(lock, [&] {
            return m_stop || m_allPlanned || m_pieces.empty() ||
                   (m_inFlight < kBudget && m_pieces.size() < kMaxPieces);
        });
        --m_workersWaiting;
        if (m_stop || m_allPlanned) return false;
    }
    std::vector<std::unique_ptr<Piece>> planned;
    uint64_t bytes = 0;
    do {
        planned.push_back(PlanPiece());
        bytes += planned.back()->length;
    } while (planned.back()->whole && m_nextFile < m_paths.size() && planned.size() < kBatchFiles &&
             bytes < kBatchBytes);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& piece : planned) {
        m_inFlight += piece->budget;
        batch.push_back(piece.get());
        m_pieces.push_back(std::move(piece));
    }
    m_allPlanned = m_nextFile >= m_paths.size();
    if (m_writerWaiting && m_allPlanned) m_packed.notify_one();
    return true;
}

CPackingPipeline::Piece* CPackingPipeline::WaitFront(std::unique_lock<std::mutex>& lock) {
    m_writerWaiting = true;
    m_packed.wait(lock, [&] { return m_pieces.empty() ? m_allPlanned : m_pieces.front()->done; });
    m_writerWaiting = false;
    return m_pieces.empty() ? nullptr : m_pieces.front().get();
}

void CPackingPipeline::ReleaseFront() {
    m_inFlight -= m_pieces.front()->budget;
    m_pieces.pop_front();
    if (m_workersWaiting) m_room.notify_all();
}

CPackingPipeline::Opening CPackingPipeline::Open(size_t file) {
    std::unique_lock<std::mutex> lock(m_mutex);
    Piece* front;
    // Pieces of files libzip did not take (it stopped reading one) go.
    while ((front = WaitFront(lock)) && front->file < file) ReleaseFront();
    if (!front || front->file != file) {
        Opening missing;
        missing.failure = EINVAL;
        return missing;
    }
    m_openFile = file;
    m_readAt = 0;
    m_totals = {};
    m_fileDone = false;
    m_readFile = front->whole ? nullptr : front->source;
    return front->opening;
}

void CPackingPipeline::TakeTotals(const Piece& piece) {
    m_totals.crc = piece.offset == 0 ? piece.crc
                                     : static_cast<uint32_t>(crc32_combine(m_totals.crc, piece.crc,
                                                                           static_cast<z_off_t>(piece.rawBytes)));
    m_totals.rawBytes += piece.rawBytes;
    m_totals.packedBytes += piece.packed.size();
    m_totals.stored = piece.stored;
    m_totals.changed = m_totals.changed || piece.changed;
}

int64_t CPackingPipeline::Read(char* out, size_t length, uint64_t& rawBytes) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_fileDone) {
        Piece* front = WaitFront(lock);
        if (!front || front->file != m_openFile) return 0;
        if (front->failure) {
            m_totals.failure = front->failure;
            errno = front->failure;
            return -1;
        }
        if (m_readAt < front->packed.size()) {
            const size_t n = std::min(length, front->packed.size() - m_readAt);
            // Done pieces are the writer's alone: no need to hold the lock.
            lock.unlock();
            std::memcpy(out, front->packed.data() + m_readAt, n);
            m_readAt += n;
            return static_cast<int64_t>(n);
        }
        TakeTotals(*front);
        rawBytes += front->rawBytes;
        m_fileDone = front->last;
        ReleaseFront();
        m_readAt = 0;
    }
    return 0;
}

CPackingPipeline::Totals CPackingPipeline::Close() {
    std::unique_lock<std::mutex> lock(m_mutex);
    // A file libzip stopped reading early leaves its other pieces.
    while (!m_fileDone) {
        Piece* front = WaitFront(lock);
        if (!front || front->file != m_openFile) break;
        m_fileDone = front->last;
        ReleaseFront();
    }
    if (m_readFile && m_readFile->ChangedSinceOpen()) m_totals.changed = true;
    m_readFile.reset();
    m_openFile = SIZE_MAX;
    return m_totals;
}

}  // namespace zipcomponent
