#include "sim/message_capture.h"

#include <cstdio>
#include <fcntl.h>

#if defined(_WIN32)
#include <io.h>
#define VELQA3_DUP _dup
#define VELQA3_DUP2 _dup2
#define VELQA3_CLOSE _close
#define VELQA3_READ _read
#define VELQA3_OPEN _open
#define VELQA3_BINARY _O_BINARY
#else
#include <unistd.h>
#define VELQA3_DUP dup
#define VELQA3_DUP2 dup2
#define VELQA3_CLOSE close
#define VELQA3_READ read
#define VELQA3_OPEN open
#define VELQA3_BINARY 0
#endif

namespace velqa3::sim {

Message SplitMessage(const std::string& line) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) return Message{"", line};
    return Message{line.substr(0, colon), line.substr(colon + 2)};
}

bool MessageCapture::Begin(const std::string& path) {
    End();
    std::fflush(stderr);
    const int writer =
        VELQA3_OPEN(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | VELQA3_BINARY, 0644);
    if (writer < 0) return false;
    const int reader = VELQA3_OPEN(path.c_str(), O_RDONLY | VELQA3_BINARY);
    const int saved = VELQA3_DUP(2);
    if (reader < 0 || saved < 0 || VELQA3_DUP2(writer, 2) < 0) {
        if (reader >= 0) VELQA3_CLOSE(reader);
        if (saved >= 0) VELQA3_CLOSE(saved);
        VELQA3_CLOSE(writer);
        return false;
    }
    VELQA3_CLOSE(writer);
    saved_ = saved;
    reader_ = reader;
    pending_.clear();
    return true;
}

void MessageCapture::Poll(std::vector<Message>& out) {
    if (reader_ < 0) return;
    char block[4096];
    for (;;) {
        const int got = static_cast<int>(VELQA3_READ(reader_, block, sizeof block));
        if (got <= 0) break;
        pending_.append(block, static_cast<std::size_t>(got));
    }
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string line = pending_.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(SplitMessage(line));
    }
    pending_.erase(0, start);
}

void MessageCapture::End() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    VELQA3_DUP2(saved_, 2);
    VELQA3_CLOSE(saved_);
    saved_ = -1;
    if (reader_ >= 0) VELQA3_CLOSE(reader_);
    reader_ = -1;
}

} // namespace velqa3::sim
