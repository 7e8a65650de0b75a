#include "comm/gtfs/feed_reader.h"

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
                      const std::function<bool(std::string_view)>& chunk,
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
        // A reader that has stopped (a fault, a field too long) leaves the rest unread: an
        // archive may unpack to far more than it holds.
        while ((got = zip_fread(file, buffer, sizeof buffer)) > 0) {
            if (!chunk(std::string_view(buffer, static_cast<size_t>(got)))) {
                got = 0;
                break;
            }
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
        if (in.gcount() > 0 && !chunk(std::string_view(buffer, static_cast<size_t>(in.gcount())))) {
            break;
        }
    }
    if (in.bad()) {
        error = {std::string(name), 0, "errore di lettura del file"};
        return false;
    }
    return true;
}

bool CsvInput::read(const std::function<bool(std::string_view)>& chunk, FeedError& error) const {
    if (m_source != nullptr) {
        return m_source->read(m_file, chunk, error);
    }
    chunk(m_text);
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

// The reading of one CSV file, fed its bytes chunk by chunk. Fields are separated by commas and
// records by CR, LF or CR LF; blank lines are skipped; blanks around an unquoted field are
// dropped. A field that starts with a quote runs to its closing quote, holding commas, line ends
// and doubled quotes ("" for "). Only the record being read is held, so a field or a line longer
// than the limits is refused before it can fill the memory.
class CsvParser {
public:
    CsvParser(std::string_view file,
              const std::vector<std::string_view>& wanted,
              size_t required,
              bool byPosition,
              const std::function<bool(const CsvRecord&, FeedError&)>& row,
              FeedError& error)
        : m_file(file)
        , m_wanted(wanted)
        , m_required(required)
        , m_byPosition(byPosition)
        , m_row(row)
        , m_error(error) {}

    // False once a fault has been met (and told in the error).
    bool feed(std::string_view bytes) {
        for (size_t i = 0; i < bytes.size() && !m_stopped; ++i) {
            if (m_state == State::FieldBegun) {
                // Most bytes are the plain text of a field: taken a run at a time.
                const size_t run = plainRun(bytes.substr(i));
                if (run > 0) {
                    appendRun(bytes.substr(i, run));
                    i += run - 1;
                    continue;
                }
            }
            const char c = bytes[i];
            if (c == '\n') {
                if (!m_previousCr) {
                    ++m_line;
                }
            } else if (c == '\r') {
                ++m_line;
            }
            m_previousCr = c == '\r';
            if (m_state != State::RowNotBegun && ++m_recordBytes > kMaxLine) {
                lineTooLong();
                break;
            }
            take(c);
        }
        return !m_stopped;
    }

    // The end of the file: the last record, if any, is complete. False on a fault.
    bool finish() {
        if (m_stopped) {
            return false;
        }
        switch (m_state) {
        case State::RowNotBegun:
            break;
        case State::FieldBegun:
            if (m_quoted) {
                fault(m_recordLine,
                      fmt::format("virgolette non chiuse nel campo {}: il campo prosegue fino "
                                  "alla fine del file",
                                  fieldName(m_ends.size())));
                return false;
            }
            [[fallthrough]];
        case State::FieldNotBegun:
        case State::QuoteMet:
            endField();
            endRecord();
            break;
        }
        if (m_stopped) {
            return false;
        }
        if (!m_headerRead) {
            m_error = {std::string(m_file), 0, "il file è vuoto (manca la riga di intestazione)"};
            return false;
        }
        return true;
    }

private:
    static constexpr size_t kMaxField = size_t{1} << 20; // bytes
    static constexpr size_t kMaxLine = size_t{4} << 20;

    enum class State { RowNotBegun, FieldNotBegun, FieldBegun, QuoteMet };

    static bool isBlank(char c) { return c == ' ' || c == '\t'; }

    static bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

    void take(char c) {
        switch (m_state) {
        case State::RowNotBegun:
        case State::FieldNotBegun:
            if (isBlank(c)) {
                return;
            }
            if (isLineEnd(c)) {
                if (m_state == State::FieldNotBegun) {
                    endField();
                    endRecord();
                }
                return;
            }
            if (m_state == State::RowNotBegun) {
                m_recordLine = m_line;
                m_recordBytes = 1;
            }
            if (c == ',') {
                endField();
                m_state = State::FieldNotBegun;
            } else if (c == '"') {
                m_state = State::FieldBegun;
                m_quoted = true;
            } else {
                m_state = State::FieldBegun;
                m_quoted = false;
                append(c);
            }
            return;
        case State::FieldBegun:
            if (m_quoted) {
                if (c == '"') {
                    m_state = State::QuoteMet;
                    m_blanks = 0;
                } else {
                    append(c);
                }
            } else if (c == ',') {
                endField();
                m_state = State::FieldNotBegun;
            } else if (isLineEnd(c)) {
                endField();
                endRecord();
            } else {
                append(c);
                m_blanks = isBlank(c) ? m_blanks + 1 : 0;
            }
            return;
        case State::QuoteMet:
            // After the quote that may close the field: a second quote is a quote of the text,
            // blanks are dropped before the comma or the line end.
            if (c == '"' && m_blanks == 0) {
                append('"');
                m_state = State::FieldBegun;
            } else if (c == ',') {
                m_blanks = 0;
                endField();
                m_state = State::FieldNotBegun;
            } else if (isLineEnd(c)) {
                m_blanks = 0;
                endField();
                endRecord();
            } else if (isBlank(c)) {
                ++m_blanks;
            } else {
                fault(m_recordLine, unclosedQuote());
            }
            return;
        }
    }

    // The bytes from the start of `bytes` that a field being read takes as they are: up to a
    // comma or a line end outside quotes, up to a quote or a line end within them.
    size_t plainRun(std::string_view bytes) const {
        size_t n = 0;
        if (m_quoted) {
            while (n < bytes.size() && bytes[n] != '"' && !isLineEnd(bytes[n])) {
                ++n;
            }
        } else {
            while (n < bytes.size() && bytes[n] != ',' && !isLineEnd(bytes[n])) {
                ++n;
            }
        }
        return n;
    }

    void appendRun(std::string_view run) {
        m_previousCr = false;
        m_recordBytes += run.size();
        if (m_recordBytes > kMaxLine) {
            lineTooLong();
            return;
        }
        if (!m_quoted) {
            size_t trailing = 0;
            while (trailing < run.size() && isBlank(run[run.size() - 1 - trailing])) {
                ++trailing;
            }
            m_blanks = trailing == run.size() ? m_blanks + trailing : trailing;
        }
        m_text.append(run);
        checkFieldLength();
    }

    void lineTooLong() {
        fault(m_recordLine,
              fmt::format("la riga è più lunga di {} MB: il file non è un CSV valido",
                          kMaxLine >> 20));
    }

    std::string unclosedQuote() const {
        return fmt::format("virgolette non chiuse nel campo {} (le virgolette dentro un campo "
                           "tra virgolette vanno raddoppiate)",
                           fieldName(m_ends.size()));
    }

    // "stop_name" when the header names the field, "3" otherwise.
    std::string fieldName(size_t field) const {
        if (m_headerRead && field < m_header.size()) {
            return fmt::format("\"{}\"", m_header[field]);
        }
        return std::to_string(field + 1);
    }

    void append(char c) {
        m_text += c;
        checkFieldLength();
    }

    void checkFieldLength() {
        const size_t start = m_ends.empty() ? 0 : m_ends.back();
        if (m_text.size() - start > kMaxField) {
            fault(m_recordLine,
                  fmt::format("il campo {} è più lungo di {} MB{}",
                              fieldName(m_ends.size()),
                              kMaxField >> 20,
                              m_quoted ? " (virgolette non chiuse?)" : ""));
        }
    }

    // The field ends: unquoted, without the blanks that followed its text.
    void endField() {
        if (!m_quoted) {
            m_text.resize(m_text.size() - m_blanks);
        }
        m_blanks = 0;
        m_quoted = false;
        m_ends.push_back(m_text.size());
    }

    void endRecord() {
        m_state = State::RowNotBegun;
        if (!m_stopped) {
            m_fields.clear();
            size_t start = 0;
            for (const size_t end : m_ends) {
                m_fields.emplace_back(m_text.data() + start, end - start);
                start = end;
            }
            if (!m_headerRead) {
                readHeader();
            } else {
                const CsvRecord record(m_recordLine, m_fields, m_columns);
                if (!m_row(record, m_error)) {
                    if (m_error.file.empty()) {
                        m_error.file = m_file;
                    }
                    if (m_error.line == 0) {
                        m_error.line = m_recordLine;
                    }
                    m_stopped = true;
                }
            }
        }
        m_text.clear();
        m_ends.clear();
    }

    // The header: where each wanted column is, the required ones present.
    void readHeader() {
        m_headerRead = true;
        m_columns.assign(m_wanted.size(), -1);
        if (m_byPosition) {
            for (size_t c = 0; c < m_columns.size(); ++c) {
                m_columns[c] = static_cast<int>(c);
            }
            return;
        }
        for (size_t i = 0; i < m_fields.size(); ++i) {
            std::string_view name = m_fields[i];
            while (!name.empty() && isBlank(name.back())) {
                name.remove_suffix(1);
            }
            m_header.emplace_back(name);
            for (size_t c = 0; c < m_wanted.size(); ++c) {
                if (m_wanted[c] == name && m_columns[c] < 0) {
                    m_columns[c] = static_cast<int>(i);
                }
            }
        }
        for (size_t c = 0; c < m_required; ++c) {
            if (m_columns[c] < 0) {
                fault(m_recordLine,
                      fmt::format("manca la colonna obbligatoria \"{}\"", m_wanted[c]));
                return;
            }
        }
    }

    void fault(long line, std::string text) {
        if (!m_stopped) {
            m_error = {std::string(m_file), line, std::move(text)};
            m_stopped = true;
        }
    }

    std::string_view m_file;
    const std::vector<std::string_view>& m_wanted;
    size_t m_required;
    bool m_byPosition;
    const std::function<bool(const CsvRecord&, FeedError&)>& m_row;
    FeedError& m_error;

    State m_state = State::RowNotBegun;
    bool m_quoted = false;
    size_t m_blanks = 0;        // blanks at the end of the field's text so far
    std::string m_text;         // the record's fields one after the other
    std::vector<size_t> m_ends; // where each field ends in m_text
    std::vector<std::string_view> m_fields;
    std::vector<std::string> m_header;
    std::vector<int> m_columns;
    bool m_headerRead = false;
    bool m_stopped = false;
    long m_line = 1; // the line of the byte being read
    bool m_previousCr = false;
    long m_recordLine = 0; // the line where the record began
    size_t m_recordBytes = 0;
};

} // namespace

bool readCsv(const CsvInput& input,
             const std::vector<std::string_view>& columns,
             size_t required,
             const std::function<bool(const CsvRecord&, FeedError&)>& row,
             FeedError& error,
             bool byPosition) {
    CsvParser parser(input.file(), columns, required, byPosition, row, error);
    bool first = true;
    bool going = true;
    const bool read = input.read(
        [&](std::string_view bytes) {
            if (first) {
                first = false;
                if (bytes.starts_with("\xEF\xBB\xBF")) {
                    bytes.remove_prefix(3);
                }
            }
            going = parser.feed(bytes);
            return going;
        },
        error);
    return read && going && parser.finish();
}

} // namespace tramela::comm::gtfs
