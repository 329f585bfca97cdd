#pragma once

#include <sys/stat.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zipcomponent {

// Packs the files of one archive write ahead of the writer on worker threads,
// so that compressing takes every core while the archive is written on the
// caller's thread, which alone calls Open, Read and Close.
// A file that fits a bounded buffer is read whole and deflated with
// libdeflate, or kept as it is when that does not make it smaller. A larger
// one goes in pieces, each deflated with zlib primed with the end of the
// piece before, so that the pieces join into one deflate stream.
// What is held at once stays bounded whatever the file sizes: workers wait
// while the data packed ahead of the writer is over a budget.
class CPackingPipeline {
public:
    struct Opening {
        int failure = 0;       // errno of a failed open
        bool special = false;  // the path is no longer a regular file
        struct stat opened {};
    };
    struct Totals {
        bool stored = false;  // kept as it is, not deflated
        uint32_t crc = 0;
        uint64_t rawBytes = 0;
        uint64_t packedBytes = 0;
        bool changed = false;  // the file changed or shrank while it was read
        int failure = 0;       // errno of a failed read
    };

    static constexpr uint64_t kWholeFileLimit = 8 << 20;
    static constexpr uint64_t kPieceSize = 1 << 20;

    // `paths` in the order the files are written, kept by the caller while
    // the pipeline lives; `level` 1 to 9.
    CPackingPipeline(std::vector<std::string_view> paths, int level, unsigned workers);
    ~CPackingPipeline();
    // A pipeline with a worker for every core; null when no thread can be
    // started.
    static std::unique_ptr<CPackingPipeline> Start(std::vector<std::string_view> paths, int level);
    CPackingPipeline(const CPackingPipeline&) = delete;
    CPackingPipeline& operator=(const CPackingPipeline&) = delete;

    // Waits until file `file` is open. Files before it not taken are dropped.
    Opening Open(size_t file);
    // Up to `length` packed bytes of the open file: how many, 0 at its end,
    // -1 when reading it failed. `rawBytes` grows by the file bytes they
    // stand for.
    int64_t Read(char* out, size_t length, uint64_t& rawBytes);
    Totals Close();

private:
    struct OpenFile;
    struct Piece;
    class Worker;

    void Work(Worker& worker);
    // The next pieces to pack, in order; false when there are none left or
    // the pipeline stops.
    bool ClaimPieces(std::vector<Piece*>& batch);
    // Under m_claimMutex: the next piece, its file opened.
    std::unique_ptr<Piece> PlanPiece();
    // Under the lock: the oldest piece once it is packed.
    Piece* WaitFront(std::unique_lock<std::mutex>& lock);
    void ReleaseFront();
    void TakeTotals(const Piece& piece);

    const std::vector<std::string_view> m_paths;
    const int m_level;
    // Where the next piece comes from, under m_claimMutex.
    std::mutex m_claimMutex;
    size_t m_nextFile = 0;
    uint64_t m_nextOffset = 0;
    std::shared_ptr<OpenFile> m_splitFile;  // the file being cut in pieces
    // The pieces and their state, under m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_packed;  // a piece is done
    std::condition_variable m_room;    // the budget has room, or the pipeline stops
    std::deque<std::unique_ptr<Piece>> m_pieces;  // planned, not yet released, in order
    uint64_t m_inFlight = 0;
    bool m_allPlanned;
    bool m_stop = false;
    bool m_writerWaiting = false;
    int m_workersWaiting = 0;
    // The writer's side.
    size_t m_openFile = SIZE_MAX;
    size_t m_readAt = 0;
    bool m_fileDone = false;
    Totals m_totals;
    std::shared_ptr<OpenFile> m_readFile;
    std::vector<std::thread> m_threads;
};

}  // namespace zipcomponent
