#include "tools/render/memory_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

SNDFILE* MemoryFile::open(int mode, SF_INFO* info) {
    static SF_VIRTUAL_IO calls{&MemoryFile::length, &MemoryFile::seek, &MemoryFile::read, &MemoryFile::write,
                               &MemoryFile::tell};
    position = 0;
    return sf_open_virtual(&calls, mode, info, this);
}

sf_count_t MemoryFile::length(void* self) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(self)->bytes.size()); }

sf_count_t MemoryFile::seek(sf_count_t offset, int whence, void* self) {
    auto* file = static_cast<MemoryFile*>(self);
    sf_count_t base = whence == SEEK_CUR ? file->position
                      : whence == SEEK_END ? static_cast<sf_count_t>(file->bytes.size())
                                           : 0;
    if (base + offset < 0) return -1;
    // Beyond the end is allowed, as for a file: a later write fills the gap.
    file->position = base + offset;
    return file->position;
}

sf_count_t MemoryFile::read(void* destination, sf_count_t count, void* self) {
    auto* file = static_cast<MemoryFile*>(self);
    sf_count_t size = static_cast<sf_count_t>(file->bytes.size());
    sf_count_t available = std::max<sf_count_t>(0, std::min(count, size - file->position));
    if (available > 0) std::memcpy(destination, file->bytes.data() + file->position, static_cast<size_t>(available));
    file->position += available;
    return available;
}

sf_count_t MemoryFile::write(const void* source, sf_count_t count, void* self) {
    auto* file = static_cast<MemoryFile*>(self);
    size_t end = static_cast<size_t>(file->position + count);
    if (end > file->bytes.size()) file->bytes.resize(end);
    std::memcpy(file->bytes.data() + file->position, source, static_cast<size_t>(count));
    file->position += count;
    return count;
}

sf_count_t MemoryFile::tell(void* self) { return static_cast<MemoryFile*>(self)->position; }
