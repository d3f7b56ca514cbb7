#include "speech/helper/SherpaOnnx.h"

#include <cstring>

#include <dlfcn.h>

namespace SherpaOnnx {

namespace {

template <typename Function>
bool resolve(void* library, const char* name, Function& function, std::string& error)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (!function)
        error = std::string("missing entry point ") + name;
    return function != nullptr;
}

} // namespace

bool load(const std::string& path, const char* pinnedVersion, Api& api, std::string& error)
{
    // Kept open for the life of the process: the helper does nothing else.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot open " + path;
        return false;
    }
    if (!resolve(library, "SherpaOnnxGetVersionStr", api.version, error))
        return false;
    if (std::strcmp(api.version(), pinnedVersion) != 0) {
        error = std::string("sherpa-onnx ") + api.version() + " found, " + pinnedVersion + " needed";
        return false;
    }
    return resolve(library, "SherpaOnnxCreateOnlineRecognizer", api.createRecognizer, error)
        && resolve(library, "SherpaOnnxDestroyOnlineRecognizer", api.destroyRecognizer, error)
        && resolve(library, "SherpaOnnxCreateOnlineStream", api.createStream, error)
        && resolve(library, "SherpaOnnxDestroyOnlineStream", api.destroyStream, error)
        && resolve(library, "SherpaOnnxOnlineStreamAcceptWaveform", api.acceptWaveform, error)
        && resolve(library, "SherpaOnnxIsOnlineStreamReady", api.isReady, error)
        && resolve(library, "SherpaOnnxDecodeOnlineStream", api.decode, error)
        && resolve(library, "SherpaOnnxGetOnlineStreamResult", api.result, error)
        && resolve(library, "SherpaOnnxDestroyOnlineRecognizerResult", api.destroyResult, error)
        && resolve(library, "SherpaOnnxOnlineStreamIsEndpoint", api.isEndpoint, error)
        && resolve(library, "SherpaOnnxOnlineStreamReset", api.reset, error);
}

} // namespace SherpaOnnx
