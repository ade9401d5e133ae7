#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "images/byte_source.h"
#include "images/image_kind.h"

namespace vantorel::images {

enum class UnpackWrite { kOk, kCreateFailed, kWriteFailed };

// The private per-user directory that the images of an integrated image are unpacked into,
// under their three fixed names. The directory is created with mode 0700 and must belong to
// the user; a file is written under a fresh temporary name (created exclusively, never
// through a symbolic link) and renamed over its fixed name, so a link planted at that name
// is replaced rather than followed, and a leftover file is replaced in one step.
class UnpackDirectory {
public:
    explicit UnpackDirectory(std::string path) : m_path(std::move(path)) {}

    // $XDG_CACHE_HOME/vantorel/unpacked, or ~/.cache/vantorel/unpacked (base/xdg_folders.h):
    // on disk, because the images can be far larger than a memory-backed runtime directory
    // should hold, and kept until the choice is withdrawn, which a cache directory is for.
    // Empty when there is no home: nothing can be unpacked then.
    static std::string DefaultPath();

    const std::string& Path() const { return m_path; }
    // "eboot.eb0", "pda.nb0", "phone.bin"; "" for the kinds a container does not carry.
    static std::string_view FileName(ImageKind kind);
    // The fixed file's full path; "" for the kinds a container does not carry, and for a
    // directory with no path.
    std::string FilePath(ImageKind kind) const;

    // Writes `length` bytes of `source` from `offset` as the kind's fixed file. kCreateFailed:
    // the directory or the temporary file could not be made; kWriteFailed: reading, writing
    // or the final rename failed (the temporary file is removed again).
    UnpackWrite Write(ImageKind kind, const ByteSource& source, uint64_t offset, uint64_t length);

    // Deletes the kind's fixed file if it is there.
    void Remove(ImageKind kind) const;
    // Deletes all three fixed files, whether or not they exist.
    void RemoveAll() const;

private:
    std::string m_path;
};

}  // namespace vantorel::images
