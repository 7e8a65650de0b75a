#include "comm/xml/xml_export.h"

#include <gtest/gtest.h>

namespace tramela::comm::xml {
namespace {

TEST(XmlExport, ThePackageGoesBesideTheDocumentWithItsExtensionReplaced) {
    const std::pair<const char*, const char*> cases[] = {
        {"/dati/Comunicazione.xml", "/dati/Comunicazione.lzma"},
        {"Comunicazione.XML", "Comunicazione.lzma"},
        // No extension: one is added, and the package stays in the chosen folder.
        {"/dati/ab", "/dati/ab.lzma"},
        {"/dati/noext", "/dati/noext.lzma"},
        {"/dati.2024/invio", "/dati.2024/invio.lzma"},
        // A document already named .lzma is never packed over itself.
        {"/dati/invio.lzma", "/dati/invio.lzma.lzma"},
    };
    for (const auto& [document, package] : cases) {
        EXPECT_EQ(packagePathFor(document), std::filesystem::path(package)) << document;
        EXPECT_EQ(packagePathFor(document).parent_path(),
                  std::filesystem::path(document).parent_path());
    }
}

} // namespace
} // namespace tramela::comm::xml
