#include "files/zip_pipeline.h"

#include <libdeflate.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

#include "files/md5.h"

namespace {

std::atomic<const char*> g_err_file{""};
std::atomic<int> g_err_line{-1};

#define FAIL_HERE() note_extract_failure(__FILE_NAME__, __LINE__)

// Entries up to this size are inflated whole in memory, at libdeflate's speed. Bigger ones are
// streamed through zlib in pieces that stay in the processor's cache: with several threads at
// work, memory traffic sets the pace, and a whole entry of megabytes would go out to memory and
// back in once to be hashed and once more to be written, into pages freshly faulted in.
constexpr uint64_t kWholeEntry = uint64_t(1) << 20;
constexpr size_t kStreamChunk = size_t(256) << 10;
constexpr uint64_t kHashPiece = uint64_t(64) << 10;
constexpr size_t kKeptScratch = size_t(8) << 20;

// Each thread keeps its inflater and its scratch memory from one entry to the next.
// Memory reused from one entry to the next.
struct scratch_space {
    std::unique_ptr<unsigned char[]> bytes;
    size_t capacity = 0;
    unsigned char* room(size_t n) {
        if (n > capacity || !bytes) {
            bytes.reset(new unsigned char[std::max<size_t>(n, 1)]);
            capacity = std::max<size_t>(n, 1);
        }
        return bytes.get();
    }
    void trim() {
        if (capacity > kKeptScratch) {
            bytes.reset();
            capacity = 0;
        }
    }
};

struct thread_tools {
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    scratch_space in, out;
    ~thread_tools() { libdeflate_free_decompressor(inflater); }
    void trim() {
        in.trim();
        out.trim();
    }
    void release() {
        in = scratch_space{};
        out = scratch_space{};
    }
};

// Reads n bytes at offset at; false when the archive ends first or cannot be read.
bool read_at(int fd, unsigned char* out, uint64_t n, uint64_t at) {
    while (n) {
        const ssize_t got = ::pread(fd, out, size_t(std::min<uint64_t>(n, 1u << 30)), off_t(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        at += uint64_t(got);
        n -= uint64_t(got);
    }
    return true;
}

thread_tools& tools() {
    thread_local thread_tools t;
    return t;
}

int fail(file_job& job, int code, bool local) {
    job.code = code;
    job.local = local;
    return code;
}

// Mode and time from the entry's attributes.
int apply_mode_and_time(int fd, const unz_file_info64& info) {
    if (info.external_fa == 0) return 0;
    // Attributes from DOS carry no Unix mode in the upper half; they must not become mode 000.
    // The mode is best effort: volumes without Unix modes (FAT) refuse it, and the file is fine.
    if ((info.external_fa >> 16) != 0) (void)::fchmod(fd, mode_t((info.external_fa >> 16) & 0777));
    std::time_t now = std::time(nullptr);
    std::tm when;
    ::localtime_r(&now, &when);
    when.tm_sec = int(info.tmu_date.tm_sec);
    when.tm_min = int(info.tmu_date.tm_min);
    when.tm_hour = int(info.tmu_date.tm_hour);
    when.tm_mday = int(info.tmu_date.tm_mday);
    when.tm_mon = int(info.tmu_date.tm_mon);
    when.tm_year = int(info.tmu_date.tm_year) - 1900;
    when.tm_isdst = -1;
    const std::time_t stamp = std::mktime(&when);
    const struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
    return ::futimens(fd, times) == 0 ? 0 : -1;
}

class digest {
public:
    explicit digest(bool on) : on_(on) {
        if (on_) MD5Init(&ctx_);
    }
    void add(const unsigned char* p, uint64_t n) {
        while (on_ && n) {
            const uint32_t piece = uint32_t(std::min<uint64_t>(n, 0x40000000u));
            MD5UpdateWide(&ctx_, p, piece);
            p += piece;
            n -= piece;
        }
    }
    std::string text() {
        if (!on_) return std::string();
        MD5Final(&ctx_);
        return md5_text(ctx_.digest);
    }

private:
    bool on_;
    md5_context ctx_;
};

int open_staging(file_job& job) {
    job.staged = std::make_unique<staged_file>(job.rootfd, job.rel);
    int err = job.staged->error();
    if (!err) err = job.staged->create();
    if (err) {
        FAIL_HERE();
        return fail(job, err, true);
    }
    return 0;
}

// Closes the staged file with its mode and time; it waits under its staging name.
int close_staging(file_job& job) {
    if (apply_mode_and_time(job.staged->fd(), job.info) != 0) {
        FAIL_HERE();
        return fail(job, -1, true);
    }
    if (const int err = job.staged->close_file()) {
        FAIL_HERE();
        return fail(job, err, true);
    }
    return 0;
}

int check_digest(file_job& job) {
    if (!job.expect_md5.empty() && job.md5 != job.expect_md5) {
        FAIL_HERE();
        return fail(job, err_md5_mismatch, false);
    }
    return 0;
}

// Small entries: inflated whole and checked before anything touches the disk.
int whole_entry(file_job& job) {
    const uint64_t size = job.info.uncompressed_size;
    unsigned char* stored = tools().in.room(size_t(job.stored));
    if (!read_at(job.source_fd, stored, job.stored, job.offset)) {
        FAIL_HERE();
        return fail(job, 20002, false);
    }
    const unsigned char* bytes = stored;
    if (job.info.compression_method == Z_DEFLATED) {
        unsigned char* out = tools().out.room(size_t(size));
        if (libdeflate_deflate_decompress(tools().inflater, stored, size_t(job.stored), out, size_t(size), nullptr) !=
            LIBDEFLATE_SUCCESS) {
            FAIL_HERE();
            return fail(job, 20002, false);
        }
        bytes = out;
    }
    // CRC and MD5 in one pass over cache-sized pieces: the bytes come from memory once, not twice.
    digest d(job.hash || !job.expect_md5.empty());
    uint32_t crc = 0;
    for (uint64_t at = 0; at < size; at += kHashPiece) {
        const size_t n = size_t(std::min<uint64_t>(kHashPiece, size - at));
        crc = libdeflate_crc32(crc, bytes + at, n);
        d.add(bytes + at, n);
    }
    if (crc != uint32_t(job.info.crc)) {
        FAIL_HERE();
        return fail(job, UNZ_CRCERROR, false);
    }
    job.md5 = d.text();
    if (check_digest(job)) return job.code;
    if (open_staging(job)) return job.code;
    if (const int err = job.staged->write(bytes, size_t(size))) {
        FAIL_HERE();
        return fail(job, err, true);
    }
    return close_staging(job);
}

// Large entries: streamed to the staging file, checked at the end.
int streamed_entry(file_job& job) {
    if (open_staging(job)) return job.code;
    const uint64_t size = job.info.uncompressed_size;
    digest d(job.hash || !job.expect_md5.empty());
    uint32_t crc = 0;
    uint64_t produced = 0;
    auto take = [&](const unsigned char* p, size_t n) -> int {
        if (produced + n > size) return 20002;   // more than the entry claims: damaged
        crc = libdeflate_crc32(crc, p, n);
        d.add(p, n);
        produced += n;
        if (const int err = job.staged->write(p, n)) {
            FAIL_HERE();
            return fail(job, err, true);
        }
        return 0;
    };
    int err = 0;
    unsigned char* in = tools().in.room(kStreamChunk);
    if (job.info.compression_method == 0) {
        for (uint64_t at = 0; !err && at < job.stored; at += kStreamChunk) {
            const size_t n = size_t(std::min<uint64_t>(kStreamChunk, job.stored - at));
            err = read_at(job.source_fd, in, n, job.offset + at) ? take(in, n) : 20002;
        }
    } else {
        unsigned char* out = tools().out.room(kStreamChunk);
        z_stream zs{};
        if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
            FAIL_HERE();
            return fail(job, ENOMEM, false);
        }
        uint64_t fed = 0;
        while (true) {
            if (zs.avail_in == 0 && fed < job.stored) {
                const uInt piece = uInt(std::min<uint64_t>(job.stored - fed, kStreamChunk));
                if (!read_at(job.source_fd, in, piece, job.offset + fed)) {
                    err = 20002;
                    break;
                }
                zs.next_in = in;
                zs.avail_in = piece;
                fed += piece;
            }
            zs.next_out = out;
            zs.avail_out = uInt(kStreamChunk);
            const int z = inflate(&zs, Z_NO_FLUSH);
            const size_t n = kStreamChunk - zs.avail_out;
            if (n && (err = take(out, n))) break;
            if (z == Z_STREAM_END) break;
            if (z == Z_OK) continue;
            err = 20002;   // damaged data, or the stored bytes end before the stream does
            break;
        }
        inflateEnd(&zs);
    }
    if (job.code) return job.code;   // a write failure, already noted
    if (err || produced != size) {
        FAIL_HERE();
        return fail(job, 20002, false);
    }
    if (crc != uint32_t(job.info.crc)) {
        FAIL_HERE();
        return fail(job, UNZ_CRCERROR, false);
    }
    job.md5 = d.text();
    if (check_digest(job)) return job.code;
    return close_staging(job);
}

}  // namespace

void note_extract_failure(const char* file, int line) {
    g_err_file.store(file);
    g_err_line.store(line);
}
const char* extract_failure_file() { return g_err_file.load(); }
int extract_failure_line() { return g_err_line.load(); }

void release_thread_scratch() { tools().release(); }

void run_file_job(file_job& job) {
    job.code = 0;
    job.local = false;
    const unz_file_info64& info = job.info;
    if (info.flag & 1) {   // encrypted: we have no password
        FAIL_HERE();
        fail(job, 20002, false);
    } else if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
        FAIL_HERE();
        fail(job, UNZ_BADZIPFILE, false);
    } else if (info.compression_method == 0 && job.stored != info.uncompressed_size) {
        FAIL_HERE();
        fail(job, 20002, false);
    } else if (info.uncompressed_size <= kWholeEntry) {
        whole_entry(job);
    } else {
        streamed_entry(job);
    }
    tools().trim();
    if (job.code) job.staged.reset();   // its staging file goes now, not when the job is dropped
}

