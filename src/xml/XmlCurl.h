#pragma once
// Internal to the engine: libcurl, loaded on first use. A program that reads
// and writes only local files never loads it (nor the TLS and other
// libraries behind it), which keeps its start and its memory small.

#include <curl/curl.h>

namespace xmlcurl {

// The libcurl functions the engine calls. Before a successful load() they
// are stand-ins that fail.
struct Api {
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLcode (*easy_perform)(CURL*);
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
    void (*easy_cleanup)(CURL*);
    void (*easy_reset)(CURL*);
    curl_slist* (*slist_append)(curl_slist*, const char*);
    void (*slist_free_all)(curl_slist*);
};

// Loads libcurl and sets it up for the whole program, once; false when it
// cannot be loaded or set up.
bool load();
const Api& api();

} // namespace xmlcurl
