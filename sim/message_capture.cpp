#include "sim/message_capture.h"

#include <cstdio>
#include <fcntl.h>

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velqa3::sim {

namespace {
#if !defined(_WIN32)
// Room for thousands of messages before the first remap; a run that shows more pays one
// remap each time the written part doubles.
constexpr std::size_t kFirstCapacity = 1 << 20;

// The view is read a few bytes a frame, at the front of what was written: reading ahead would
// fill the whole empty room from the disk at the first look.
void Unhurried(void* view, std::size_t size) {
    if (madvise(view, size, MADV_RANDOM) != 0) {
        // Only slower without the advice.
    }
}
#endif
} // namespace

Message SplitMessage(const std::string& line) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) return Message{"", line};
    return Message{line.substr(0, colon), line.substr(colon + 2)};
}

#if defined(_WIN32)

// The Windows plug-in shows its messages in boxes, so nothing of it arrives here; the file
// keeps only what else lands on standard error, read back plainly.
bool MessageCapture::Begin(const std::string& path) {
    End();
    std::fflush(stderr);
    const int writer =
        _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_APPEND | _O_BINARY, 0644);
    if (writer < 0) return false;
    const int reader = _open(path.c_str(), _O_RDONLY | _O_BINARY);
    const int saved = _dup(2);
    if (reader < 0 || saved < 0 || _dup2(writer, 2) < 0) {
        if (reader >= 0) _close(reader);
        if (saved >= 0) _close(saved);
        _close(writer);
        return false;
    }
    _close(writer);
    saved_ = saved;
    reader_ = reader;
    pending_.clear();
    return true;
}

void MessageCapture::Poll(std::vector<Message>& out) {
    if (reader_ < 0) return;
    char block[4096];
    for (int got; (got = _read(reader_, block, sizeof block)) > 0;)
        pending_.append(block, static_cast<std::size_t>(got));
    SplitLines(out);
}

void MessageCapture::TrimAfterEnd() {}

void MessageCapture::End() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    _dup2(saved_, 2);
    _close(saved_);
    saved_ = -1;
    if (reader_ >= 0) _close(reader_);
    reader_ = -1;
}

#else

bool MessageCapture::Begin(const std::string& path) {
    End();
    std::fflush(stderr);
    // Not O_APPEND: the writes go one after the other from the start, into the space sized
    // ahead, where the mapping sees them. A new file rather than the old one cut to nothing,
    // which a file system may write out to the disk as it is closed.
    unlink(path.c_str());
    const int file = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) return false;
    void* view = MAP_FAILED;
    if (ftruncate(file, static_cast<off_t>(kFirstCapacity)) == 0)
        view = mmap(nullptr, kFirstCapacity, PROT_READ, MAP_SHARED, file, 0);
    if (view != MAP_FAILED) Unhurried(view, kFirstCapacity);
    const int saved = view != MAP_FAILED ? dup(2) : -1;
    if (saved < 0 || dup2(file, 2) < 0) {
        if (view != MAP_FAILED) munmap(view, kFirstCapacity);
        if (saved >= 0) close(saved);
        close(file);
        unlink(path.c_str());
        return false;
    }
    saved_ = saved;
    file_ = file;
    view_ = static_cast<const char*>(view);
    capacity_ = kFirstCapacity;
    taken_ = 0;
    pending_.clear();
    return true;
}

// Maps twice the room, or more when the writes have already run past the end.
bool MessageCapture::Grow() {
    struct stat info {};
    if (fstat(file_, &info) != 0) return false;
    std::size_t wanted = capacity_ * 2;
    while (wanted <= static_cast<std::size_t>(info.st_size))
        wanted *= 2;
    if (ftruncate(file_, static_cast<off_t>(wanted)) != 0) return false;
    void* view = mmap(nullptr, wanted, PROT_READ, MAP_SHARED, file_, 0);
    if (view == MAP_FAILED) return false;
    Unhurried(view, wanted);
    munmap(const_cast<char*>(view_), capacity_);
    view_ = static_cast<const char*>(view);
    capacity_ = wanted;
    return true;
}

void MessageCapture::Poll(std::vector<Message>& out) {
    if (view_ == nullptr) return;
    // The text of a message holds no zero byte, so the written part ends at the first one.
    for (;;) {
        const std::size_t start = taken_;
        while (taken_ < capacity_ && view_[taken_] != '\0')
            ++taken_;
        if (taken_ > start) pending_.append(view_ + start, taken_ - start);
        if (taken_ < capacity_ || !Grow()) break;
    }
    SplitLines(out);
}

void MessageCapture::TrimAfterEnd() {
    if (file_ < 0) return;
    // The standard error shares the file's position: it stands where the writes ended.
    const off_t written = lseek(file_, 0, SEEK_CUR);
    if (written >= 0 && ftruncate(file_, written) != 0) {
        // Left as it is: the messages, then zero bytes.
    }
}

void MessageCapture::End() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    const off_t written = lseek(2, 0, SEEK_CUR);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
    munmap(const_cast<char*>(view_), capacity_);
    view_ = nullptr;
    capacity_ = 0;
    // The room sized ahead goes again: the file holds what was written and nothing more.
    if (written >= 0 && ftruncate(file_, written) != 0) {
        // Left untrimmed, the file only ends in zero bytes after the messages.
    }
    close(file_);
    file_ = -1;
}

#endif

void MessageCapture::SplitLines(std::vector<Message>& out) {
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string line = pending_.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(SplitMessage(line));
    }
    pending_.erase(0, start);
}

} // namespace velqa3::sim
