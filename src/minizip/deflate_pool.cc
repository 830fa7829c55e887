#include "deflate_pool.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

constexpr uint64_t window = 32768;
// Room for the compressor's pending bits and the sync flush's empty block.
constexpr uint64_t flush_slack = 64;

struct fd_closer {
    int fd;
    ~fd_closer() {
        if (fd >= 0)
            close(fd);
    }
};

struct compressor_owner {
    libdeflate_compressor *c = nullptr;
    ~compressor_owner() {
        if (c)
            libdeflate_free_compressor(c);
    }
};

// Budget for a part's input and output buffers.
uint64_t need_of(const deflated_part &p) {
    return 2 * p.length + window + 4096;
}

// Reads up to n bytes at offset; returns the count, or -1 on an error.
long long read_at(int fd, unsigned char *buf, uint64_t n, uint64_t offset) {
    uint64_t done = 0;
    while (done < n) {
        ssize_t r = pread(fd, buf + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        done += static_cast<uint64_t>(r);
    }
    return static_cast<long long>(done);
}

// Keeps only the deflated bytes, so the part holds no more than it needs
// while it waits for the writer.
void keep(deflated_part *p, const unsigned char *data, size_t n) {
    p->out.reset(new unsigned char[n ? n : 1]);
    memcpy(p->out.get(), data, n);
    p->out_size = n;
}

part_state deflate_whole(deflated_part *p, int fd, libdeflate_compressor *c) {
    if (!c)
        return part_state::unread;
    // One byte more than planned tells a file that grew since it was sized.
    std::unique_ptr<unsigned char[]> in(new unsigned char[p->length + 1]);
    long long got = read_at(fd, in.get(), p->length + 1, 0);
    if (got < 0 || static_cast<uint64_t>(got) > p->length)
        return part_state::unread;
    size_t n = static_cast<size_t>(got);
    p->crc = crc32_z(0, in.get(), n);
    p->size = n;
    size_t bound = libdeflate_deflate_compress_bound(c, n);
    std::unique_ptr<unsigned char[]> out(new unsigned char[bound]);
    size_t made = libdeflate_deflate_compress(c, in.get(), n, out.get(), bound);
    if (made == 0)
        return part_state::unread;
    in.reset();
    keep(p, out.get(), made);
    return part_state::deflated;
}

part_state deflate_piece(deflated_part *p, int fd, int level) {
    part_state failed = p->first ? part_state::unread : part_state::short_read;
    uint64_t dict = std::min(p->offset, window);
    uint64_t want = dict + p->length + (p->last ? 1 : 0);
    std::unique_ptr<unsigned char[]> in(new unsigned char[want]);
    long long got = read_at(fd, in.get(), want, p->offset - dict);
    if (got != static_cast<long long>(dict + p->length))
        return failed;
    z_stream s{};
    if (deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return failed;
    uint64_t bound = deflateBound(&s, static_cast<uLong>(p->length)) + flush_slack;
    std::unique_ptr<unsigned char[]> out(new unsigned char[bound]);
    if (dict > 0)
        deflateSetDictionary(&s, in.get(), static_cast<uInt>(dict));
    s.next_in = in.get() + dict;
    s.avail_in = static_cast<uInt>(p->length);
    s.next_out = out.get();
    s.avail_out = static_cast<uInt>(bound);
    int z = deflate(&s, p->last ? Z_FINISH : Z_SYNC_FLUSH);
    bool ok = p->last ? z == Z_STREAM_END : z == Z_OK && s.avail_in == 0 && s.avail_out > 0;
    size_t made = bound - s.avail_out;
    deflateEnd(&s);
    if (!ok)
        return failed;
    p->crc = crc32_z(0, in.get() + dict, p->length);
    p->size = p->length;
    in.reset();
    keep(p, out.get(), made);
    return part_state::deflated;
}

part_state run_part(deflate_pool *pool, deflated_part *p, libdeflate_compressor *c) {
    fd_closer f{open(pool->files[p->file], O_RDONLY | O_CLOEXEC)};
    struct stat st;
    if (f.fd < 0 || fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return p->first ? part_state::unread : part_state::short_read;
    return p->whole ? deflate_whole(p, f.fd, c) : deflate_piece(p, f.fd, pool->level);
}

// The next part in list order, once the budget has room for it; null when
// there is none left or the writer stopped.  Files that are not regular
// files are passed to the writer unread, without a worker.
deflated_part *claim(deflate_pool *pool, std::unique_lock<std::mutex> &lock) {
    for (;;) {
        if (pool->stop || pool->next_file >= pool->files.size())
            return nullptr;
        if (!pool->planned) {
            struct stat st;
            pool->next_is_file =
                stat(pool->files[pool->next_file], &st) == 0 && S_ISREG(st.st_mode);
            pool->next_size = pool->next_is_file ? static_cast<uint64_t>(st.st_size) : 0;
            pool->next_offset = 0;
            pool->planned = true;
        }
        deflated_part part;
        part.file = pool->next_file;
        part.offset = pool->next_offset;
        part.first = part.offset == 0;
        part.whole = pool->next_size <= pool->limits.whole_max;
        uint64_t left = pool->next_size - part.offset;
        part.length = part.whole ? left : std::min(pool->limits.piece, left);
        part.last = part.length == left;
        if (!pool->next_is_file) {
            part.state = part_state::unread;
        } else {
            part.reserved = need_of(part);
            if (pool->in_use != 0 && pool->in_use + part.reserved > pool->limits.budget) {
                pool->changed.wait(lock);
                continue;
            }
            pool->in_use += part.reserved;
        }
        pool->next_offset += part.length;
        if (part.last || !pool->next_is_file) {
            ++pool->next_file;
            pool->planned = false;
        }
        pool->parts.push_back(std::move(part));
        deflated_part *claimed = &pool->parts.back();
        if (claimed->state == part_state::pending)
            return claimed;
        pool->changed.notify_all();
    }
}

void finish(deflate_pool *pool, deflated_part *p, part_state state,
            std::unique_lock<std::mutex> &lock) {
    lock.lock();
    p->state = state;
    uint64_t now = state == part_state::deflated ? p->out_size : 0;
    pool->in_use -= p->reserved - now;
    p->reserved = now;
    pool->changed.notify_all();
}

void work(deflate_pool *pool) {
    compressor_owner c;
    c.c = libdeflate_alloc_compressor(pool->level < 0 ? 6 : pool->level);
    std::unique_lock<std::mutex> lock(pool->m);
    while (deflated_part *p = claim(pool, lock)) {
        lock.unlock();
        finish(pool, p, run_part(pool, p, c.c), lock);
    }
}

} // namespace

deflate_pool::~deflate_pool() {
    {
        std::lock_guard<std::mutex> lock(m);
        stop = true;
    }
    changed.notify_all();
    for (std::thread &t : workers)
        t.join();
}

void pool_start(deflate_pool *pool, const std::vector<const char *> &files, int level,
                const pack_limits &limits) {
    pool->files = files;
    pool->level = level;
    pool->limits = limits;
    unsigned n = std::max(1u, std::thread::hardware_concurrency());
    try {
        for (unsigned i = 0; i < n; ++i)
            pool->workers.emplace_back(work, pool);
    } catch (const std::system_error &) {
        // Fewer workers; with none the writer does the work itself.
    }
}

deflated_part *pool_front(deflate_pool *pool) {
    std::unique_lock<std::mutex> lock(pool->m);
    while (pool->parts.empty() || pool->parts.front().state == part_state::pending) {
        if (pool->workers.empty()) {
            compressor_owner c;
            c.c = libdeflate_alloc_compressor(pool->level < 0 ? 6 : pool->level);
            deflated_part *p = claim(pool, lock);
            if (!p)
                break;
            lock.unlock();
            finish(pool, p, run_part(pool, p, c.c), lock);
        } else {
            pool->changed.wait(lock);
        }
    }
    return pool->parts.empty() ? nullptr : &pool->parts.front();
}

void pool_drop_front(deflate_pool *pool) {
    {
        std::lock_guard<std::mutex> lock(pool->m);
        pool->in_use -= pool->parts.front().reserved;
        pool->parts.pop_front();
    }
    pool->changed.notify_all();
}
