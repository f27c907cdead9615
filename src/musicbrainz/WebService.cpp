#include "musicbrainz/WebService.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <memory>

#include "musicbrainz/MusicBrainzQueryException.h"

namespace Vantrel {

namespace {

const long CONNECT_TIMEOUT_SECONDS = 10;
const long TOTAL_TIMEOUT_SECONDS = 30;
// A whole release with every medium is far smaller; anything larger is not
// an answer of the web service.
const std::size_t MAX_ANSWER_BYTES = 64 * 1024 * 1024;
// The shared library of libcurl 7.16 and later.
const char* const CURL_LIBRARY = "libcurl.so.4";

// libcurl and the TLS libraries it brings take milliseconds to load, so it
// is loaded only when a lookup needs it, not at every start of the program.
class CurlLibrary {
public:
    CurlLibrary() : library(dlopen(CURL_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {
        if (library == nullptr || !resolve(globalInit, "curl_global_init") ||
            !resolve(globalCleanup, "curl_global_cleanup") || !resolve(easyInit, "curl_easy_init") ||
            !resolve(easyCleanup, "curl_easy_cleanup") || !resolve(easySetopt, "curl_easy_setopt") ||
            !resolve(easyPerform, "curl_easy_perform") || !resolve(easyGetinfo, "curl_easy_getinfo") ||
            !resolve(easyStrerror, "curl_easy_strerror"))
            throw MusicBrainzQueryException(std::string("Cannot load ") + CURL_LIBRARY +
                                            ", which MusicBrainz lookups need");
        globalInit(CURL_GLOBAL_DEFAULT);
    }
    // The library itself is never unloaded: the TLS libraries it brought in
    // keep state until the program ends.
    ~CurlLibrary() { globalCleanup(); }
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;

    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_global_cleanup) globalCleanup = nullptr;
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_perform) easyPerform = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_easy_strerror) easyStrerror = nullptr;

private:
    template <typename Function>
    bool resolve(Function& function, const char* name) {
        function = reinterpret_cast<Function>(dlsym(library, name));
        return function != nullptr;
    }

    void* library;
};

size_t appendToBody(char* data, size_t size, size_t count, void* target) {
    auto* body = static_cast<std::string*>(target);
    const size_t bytes = size * count;
    if (body->size() + bytes > MAX_ANSWER_BYTES)
        return 0; // libcurl stops with a write error
    body->append(data, bytes);
    return bytes;
}

} // namespace

HttpAnswer httpGet(const std::string& url, const std::string& userAgent) {
    const CurlLibrary curl;
    const auto cleanup = [&curl](CURL* handle) { curl.easyCleanup(handle); };
    const std::unique_ptr<CURL, decltype(cleanup)> easy(curl.easyInit(), cleanup);
    if (!easy)
        throw MusicBrainzQueryException("Cannot start libcurl");
    HttpAnswer answer;
    char error[CURL_ERROR_SIZE] = "";
    CURL* handle = easy.get();
    curl.easySetopt(handle, CURLOPT_URL, url.c_str());
    curl.easySetopt(handle, CURLOPT_USERAGENT, userAgent.c_str());
    curl.easySetopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl.easySetopt(handle, CURLOPT_CONNECTTIMEOUT, CONNECT_TIMEOUT_SECONDS);
    curl.easySetopt(handle, CURLOPT_TIMEOUT, TOTAL_TIMEOUT_SECONDS);
    curl.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl.easySetopt(handle, CURLOPT_ERRORBUFFER, error);
    curl.easySetopt(handle, CURLOPT_WRITEFUNCTION, appendToBody);
    curl.easySetopt(handle, CURLOPT_WRITEDATA, &answer.body);
    const CURLcode code = curl.easyPerform(handle);
    if (code == CURLE_WRITE_ERROR)
        throw MusicBrainzQueryException("MusicBrainz answer too large from " + url);
    if (code != CURLE_OK)
        throw MusicBrainzQueryException("No answer from MusicBrainz: " +
                                        std::string(error[0] != '\0' ? error : curl.easyStrerror(code)));
    curl.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &answer.status);
    return answer;
}

} // namespace Vantrel
