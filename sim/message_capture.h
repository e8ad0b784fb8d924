// The plug-in's messages. On Windows it shows them in message boxes; the Linux build writes
// each as one line "caption: text" on standard error. While the plug-in is loaded the host
// points its own standard error into a file in the run folder and reads the lines back after
// each call, so expectations can check them and the event log can place them in the frame
// they appeared in.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velqa3::sim {

struct Message {
    std::string caption;
    std::string text;
};

class MessageCapture {
  public:
    MessageCapture() = default;
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
    ~MessageCapture() { End(); }

    // Sends standard error into the file; false (and nothing changed) when that fails.
    bool Begin(const std::string& path);
    // Complete lines written since the last call, split into caption and text. On Linux a
    // call that finds nothing new makes no system call: the host asks after every frame.
    void Poll(std::vector<Message>& out);
    // Standard error goes back where it was, and the file keeps exactly what was written;
    // what is left unread is returned by Poll before.
    void End();
    bool active() const { return saved_ >= 0; }
    // Standard error as it was before Begin (the terminal), or 2 while nothing is captured.
    int SavedErrorFd() const { return saved_ >= 0 ? saved_ : 2; }
    // From a handler, as the process ends: the file keeps what was written, and not the room
    // sized ahead. Only system calls.
    void TrimAfterEnd();

  private:
    void SplitLines(std::vector<Message>& out);

    int saved_ = -1; // the original standard error
#if defined(_WIN32)
    int reader_ = -1; // reads the capture file back
#else
    bool Grow();
    int file_ = -1; // the capture file, also standard error while active
    // The file mapped into memory and sized ahead of the writes: bytes not yet written read
    // as zero, so a look at the next byte tells whether anything new arrived.
    const char* view_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t taken_ = 0; // bytes of the file already handed to pending_
#endif
    std::string pending_;
};

// Splits "caption: text" at the first ": "; a line without one is all text.
Message SplitMessage(const std::string& line);

} // namespace velqa3::sim
