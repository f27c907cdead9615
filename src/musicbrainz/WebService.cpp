#include "musicbrainz/WebService.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <functional>
#include <memory>

#include "musicbrainz/MusicBrainzQueryException.h"

namespace Vantrel {

namespace {

const long CONNECT_TIMEOUT_SECONDS = 10;
const long TOTAL_TIMEOUT_SECONDS = 30;
// The shared library of libcurl 7.16 and later.
const char* const CURL_LIBRARY = "libcurl.so.4";

// libcurl and the TLS libraries it brings take milliseconds to load, so it
// is loaded only when a lookup needs it, not at every start of the program.
class CurlLibrary {
public:
    CurlLibrary()
        : library(dlopen(CURL_LIBRARY, RTLD_NOW | RTLD_LOCAL)),
          globalInit(resolve<decltype(&curl_global_init)>("curl_global_init")),
          globalCleanup(resolve<decltype(&curl_global_cleanup)>("curl_global_cleanup")),
          easyInit(resolve<decltype(&curl_easy_init)>("curl_easy_init")),
          easyCleanup(resolve<decltype(&curl_easy_cleanup)>("curl_easy_cleanup")),
          easySetopt(resolve<decltype(&curl_easy_setopt)>("curl_easy_setopt")),
          easyPerform(resolve<decltype(&curl_easy_perform)>("curl_easy_perform")),
          easyGetinfo(resolve<decltype(&curl_easy_getinfo)>("curl_easy_getinfo")),
          easyStrerror(resolve<decltype(&curl_easy_strerror)>("curl_easy_strerror")) {
        globalInit(CURL_GLOBAL_DEFAULT);
    }
    // The library itself is never unloaded: the TLS libraries it brought in
    // keep state until the program ends.
    ~CurlLibrary() { globalCleanup(); }
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;

private:
    void* library;

public:
    decltype(&curl_global_init) globalInit;
    decltype(&curl_global_cleanup) globalCleanup;
    decltype(&curl_easy_init) easyInit;
    decltype(&curl_easy_cleanup) easyCleanup;
    decltype(&curl_easy_setopt) easySetopt;
    decltype(&curl_easy_perform) easyPerform;
    decltype(&curl_easy_getinfo) easyGetinfo;
    decltype(&curl_easy_strerror) easyStrerror;

private:
    // The loaded library's function of that name; the type comes from
    // libcurl's header.
    template <typename Function>
    Function resolve(const char* name) const {
        const auto loaded = library == nullptr ? nullptr : reinterpret_cast<Function>(dlsym(library, name));
        if (loaded == nullptr)
            throw MusicBrainzQueryException(std::string("Cannot load ") + CURL_LIBRARY +
                                            ", which MusicBrainz lookups need");
        return loaded;
    }
};

// libcurl's hook before a request is sent; no exception may cross it.
int runBeforeSending(void* action, char*, char*, int, int) {
    try {
        (*static_cast<const std::function<void()>*>(action))();
        return CURL_PREREQFUNC_OK;
    } catch (...) {
        return CURL_PREREQFUNC_ABORT;
    }
}

// The body so far and the most it may grow to.
struct Body {
    std::string& text;
    std::size_t maxBytes;
};

size_t appendToBody(char* data, size_t size, size_t count, void* target) {
    auto* body = static_cast<Body*>(target);
    const size_t bytes = size * count;
    if (body->text.size() + bytes > body->maxBytes)
        return 0; // libcurl stops with a write error
    body->text.append(data, bytes);
    return bytes;
}

} // namespace

HttpAnswer httpGet(const std::string& url, const std::string& userAgent, const std::function<void()>& beforeSending,
                   std::size_t maxBytes) {
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
    Body body{answer.body, maxBytes};
    curl.easySetopt(handle, CURLOPT_WRITEDATA, &body);
    curl.easySetopt(handle, CURLOPT_PREREQFUNCTION, runBeforeSending);
    curl.easySetopt(handle, CURLOPT_PREREQDATA, &beforeSending);
    const CURLcode code = curl.easyPerform(handle);
    if (code == CURLE_WRITE_ERROR)
        throw AnswerTooLarge("MusicBrainz answer too large from " + url);
    if (code != CURLE_OK)
        throw MusicBrainzQueryException("No answer from MusicBrainz: " +
                                        std::string(error[0] != '\0' ? error : curl.easyStrerror(code)));
    curl.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_off_t retryAfter = 0;
    curl.easyGetinfo(handle, CURLINFO_RETRY_AFTER, &retryAfter);
    answer.retryAfterSeconds = static_cast<long long>(retryAfter);
    char* redirect = nullptr;
    if (curl.easyGetinfo(handle, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect != nullptr)
        answer.redirectUrl = redirect;
    return answer;
}

} // namespace Vantrel
