#include "app/enumerators/crdfparser.h"

#include <exception>

#include "app/core/comcalls.h"
#include "app/core/mxml.h"
#include "app/enumerators/enumcalls.h"
#include "platform/com/com_error.h"
#include "platform/xml/dom.h"

namespace sorlix {

namespace {
constexpr win::LONG kFileNotFound = 53; // as Enum::ReadInputFile reports a missing file
}

void CRDFParser::clear() {
    for (std::string* field : {&Creator, &Contributor, &Description, &HomepageURL, &Name, &id, &UpdateinfoURL})
        field->clear();
}

bool CRDFParser::Parse(const std::string& RDFFilename, std::string& ErrorText) {
    ErrorText.clear();
    clear();
    try {
        winsys::xml::Document doc;
        try {
            doc.loadBytes(Enum::ReadInputFile(RDFFilename));
        } catch (const winsys::com::ComError& e) {
            // A file over the bound is named as such, and a missing one as
            // missing (an empty extension folder is no broken manifest);
            // one that cannot be read is no XML.
            if (e.hresult() == win::HRESULT_FROM_WIN32(win::ERROR_FILE_TOO_LARGE)) ErrorText = e.description();
            else if (e.hresult() == winsys::com::hresultFromNumber(kFileNotFound))
                ErrorText = "The folder has no " + RDFFilename.substr(RDFFilename.rfind('\\') + 1) + ".";
            else ErrorText = "Invalid XML";
            return false;
        }
        if (!doc.lastChild()) {
            ErrorText = "Invalid XML";
            return false;
        }
        const winsys::xml::Node rdf = MXML::FindChildNodeByName(doc.childNodes(), "RDF");
        if (!rdf) {
            ErrorText = "RDF tag not found";
            return false;
        }
        const winsys::xml::Node description = MXML::FindChildNodeByName(rdf.childNodes(), "Description");
        if (!description) {
            ErrorText = "Description tag not found";
            return false;
        }
        const winsys::xml::NodeList children = description.childNodes();
        const std::pair<std::string*, const char*> fields[] = {
            {&Creator, "creator"}, {&Contributor, "contributor"}, {&Description, "description"},
            {&HomepageURL, "homepageURL"}, {&Name, "name"}, {&id, "id"}, {&UpdateinfoURL, "updateInfoURL"},
        };
        for (const auto& [field, element] : fields)
            if (const winsys::xml::Node n = MXML::FindChildNodeByName(children, element)) *field = n.text();
        return true;
    } catch (const std::exception& e) {
        clear();
        LogError(e, "CRDFParser.Parse");
        return false;
    }
}

} // namespace sorlix