struct file_pipeline::shared {
    std::mutex mutex;
    std::condition_variable wake, done;
    std::deque<file_job*> queue;
    std::unordered_set<const file_job*> finished;
    bool stop = false;
    std::vector<std::thread> threads;

    void loop() {
        std::unique_lock<std::mutex> lock(mutex);
        while (true) {
            wake.wait(lock, [&] { return stop || !queue.empty(); });
            if (queue.empty()) return;
            file_job* job = queue.front();
            queue.pop_front();
            lock.unlock();
            run_file_job(*job);
            lock.lock();
            finished.insert(job);
            done.notify_all();
        }
    }
};

file_pipeline::file_pipeline(int workers) : workers_(std::max(0, workers)), shared_(std::make_shared<shared>()) {}

file_pipeline::~file_pipeline() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->queue.clear();   // jobs not started are dropped; running ones finish
        shared_->stop = true;
    }
    shared_->wake.notify_all();
    for (std::thread& t : shared_->threads) t.join();
}

bool file_pipeline::submit(std::unique_ptr<file_job> job) {
    if (failed_) return false;
    names_.insert(job->rel);
    if (workers_ == 0) {
        run_file_job(*job);
        inflight_.push_back(std::move(job));
        commit_front(false);
        return !failed_;
    }
    file_job* raw = job.get();
    inflight_.push_back(std::move(job));
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (shared_->threads.empty())
            for (int i = 0; i < workers_; ++i) shared_->threads.emplace_back([s = shared_.get()] { s->loop(); });
        shared_->queue.push_back(raw);
    }
    shared_->wake.notify_one();
    while (!failed_ && inflight_.size() > size_t(4 * workers_)) commit_front(true);
    // Whatever is done at the front goes in place now.
    for (size_t before = 0; !failed_ && !inflight_.empty() && before != inflight_.size();) {
        before = inflight_.size();
        commit_front(false);
    }
    return !failed_;
}

bool file_pipeline::finish() {
    while (!inflight_.empty()) commit_front(true);
    return !failed_;
}

void file_pipeline::commit_front(bool wait) {
    if (inflight_.empty()) return;
    file_job* front = inflight_.front().get();
    if (workers_ > 0) {
        std::unique_lock<std::mutex> lock(shared_->mutex);
        if (!shared_->finished.count(front)) {
            if (!wait) return;
            shared_->done.wait(lock, [&] { return shared_->finished.count(front) != 0; });
        }
        shared_->finished.erase(front);
    }
    std::unique_ptr<file_job> job = std::move(inflight_.front());
    inflight_.pop_front();
    names_.erase(names_.find(job->rel));
    if (failed_) return;   // after a failure nothing more goes in place
    if (!job->code) {
        if (const int err = job->staged->commit()) {
            FAIL_HERE();
            job->code = err;
            job->local = true;
        }
    }
    if (!job->code) return;
    failed_ = std::move(job);
    if (workers_ > 0) {
        // Jobs not started yet need not run at all.
        std::lock_guard<std::mutex> lock(shared_->mutex);
        for (file_job* queued : shared_->queue) shared_->finished.insert(queued);
        shared_->queue.clear();
    }
}
