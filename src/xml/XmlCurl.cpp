#include "xml/XmlCurl.h"

#include <dlfcn.h>
#include <mutex>

namespace xmlcurl {

namespace {

CURL* noInit() {
    return nullptr;
}
CURLcode noSetopt(CURL*, CURLoption, ...) {
    return CURLE_FAILED_INIT;
}
CURLcode noPerform(CURL*) {
    return CURLE_FAILED_INIT;
}
CURLcode noGetinfo(CURL*, CURLINFO, ...) {
    return CURLE_FAILED_INIT;
}
void noHandle(CURL*) {}
curl_slist* noAppend(curl_slist* list, const char*) {
    return list;
}
void noFree(curl_slist*) {}

Api functions = {noInit, noSetopt, noPerform, noGetinfo, noHandle, noHandle, noAppend, noFree};

template <typename F> bool bind(void* lib, const char* name, F& slot) {
    void* f = ::dlsym(lib, name);
    if (!f)
        return false;
    slot = reinterpret_cast<F>(f);
    return true;
}

bool loadOnce() {
    // The library a program linked against libcurl already has is found
    // first; otherwise the names the distributions give it.
    void* lib = nullptr;
    for (const char* name : {"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl-nss.so.4", "libcurl.so"}) {
        lib = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (lib)
            break;
    }
    if (!lib)
        return false;
    Api a = functions;
    CURLcode (*globalInit)(long) = nullptr;
    if (!bind(lib, "curl_global_init", globalInit) || !bind(lib, "curl_easy_init", a.easy_init) ||
        !bind(lib, "curl_easy_setopt", a.easy_setopt) ||
        !bind(lib, "curl_easy_perform", a.easy_perform) ||
        !bind(lib, "curl_easy_getinfo", a.easy_getinfo) ||
        !bind(lib, "curl_easy_cleanup", a.easy_cleanup) ||
        !bind(lib, "curl_easy_reset", a.easy_reset) ||
        !bind(lib, "curl_slist_append", a.slist_append) ||
        !bind(lib, "curl_slist_free_all", a.slist_free_all))
        return false;
    if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return false;
    // Kept loaded for the life of the program.
    functions = a;
    return true;
}

} // namespace

bool load() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = loadOnce(); });
    return ok;
}

const Api& api() {
    return functions;
}

} // namespace xmlcurl
