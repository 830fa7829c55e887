// Traditional PKWARE encryption of an archive entry, done here rather than
// by the zip library: Debian's build of it reads zlib's 32-bit CRC table
// through 64-bit pointers on 64-bit systems, so the entries it encrypts
// cannot be decrypted by any reader.
#pragma once

#include <minizip/zip.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "io/io.h"

struct zip_crypt_keys {
    uint32_t k[3] = {0x12345678, 0x23456789, 0x34567890};
};

void zip_crypt_init(zip_crypt_keys *keys, const char *password);
// Encrypts n bytes in place.
void zip_crypt_encode(zip_crypt_keys *keys, unsigned char *data, size_t n);

// Compresses (or stores) and encrypts one entry's data on its way into an
// entry the library opened raw, with flag bit 0 (encryption) set.
struct entry_encoder {
    z_stream stream{};
    bool deflating = false;
    zip_crypt_keys keys;
    uLong crc = 0, size = 0; // of the data passed on
    std::vector<unsigned char> out;
    no_copy once;
    ~entry_encoder();
};

// Writes the encryption header of the entry open in zf, whose check bytes
// come from header_crc.  Returns the library's result (0 on success).
int encoder_start(entry_encoder *e, zipFile zf, int level, const char *password, uLong header_crc);
// Passes len bytes of file data on; data is used as scratch space.  Returns
// 0, or a negative value when the library refused the write.
int encoder_write(entry_encoder *e, zipFile zf, unsigned char *data, size_t len);
// Writes what the compressor still holds and closes the entry with the
// data's size and CRC.  Returns the library's result.
int encoder_close(entry_encoder *e, zipFile zf);
