#include "comm/gtfs/feed_reader.h"

#include <csv.h>
#include <fmt/format.h>
#include <fstream>
#include <zip.h>

namespace tramela::comm::gtfs {

namespace fs = std::filesystem;

struct FeedSource::Archive {
    zip_t* zip = nullptr;

    ~Archive() {
        if (zip != nullptr) {
            zip_discard(zip);
        }
    }

    // The entry of that name at the root or in a folder of the archive (feeds are often zipped
    // together with the folder that held them).
    zip_int64_t locate(std::string_view name) const {
        return zip_name_locate(zip, std::string(name).c_str(), ZIP_FL_NODIR);
    }
};

FeedSource::~FeedSource() = default;
FeedSource::FeedSource(FeedSource&&) noexcept = default;
FeedSource& FeedSource::operator=(FeedSource&&) noexcept = default;

std::optional<FeedSource> FeedSource::open(const fs::path& feed, FeedError& error) {
    std::error_code ec;
    FeedSource source;
    if (fs::is_directory(feed, ec)) {
        source.m_folder = feed;
        return source;
    }
    if (!fs::is_regular_file(feed, ec)) {
        error = {feed.string(), 0, "la cartella o il file zip del feed non esiste"};
        return std::nullopt;
    }
    int code = 0;
    zip_t* zip = zip_open(feed.c_str(), ZIP_RDONLY, &code);
    if (zip == nullptr) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        error = {feed.string(),
                 0,
                 fmt::format("il file non è un archivio zip leggibile ({})",
                             zip_error_strerror(&zipError))};
        zip_error_fini(&zipError);
        return std::nullopt;
    }
    source.m_archive = std::make_unique<Archive>();
    source.m_archive->zip = zip;
    return source;
}

bool FeedSource::has(std::string_view name) const {
    if (m_archive) {
        return m_archive->locate(name) >= 0;
    }
    std::error_code ec;
    return fs::is_regular_file(m_folder / name, ec);
}

bool FeedSource::read(std::string_view name,
                      const std::function<void(std::string_view)>& chunk,
                      FeedError& error) const {
    char buffer[1 << 16];
    if (m_archive) {
        const zip_int64_t index = m_archive->locate(name);
        zip_file_t* file = index < 0 ? nullptr : zip_fopen_index(m_archive->zip, index, 0);
        if (file == nullptr) {
            error = {std::string(name), 0, "il file non può essere letto dall'archivio zip"};
            return false;
        }
        zip_int64_t got = 0;
        while ((got = zip_fread(file, buffer, sizeof buffer)) > 0) {
            chunk(std::string_view(buffer, static_cast<size_t>(got)));
        }
        zip_fclose(file);
        if (got < 0) {
            error = {std::string(name), 0, "l'archivio zip è danneggiato"};
            return false;
        }
        return true;
    }
    std::ifstream in(m_folder / name, std::ios::binary);
    if (!in) {
        error = {std::string(name), 0, "il file non può essere aperto"};
        return false;
    }
    while (in) {
        in.read(buffer, sizeof buffer);
        if (in.gcount() > 0) {
            chunk(std::string_view(buffer, static_cast<size_t>(in.gcount())));
        }
    }
    if (in.bad()) {
        error = {std::string(name), 0, "errore di lettura del file"};
        return false;
    }
    return true;
}

std::string_view CsvRecord::operator[](size_t column) const {
    const int at = m_columns[column];
    if (at < 0 || static_cast<size_t>(at) >= m_fields.size()) {
        return {};
    }
    return m_fields[static_cast<size_t>(at)];
}

namespace {

// The state libcsv's callbacks fill: the fields of the record being read, then the record
// handed on once its end is met.
struct ParseState {
    std::string_view file;
    const std::vector<std::string_view>* wanted = nullptr;
    size_t required = 0;
    const std::function<bool(const CsvRecord&, FeedError&)>* row = nullptr;
    FeedError* error = nullptr;

