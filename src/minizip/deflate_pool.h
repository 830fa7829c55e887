// Deflating a list of files on every core while one writer takes the
// results in list order.
//
// A file within the whole-file limit is read into memory and deflated in
// one call; a larger one is cut into pieces, each deflated on its own and,
// but for the last, turned into a stream that goes on (as after a sync
// flush), so that the pieces joined in order make one deflate stream.
// Work is taken in list order and only while the buffers of the parts not
// yet written fit the budget: memory stays bounded whatever the files'
// sizes.
#pragma once

#include <zlib.h>

#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct pack_limits {
    uint64_t whole_max = 2 << 20; // larger files are deflated in pieces
    uint64_t piece = 1 << 20;
    uint64_t budget = 40 << 20; // bytes of buffers held by parts not yet written
};

enum class part_state {
    pending,
    deflated,
    unread,    // nothing of the file was taken: the writer streams it itself
    short_read // a piece after the first could not be read whole
};

// A whole file, or one piece of a large one.
struct deflated_part {
    size_t file = 0; // index in the list
    bool first = true;
    bool last = true;
    uint64_t offset = 0;
    uint64_t length = 0; // bytes of the file planned for this part
    bool whole = true;
    uint64_t reserved = 0; // budget bytes held until the writer drops the part
    part_state state = part_state::pending;
    std::unique_ptr<unsigned char[]> out;
    size_t out_size = 0;
    uLong crc = 0; // of the bytes read
    uint64_t size = 0;
    int error = 0; // errno of a read that failed; 0 when the file changed size
};

struct deflate_pool {
    std::vector<const char *> files;
    int level = Z_DEFAULT_COMPRESSION;
    pack_limits limits;
    std::mutex m;
    std::condition_variable changed;
    std::list<deflated_part> parts; // claimed and not yet dropped, in list order
    uint64_t in_use = 0;
    bool stop = false;
    // Where claiming stands: the next file, its planned size, the next offset.
    size_t next_file = 0;
    bool planned = false;
    bool next_is_file = false; // a regular file, not a folder or missing
    uint64_t next_size = 0;
    uint64_t next_offset = 0;
    std::vector<std::thread> workers;
    // Stops the workers after their current part and waits for them.
    ~deflate_pool();
};

// Starts one worker per core on the files, deflating at level (-1 for the
// library's default, 1 to 9).
void pool_start(deflate_pool *pool, const std::vector<const char *> &files, int level,
                const pack_limits &limits);
// The oldest part not yet dropped, once its work is over.  Only the writer
// calls it, as many times as there are parts.
deflated_part *pool_front(deflate_pool *pool);
// Drops the oldest part and frees its budget.
void pool_drop_front(deflate_pool *pool);
