#include "runner/SoundPlayer.h"

#include <canberra.h>

#include <condition_variable>
#include <mutex>

namespace runner {

namespace {

struct Finished {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int error = 0;
};

void OnFinished(ca_context*, uint32_t, int error, void* userdata) {
    auto* f = static_cast<Finished*>(userdata);
    std::lock_guard<std::mutex> lock(f->mutex);
    f->finished = true;
    f->error = error;
    f->done.notify_all();
}

}  // namespace

bool PlaySoundFile(const std::string& path) {
    if (path.empty()) return false;
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS) return false;
    ca_proplist* props = nullptr;
    ca_proplist_create(&props);
    ca_proplist_sets(props, CA_PROP_MEDIA_FILENAME, path.c_str());
    Finished finished;
    bool played = ca_context_play_full(context, 1, props, OnFinished, &finished) == CA_SUCCESS;
    if (played) {
        std::unique_lock<std::mutex> lock(finished.mutex);
        finished.done.wait(lock, [&] { return finished.finished; });
        played = finished.error == CA_SUCCESS;
    }
    ca_proplist_destroy(props);
    ca_context_destroy(context);
    return played;
}

}  // namespace runner
