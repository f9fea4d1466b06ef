#pragma once
// A file that one thread reads from start to end (an upload sending the data log) while the
// interface thread may rewrite it in place (a trim that moves the file's newest part to its
// front): a reader in the middle of it would send a mix of old and new bytes. The two never
// overlap. A read waits for a rewrite in place of its file to end, which is short and bounded; a
// rewrite in place is not begun while its file is being read, and never waits, so the interface
// thread is never held up by a slow read. Files are told apart by their device and inode, whatever
// path named them.
#include <sys/types.h>

#include <optional>
#include <utility>

namespace platform {

using FileIdentity = std::pair<dev_t, ino_t>;

// Held for as long as the file open on `fd` is read whole. Made, it waits until no rewrite in
// place of that file is going on.
class WholeFileRead {
public:
    explicit WholeFileRead(int fd);
    ~WholeFileRead();
    WholeFileRead(const WholeFileRead&) = delete;
    WholeFileRead& operator=(const WholeFileRead&) = delete;

private:
    std::optional<FileIdentity> m_file; // none: the file could not be told (no guard then)
};

// Held while the file open on `fd` is rewritten in place. Acquired() is false while the file is
// being read whole: it must not be rewritten in place now.
class InPlaceRewrite {
public:
    explicit InPlaceRewrite(int fd);
    ~InPlaceRewrite();
    InPlaceRewrite(const InPlaceRewrite&) = delete;
    InPlaceRewrite& operator=(const InPlaceRewrite&) = delete;

    bool Acquired() const { return m_acquired; }

private:
    std::optional<FileIdentity> m_file;
    bool m_acquired = false;
};

} // namespace platform
