#include "musicbrainz/WebService.h"

#include <curl/curl.h>

#include <memory>

#include "musicbrainz/MusicBrainzQueryException.h"

namespace Vantrel {

namespace {

const long CONNECT_TIMEOUT_SECONDS = 10;
const long TOTAL_TIMEOUT_SECONDS = 30;
// A whole release with every medium is far smaller; anything larger is not
// an answer of the web service.
const std::size_t MAX_ANSWER_BYTES = 64 * 1024 * 1024;

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

class CurlLibrary {
public:
    CurlLibrary() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlLibrary() { curl_global_cleanup(); }
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;
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
    const CurlLibrary library;
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        throw MusicBrainzQueryException("Cannot start libcurl");
    HttpAnswer answer;
    char error[CURL_ERROR_SIZE] = "";
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, userAgent.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, CONNECT_TIMEOUT_SECONDS);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, TOTAL_TIMEOUT_SECONDS);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, appendToBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer.body);
    const CURLcode code = curl_easy_perform(handle);
    if (code == CURLE_WRITE_ERROR)
        throw MusicBrainzQueryException("MusicBrainz answer too large from " + url);
    if (code != CURLE_OK)
        throw MusicBrainzQueryException("No answer from MusicBrainz: " +
                                        std::string(error[0] != '\0' ? error : curl_easy_strerror(code)));
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &answer.status);
    return answer;
}

} // namespace Vantrel
