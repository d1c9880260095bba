// quillo-xml: checks and formats XML files with Quillo's own engine and the
// settings the program runs with.
//
//   quillo-xml check FILE...   one line per file: "FILE: ok" or the first error
//   quillo-xml format FILE     the document as Quillo writes a feed file; "-" reads stdin
//   quillo-xml check-feed FILE...
//                              the feed check: "FILE: error|warning: where: message" per
//                              finding; exit 1 on any error, 2 when a file does not load

#include "feed/FeedCheck.h"
#include "xml/XmlDom.h"
#include "xml/XmlWriter.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

namespace {

int usage() {
    std::cerr << "usage: quillo-xml check FILE... | quillo-xml check-feed FILE... | "
                 "quillo-xml format FILE|-\n";
    return 2;
}

// Runs fn with a model for one file. The document of the last file is left
// to the end of the process: freeing a large tree node by node only to exit
// would cost a good part of the run. The model itself goes (with any
// temporary file of an internet source); its document, held here, is still
// reachable at exit, not leaked.
template <typename Fn> auto withModel(Fn fn) {
    static TXmlDocumentPtr* lastDocument = nullptr;
    delete lastDocument;
    lastDocument = nullptr;
    TXmlObjModel model;
    auto result = fn(model);
    lastDocument = new TXmlDocumentPtr(model.document());
    return result;
}

std::string utf8(const std::u16string& s) {
    return encodeXmlText(s, ceUTF8, false);
}

std::string firstError(const TXmlObjModel& model) {
    const TXmlErrorList& errors = model.errorList();
    return errors.empty() ? std::string("the document could not be built") : utf8(errors.front());
}

int check(int argc, char** argv) {
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        const bool ok = withModel([&](TXmlObjModel& model) {
            const bool loaded = model.loadFromSource(argv[i]);
            std::cout << argv[i] << ": " << (loaded ? std::string("ok") : firstError(model))
                      << '\n';
            return loaded;
        });
        if (!ok)
            status = 1;
    }
    return status;
}

// A file that does not load gets one error line and status 2; the others are
// still checked. A checker reaches no network: a DTD the feed names is not fetched.
int checkFeeds(int argc, char** argv) {
    bool errors = false;
    bool unloaded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string file = argv[i];
        withModel([&](TXmlObjModel& model) {
            model.setReadExternalDtd(false);
            if (!model.loadFromSource(file)) {
                std::cout << file << ": error: document: " << firstError(model) << '\n';
                unloaded = true;
                return 0;
            }
            for (const FeedFinding& f : checkFeed(*model.document())) {
                std::cout << file << ": " << severityName(f.severity) << ": "
                          << utf8(findingPlace(f)) << ": " << utf8(f.message) << '\n';
                errors = errors || f.severity == FeedSeverity::Error;
            }
            return 0;
        });
    }
    return unloaded ? 2 : errors ? 1 : 0;
}

int format(const std::string& file) {
    return withModel([&file](TXmlObjModel& model) {
        bool ok;
        if (file == "-") {
            std::string input((std::istreambuf_iterator<char>(std::cin)),
                              std::istreambuf_iterator<char>());
            ok = model.loadFromMemory(input.data(), input.size());
        } else
            ok = model.loadFromSource(file);
        if (!ok) {
            for (const auto& line : model.errorList())
                std::cerr << utf8(line) << '\n';
            if (model.errorList().empty())
                std::cerr << firstError(model) << '\n';
        }
        bool written = true;
        writeXmlBytes(*model.document(), [&written](std::string_view piece) {
            written =
                written && std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
        });
        if (std::fflush(stdout) != 0 || !written) {
            std::cerr << "quillo-xml: cannot write to standard output\n";
            return 1;
        }
        return ok ? 0 : 1;
    });
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    std::string command = argv[1];
    if (command == "check" && argc >= 3)
        return check(argc, argv);
    if (command == "check-feed" && argc >= 3)
        return checkFeeds(argc, argv);
    if (command == "format" && argc == 3)
        return format(argv[2]);
    return usage();
}
