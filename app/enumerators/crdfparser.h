#pragma once
// CRDFParser: the seven text fields of a Mozilla extension's install
// manifest ("install.rdf"): the direct children of the first Description of
// the first RDF element, matched by base name without regard to case. Values
// given as attributes, and elements nested deeper (a target application's
// own Description), are not read.

#include <string>

namespace sorlix {

class CRDFParser {
public:
    std::string Creator;
    std::string Contributor;
    std::string Description;
    std::string HomepageURL;
    std::string Name;
    std::string id;
    std::string UpdateinfoURL;

    // Loads the file and fills the fields. On failure every field is empty,
    // the result is False and `ErrorText` says "Invalid XML", "RDF tag not
    // found" or "Description tag not found"; an unexpected error is logged
    // ("CRDFParser.Parse") and leaves `ErrorText` empty.
    bool Parse(const std::string& RDFFilename, std::string& ErrorText);

private:
    void clear();
};

} // namespace sorlix
