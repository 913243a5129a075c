// A sound file held in memory, opened through libsndfile's virtual I/O: how
// the tool reads standard input and writes standard output, pipes and
// devices, which cannot seek back to finish a header.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <vector>

class MemoryFile {
public:
    MemoryFile() = default;
    explicit MemoryFile(std::vector<unsigned char> content) : bytes(std::move(content)) {}
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    /// sf_open_virtual on this memory; the MemoryFile must outlive the handle.
    SNDFILE* open(int mode, SF_INFO* info);
    const std::vector<unsigned char>& content() const { return bytes; }

private:
    static sf_count_t length(void* self);
    static sf_count_t seek(sf_count_t offset, int whence, void* self);
    static sf_count_t read(void* destination, sf_count_t count, void* self);
    static sf_count_t write(const void* source, sf_count_t count, void* self);
    static sf_count_t tell(void* self);

    std::vector<unsigned char> bytes;
    sf_count_t position = 0;
};
