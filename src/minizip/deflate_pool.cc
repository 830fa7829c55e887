#include "deflate_pool.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include "io/io.h"

namespace {

constexpr unsigned window = 32768;

// The zip level asked for, as a libdeflate level.  Its level 7 already packs
// smaller than zip -9 does; its levels 8 and 9 take about 2.5 times as long
// for some 0.3% less, so the best zip levels stop there.
int libdeflate_level(int level) {
    if (level < 0)
        return 6;
    return level > 7 ? 7 : level;
}

struct compressor_free {
    void operator()(libdeflate_compressor *c) const {
        libdeflate_free_compressor(c);
    }
};
using compressor_owner = std::unique_ptr<libdeflate_compressor, compressor_free>;

// Null when memory is short.
compressor_owner new_compressor(int level) {
    return compressor_owner(libdeflate_alloc_compressor(libdeflate_level(level)));
}

// Budget for a part's input and output buffers.
uint64_t need_of(const deflated_part &p) {
    return 2 * p.length + 2 * window;
}

// A buffer of n bytes, left uninitialised; null when memory is short.
std::unique_ptr<unsigned char[]> buffer(uint64_t n) {
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[n ? n : 1]);
}

// Keeps only the deflated bytes, so the part holds no more than it needs
// while it waits for the writer.  False when memory is short.
bool keep(deflated_part *p, const unsigned char *data, size_t n) {
    p->out = buffer(n);
    if (!p->out)
        return false;
    memcpy(p->out.get(), data, n);
    p->out_size = n;
    return true;
}

part_state deflate_whole(deflated_part *p, int fd, libdeflate_compressor *c) {
    // One byte more than planned tells a file that grew since it was sized.
    std::unique_ptr<unsigned char[]> in = buffer(p->length + 1);
    if (!c || !in)
        return part_state::unread;
    long long got = read_range(fd, in.get(), p->length + 1, 0);
    if (got < 0 || static_cast<uint64_t>(got) > p->length)
        return part_state::unread;
    size_t n = static_cast<size_t>(got);
    p->crc = crc32_z(0, in.get(), n);
    p->size = n;
    size_t bound = libdeflate_deflate_compress_bound(c, n);
    std::unique_ptr<unsigned char[]> out = buffer(bound);
    size_t made = out ? libdeflate_deflate_compress(c, in.get(), n, out.get(), bound) : 0;
    in.reset();
    return made != 0 && keep(p, out.get(), made) ? part_state::deflated : part_state::unread;
}

// Makes a whole deflate stream one that goes on: its last block no longer
// ends the stream, and an empty stored block brings it to a byte boundary,
// as a sync flush does.  buf needs 5 bytes of room past n.  Returns the new
// size, or 0 when the stream does not decode.
size_t go_on(unsigned char *buf, size_t n) {
    z_stream s{};
    if (inflateInit2(&s, -MAX_WBITS) != Z_OK)
        return 0;
    std::unique_ptr<unsigned char[]> scratch = buffer(window);
    if (!scratch) {
        inflateEnd(&s);
        return 0;
    }
    s.next_in = buf;
    s.avail_in = static_cast<uInt>(n);
    uint64_t header = 0, end = 0; // bit positions: the last block's header, the stream's end
    int z;
    do {
        s.next_out = scratch.get();
        s.avail_out = window;
        z = inflate(&s, Z_BLOCK);
        uint64_t at = (n - s.avail_in) * 8 - (s.data_type & 7);
        // 128: at the end of a block; 64: that block is the last.
        if ((s.data_type & 192) == 128)
            header = at;
        else if ((s.data_type & 192) == 192)
            end = at;
    } while (z == Z_OK);
    inflateEnd(&s);
    if (z != Z_STREAM_END || !(buf[header / 8] >> (header % 8) & 1))
        return 0;
    buf[header / 8] &= static_cast<unsigned char>(~(1u << (header % 8)));
    // Three zero bits (a stored block, not the last), zeros to the byte's
    // end, then the block's length 0 and its complement.
    size_t bytes = (end + 3 + 7) / 8;
    buf[end / 8] &= static_cast<unsigned char>((1u << (end % 8)) - 1);
    memset(buf + end / 8 + 1, 0, bytes - end / 8 - 1);
    memcpy(buf + bytes, "\0\0\xff\xff", 4);
    return bytes + 4;
}

part_state deflate_piece(deflated_part *p, int fd, libdeflate_compressor *c) {
    part_state failed = p->first ? part_state::unread : part_state::short_read;
    // On the last piece, one byte more tells a file that grew.
    uint64_t want = p->length + (p->last ? 1 : 0);
    std::unique_ptr<unsigned char[]> in = buffer(want);
    long long got = c && in ? read_range(fd, in.get(), want, p->offset) : -1;
    if (got != static_cast<long long>(p->length)) {
        p->error = !c || !in ? ENOMEM : got < 0 ? errno : 0;
        return failed;
    }
    size_t bound = libdeflate_deflate_compress_bound(c, p->length) + 5;
    std::unique_ptr<unsigned char[]> out = buffer(bound);
    size_t made =
        out ? libdeflate_deflate_compress(c, in.get(), p->length, out.get(), bound - 5) : 0;
    if (made != 0 && !p->last)
        made = go_on(out.get(), made);
    p->crc = crc32_z(0, in.get(), p->length);
    p->size = p->length;
    in.reset();
    if (made != 0 && keep(p, out.get(), made))
        return part_state::deflated;
    p->error = ENOMEM; // what fails past the read is short of memory
    return failed;
}

part_state run_part(deflate_pool *pool, deflated_part *p, libdeflate_compressor *c) {
    fd_owner f(open(pool->files[p->file], O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (f.fd < 0 || fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        p->error = f.fd < 0 ? errno : 0;
        return p->first ? part_state::unread : part_state::short_read;
    }
    return p->whole ? deflate_whole(p, f.fd, c) : deflate_piece(p, f.fd, c);
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
    compressor_owner c = new_compressor(pool->level);
    std::unique_lock<std::mutex> lock(pool->m);
    while (deflated_part *p = claim(pool, lock)) {
        lock.unlock();
        finish(pool, p, run_part(pool, p, c.get()), lock);
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
    // Each worker holds a compressor of up to 1 MiB outside the budget.
    unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
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
            compressor_owner c = new_compressor(pool->level);
            deflated_part *p = claim(pool, lock);
            if (!p)
                break;
            lock.unlock();
            finish(pool, p, run_part(pool, p, c.get()), lock);
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
