#include "comm/xml/server_settings.h"
#include "fuzz_support.h"
#include "workspace/settings.h"

// The settings file as the programs read it: loaded, the bound database, the application folder
// and every server configuration looked up, then written back (in the scratch folder) with its
// comments kept.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace xml = tramela::comm::xml;
    tramela::workspace::Settings settings(
        tramela::fuzz::writeInput("settings.toml", tramela::fuzz::bytes(data, size)));
    if (settings.load() != tramela::workspace::Settings::LoadResult::Loaded) {
        return 0;
    }
    settings.databasePath();
    tramela::workspace::applicationDirectory(settings);
    for (const std::string& name : xml::configurationNames(settings)) {
        for (const xml::ValueSet which : {xml::ValueSet::Confirmed, xml::ValueSet::Imported}) {
            xml::uploadParameters(settings, name, xml::loadConnectionValues(settings, name, which));
        }
    }
    settings.setDatabasePath("prova.sqlite");
    settings.save();
    return 0;
}
