#include "platform/mp3/LameLibrary.h"

#include <dlfcn.h>

#include <cstdlib>

// The few entry points used, declared here rather than taken from the
// library's header: the library is optional and only looked up at run time.
struct LameLibrary::Api {
    using Flags = void*;
    Flags (*init)();
    int (*setInSampleRate)(Flags, int);
    int (*setNumChannels)(Flags, int);
    int (*setMode)(Flags, int);
    int (*setVbr)(Flags, int);
    int (*setBitrate)(Flags, int);
    int (*setOriginal)(Flags, int);
    int (*setWriteVbrTag)(Flags, int);
    int (*setDisableReservoir)(Flags, int);
    int (*initParams)(Flags);
    int (*encodeInterleaved)(Flags, short*, int, unsigned char*, int);
    int (*flush)(Flags, unsigned char*, int);
    size_t (*lametagFrame)(Flags, unsigned char*, size_t);
    int (*close)(Flags);
    const char* (*version)();
};

namespace {

constexpr int kVbrOff = 0;

template <typename T>
bool Resolve(void* library, const char* name, T& target) {
    target = reinterpret_cast<T>(dlsym(library, name));
    return target != nullptr;
}

}  // namespace

LameLibrary::~LameLibrary() {
    Unload();
}

bool LameLibrary::Load() {
    if (m_library != nullptr) {
        return true;
    }
    const char* name = std::getenv(kLibraryEnvironment);
    void* library =
        dlopen(name != nullptr && name[0] != '\0' ? name : kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return false;
    }
    Api* api = new Api{};
    bool ok = Resolve(library, "lame_init", api->init) &&
              Resolve(library, "lame_set_in_samplerate", api->setInSampleRate) &&
              Resolve(library, "lame_set_num_channels", api->setNumChannels) &&
              Resolve(library, "lame_set_mode", api->setMode) &&
              Resolve(library, "lame_set_VBR", api->setVbr) &&
              Resolve(library, "lame_set_brate", api->setBitrate) &&
              Resolve(library, "lame_set_original", api->setOriginal) &&
              Resolve(library, "lame_set_bWriteVbrTag", api->setWriteVbrTag) &&
              Resolve(library, "lame_set_disable_reservoir", api->setDisableReservoir) &&
              Resolve(library, "lame_init_params", api->initParams) &&
              Resolve(library, "lame_encode_buffer_interleaved", api->encodeInterleaved) &&
              Resolve(library, "lame_encode_flush", api->flush) &&
              Resolve(library, "lame_get_lametag_frame", api->lametagFrame) &&
              Resolve(library, "lame_close", api->close) &&
              Resolve(library, "get_lame_version", api->version);
    if (!ok) {
        delete api;
        dlclose(library);
        return false;
    }
    m_library = library;
    m_api = api;
    return true;
}

void LameLibrary::Unload() {
    CloseStream();
    delete m_api;
    m_api = nullptr;
    if (m_library != nullptr) {
        dlclose(m_library);
        m_library = nullptr;
    }
}

std::string LameLibrary::Version() const {
    if (m_api == nullptr) {
        return {};
    }
    const char* text = m_api->version();
    return text != nullptr ? text : "";
}

int LameLibrary::InitStream(const LameSettings& settings) {
    if (m_api == nullptr) {
        return -1;
    }
    CloseStream();
    void* flags = m_api->init();
    if (flags == nullptr) {
        return -1;
    }
    bool ok = m_api->setInSampleRate(flags, settings.inSampleRate) == 0 &&
              m_api->setNumChannels(flags, settings.channels) == 0 &&
              m_api->setMode(flags, settings.mode) == 0 && m_api->setVbr(flags, kVbrOff) == 0 &&
              m_api->setBitrate(flags, settings.bitrateKbps) == 0 &&
              m_api->setOriginal(flags, settings.original ? 1 : 0) == 0 &&
              m_api->setWriteVbrTag(flags, settings.writeInfoTag ? 1 : 0) == 0 &&
              m_api->setDisableReservoir(flags, settings.disableReservoir ? 1 : 0) == 0 &&
              m_api->initParams(flags) >= 0;
    if (!ok) {
        m_api->close(flags);
        return -1;
    }
    m_stream = flags;
    return 0;
}

int LameLibrary::Encode(const int16_t* interleaved, int frames, uint8_t* out, int outSize) {
    if (m_stream == nullptr) {
        return -1;
    }
    // The library takes a non-const pointer but only reads the samples.
    return m_api->encodeInterleaved(m_stream, const_cast<short*>(interleaved), frames, out,
                                    outSize);
}

int LameLibrary::Flush(uint8_t* out, int outSize) {
    if (m_stream == nullptr) {
        return -1;
    }
    return m_api->flush(m_stream, out, outSize);
}

size_t LameLibrary::InfoTag(uint8_t* out, size_t outSize) {
    if (m_stream == nullptr) {
        return 0;
    }
    return m_api->lametagFrame(m_stream, out, outSize);
}

void LameLibrary::CloseStream() {
    if (m_stream != nullptr) {
        m_api->close(m_stream);
        m_stream = nullptr;
    }
}
