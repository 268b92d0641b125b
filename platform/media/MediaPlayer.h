#pragma once

#include <string>

// Plays one audio file (WAV, MP3, whatever the system can decode) on the
// default audio output, in the background. Results are 0 or -1; the reason
// of the last failure is kept as text.
class MediaPlayer {
public:
    MediaPlayer() = default;
    ~MediaPlayer();
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    // Opens the file and gets it ready to play; fails when the file cannot
    // be read or decoded or no output can take it.
    int Open(const std::string& path);
    bool IsOpen() const { return m_pipeline != nullptr; }
    // Starts playing from the beginning and returns at once.
    int Play();
    int Stop();
    void Close();

    const std::string& ErrorText() const { return m_error; }

private:
    void TakeBusError();

    void* m_pipeline = nullptr;
    std::string m_error;
};
