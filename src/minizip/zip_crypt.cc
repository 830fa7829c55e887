#include "zip_crypt.h"

#include <sys/random.h>

#include <cstring>

namespace {

constexpr size_t out_size = 16384;
constexpr size_t header_size = 12;

uint32_t crc_byte(uint32_t c, unsigned char b) {
    static const z_crc_t *table = get_crc_table();
    return table[(c ^ b) & 0xff] ^ (c >> 8);
}

void update_keys(zip_crypt_keys *keys, unsigned char c) {
    uint32_t *k = keys->k;
    k[0] = crc_byte(k[0], c);
    k[1] = (k[1] + (k[0] & 0xff)) * 134775813u + 1;
    k[2] = crc_byte(k[2], static_cast<unsigned char>(k[1] >> 24));
}

unsigned char stream_byte(const zip_crypt_keys *keys) {
    uint32_t t = (keys->k[2] | 2) & 0xffff;
    return static_cast<unsigned char>((t * (t ^ 1)) >> 8);
}

// Encrypts and writes out what the compressor produced so far.
int write_out(entry_encoder *e, zipFile zf, unsigned char *data, size_t n) {
    if (n == 0)
        return ZIP_OK;
    zip_crypt_encode(&e->keys, data, n);
    return zipWriteInFileInZip(zf, data, static_cast<unsigned>(n));
}

int deflate_step(entry_encoder *e, zipFile zf, int flush) {
    int z;
    do {
        e->stream.next_out = e->out.data();
        e->stream.avail_out = static_cast<uInt>(e->out.size());
        z = deflate(&e->stream, flush);
        if (z == Z_STREAM_ERROR)
            return ZIP_INTERNALERROR;
        int err = write_out(e, zf, e->out.data(), e->out.size() - e->stream.avail_out);
        if (err != ZIP_OK)
            return err;
    } while (e->stream.avail_out == 0 && z != Z_STREAM_END);
    return ZIP_OK;
}

} // namespace

void zip_crypt_init(zip_crypt_keys *keys, const char *password) {
    *keys = zip_crypt_keys();
    for (const char *p = password; *p; ++p)
        update_keys(keys, static_cast<unsigned char>(*p));
}

void zip_crypt_encode(zip_crypt_keys *keys, unsigned char *data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        unsigned char plain = data[i];
        data[i] = plain ^ stream_byte(keys);
        update_keys(keys, plain);
    }
}

entry_encoder::~entry_encoder() {
    if (deflating)
        deflateEnd(&stream);
}

int encoder_start(entry_encoder *e, zipFile zf, int level, const char *password, uLong header_crc) {
    e->out.resize(out_size);
    if (level != 0) {
        if (deflateInit2(&e->stream, level, Z_DEFLATED, -MAX_WBITS, DEF_MEM_LEVEL,
                         Z_DEFAULT_STRATEGY) != Z_OK)
            return ZIP_INTERNALERROR;
        e->deflating = true;
    }
    // Ten random bytes, then the CRC's two high bytes that readers check
    // the password against.
    unsigned char header[header_size];
    if (getrandom(header, header_size - 2, 0) != static_cast<ssize_t>(header_size - 2)) {
        uint32_t x = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(e)) ^ header_crc;
        for (size_t i = 0; i < header_size - 2; ++i) {
            x = x * 1103515245u + 12345u;
            header[i] = static_cast<unsigned char>(x >> 16);
        }
    }
    header[header_size - 2] = static_cast<unsigned char>(header_crc >> 16);
    header[header_size - 1] = static_cast<unsigned char>(header_crc >> 24);
    zip_crypt_init(&e->keys, password);
    return write_out(e, zf, header, header_size);
}

int encoder_write(entry_encoder *e, zipFile zf, unsigned char *data, size_t len) {
    e->crc = crc32(e->crc, data, static_cast<uInt>(len));
    e->size += len;
    if (!e->deflating)
        return write_out(e, zf, data, len);
    e->stream.next_in = data;
    e->stream.avail_in = static_cast<uInt>(len);
    return deflate_step(e, zf, Z_NO_FLUSH);
}

int encoder_close(entry_encoder *e, zipFile zf) {
    int err = ZIP_OK;
    if (e->deflating) {
        e->stream.avail_in = 0;
        err = deflate_step(e, zf, Z_FINISH);
    }
    int closed = zipCloseFileInZipRaw(zf, e->size, e->crc);
    return err != ZIP_OK ? err : closed;
}
