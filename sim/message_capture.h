// The plug-in's messages. On Windows it shows them in message boxes; the Linux build writes
// each as one line "caption: text" on standard error. While the plug-in is loaded the host
// points its own standard error into a file in the run folder and reads the lines back after
// each call, so expectations can check them and the event log can place them in time.
#pragma once

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
    // Complete lines written since the last call, split into caption and text.
    void Poll(std::vector<Message>& out);
    // Standard error goes back where it was; what is left unread is returned by Poll before.
    void End();
    bool active() const { return saved_ >= 0; }

  private:
    int saved_ = -1;  // the original standard error
    int reader_ = -1; // reads the capture file back
    std::string pending_;
};

// Splits "caption: text" at the first ": "; a line without one is all text.
Message SplitMessage(const std::string& line);

} // namespace velqa3::sim