    std::vector<std::string> fields;
    std::vector<int> columns;
    bool headerRead = false;
    bool byPosition = false;
    long line = 0;
    bool stopped = false;
};

void onField(void* text, size_t length, void* data) {
    auto& state = *static_cast<ParseState*>(data);
    state.fields.emplace_back(static_cast<const char*>(text), length);
}

void onRecordEnd(int, void* data) {
    auto& state = *static_cast<ParseState*>(data);
    ++state.line;
    if (state.stopped) {
        state.fields.clear();
        return;
    }
    if (!state.headerRead) {
        state.headerRead = true;
        state.columns.assign(state.wanted->size(), -1);
        if (state.byPosition) {
            for (size_t c = 0; c < state.columns.size(); ++c) {
                state.columns[c] = static_cast<int>(c);
            }
            state.fields.clear();
            return;
        }
        for (size_t i = 0; i < state.fields.size(); ++i) {
            std::string_view name = state.fields[i];
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
                name.remove_suffix(1);
            }
            for (size_t c = 0; c < state.wanted->size(); ++c) {
                if ((*state.wanted)[c] == name && state.columns[c] < 0) {
                    state.columns[c] = static_cast<int>(i);
                }
            }
        }
        for (size_t c = 0; c < state.required; ++c) {
            if (state.columns[c] < 0) {
                *state.error = {
                    std::string(state.file),
                    1,
                    fmt::format("manca la colonna obbligatoria \"{}\"", (*state.wanted)[c])};
                state.stopped = true;
                break;
            }
        }
        state.fields.clear();
        return;
    }
    const CsvRecord record(state.line, state.fields, state.columns);
    if (!(*state.row)(record, *state.error)) {
        if (state.error->file.empty()) {
            state.error->file = state.file;
        }
        if (state.error->line == 0) {
            state.error->line = state.line;
        }
        state.stopped = true;
    }
    state.fields.clear();
}

} // namespace

bool CsvInput::read(const std::function<void(std::string_view)>& chunk, FeedError& error) const {
    if (m_source != nullptr) {
        return m_source->read(m_file, chunk, error);
    }
    chunk(m_text);
    return true;
}

bool readCsv(const CsvInput& input,
             const std::vector<std::string_view>& columns,
             size_t required,
             const std::function<bool(const CsvRecord&, FeedError&)>& row,
             FeedError& error,
             bool byPosition) {
    const std::string_view file = input.file();
    ParseState state;
    state.byPosition = byPosition;
    state.file = file;
    state.wanted = &columns;
    state.required = required;
    state.row = &row;
    state.error = &error;

    csv_parser parser;
    if (csv_init(&parser, CSV_APPEND_NULL) != 0) {
        error = {std::string(file), 0, "memoria insufficiente per la lettura"};
        return false;
    }
    bool first = true;
    bool parseFailed = false;
    const bool read = input.read(
        [&](std::string_view bytes) {
            if (parseFailed || state.stopped) {
                return;
            }
            if (first) {
                first = false;
                if (bytes.starts_with("\xEF\xBB\xBF")) {
                    bytes.remove_prefix(3);
                }
            }
            if (csv_parse(&parser, bytes.data(), bytes.size(), onField, onRecordEnd, &state) !=
                bytes.size()) {
                parseFailed = true;
            }
        },
        error);
    if (read && !parseFailed && !state.stopped) {
        csv_fini(&parser, onField, onRecordEnd, &state);
    }
    const int parserError = csv_error(&parser);
    csv_free(&parser);
    if (!read || state.stopped) {
        return false;
    }
    if (parseFailed) {
        error = {std::string(file),
                 state.line + 1,
                 fmt::format("formato CSV non valido ({})", csv_strerror(parserError))};
        return false;
    }
    if (!state.headerRead) {
        error = {std::string(file), 0, "il file è vuoto (manca la riga di intestazione)"};
        return false;
    }
    return true;
}

} // namespace tramela::comm::gtfs
