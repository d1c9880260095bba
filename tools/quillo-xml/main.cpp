// quillo-xml: checks and formats XML files with Quillo's own engine and the
// settings the program runs with.
//
//   quillo-xml check FILE...   one line per file: "FILE: ok" or the first error
//   quillo-xml format FILE     the document as Quillo writes a feed file; "-" reads stdin

#include "xml/XmlDom.h"
#include "xml/XmlWriter.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

namespace {

int usage() {
    std::cerr << "usage: quillo-xml check FILE... | quillo-xml format FILE|-\n";
    return 2;
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
        TXmlObjModel model;
        bool ok = model.loadFromSource(argv[i]);
        std::cout << argv[i] << ": " << (ok ? std::string("ok") : firstError(model)) << '\n';
        if (!ok)
            status = 1;
    }
    return status;
}

int format(const std::string& file) {
    TXmlObjModel model;
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
    std::string bytes = xmlBytes(*model.document());
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    if (std::fflush(stdout) != 0) {
        std::cerr << "quillo-xml: cannot write to standard output\n";
        return 1;
    }
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    std::string command = argv[1];
    if (command == "check" && argc >= 3)
        return check(argc, argv);
    if (command == "format" && argc == 3)
        return format(argv[2]);
    return usage();
}
