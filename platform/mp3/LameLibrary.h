#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The LAME settings the recorder uses, in LAME's own terms.
struct LameSettings {
    // LAME's channel modes.
    static constexpr int kStereo = 0;
    static constexpr int kJointStereo = 1;
    static constexpr int kMono = 3;

    int inSampleRate = 0;
    int channels = 0;
    int mode = kJointStereo;
    int bitrateKbps = 0;
    bool original = false;
    bool writeInfoTag = false;
    bool disableReservoir = false;
};

// The MP3 encoder library, opened at run time by name (kLibraryName, or the
// name in kLibraryEnvironment), with one encoding stream at a time.
// Results are 0 or byte counts; negative values are failures.
class LameLibrary {
public:
    static constexpr const char* kLibraryName = "libmp3lame.so.0";
    static constexpr const char* kLibraryEnvironment = "QORVANE_LAME_LIBRARY";

    LameLibrary() = default;
    ~LameLibrary();
    LameLibrary(const LameLibrary&) = delete;
    LameLibrary& operator=(const LameLibrary&) = delete;

    // False when the library or one of the entry points is missing.
    bool Load();
    void Unload();
    bool IsLoaded() const { return m_library != nullptr; }
    std::string Version() const;

    int InitStream(const LameSettings& settings);
    bool HasStream() const { return m_stream != nullptr; }
    // `frames` interleaved sample frames in; MP3 bytes out (possibly none).
    int Encode(const int16_t* interleaved, int frames, uint8_t* out, int outSize);
    int Flush(uint8_t* out, int outSize);
    // The finished VBR/Info tag frame that replaces the placeholder frame the
    // stream began with; 0 when there is none.
    size_t InfoTag(uint8_t* out, size_t outSize);
    void CloseStream();

private:
    struct Api;
    void* m_library = nullptr;
    Api* m_api = nullptr;
    void* m_stream = nullptr;
};
