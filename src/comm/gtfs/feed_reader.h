#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::comm::gtfs {

// A fault met while reading a feed: the file, the line (1 is the header; 0 when the fault is
// the file's as a whole) and what is wrong, in the user's language.
struct FeedError {
    std::string file;
    long line = 0;
    std::string text;
};

// The files of a feed, from a folder or from a zip archive (found at its root or inside one
// folder of it). Reading streams the bytes; nothing is kept in memory beyond one chunk.
class FeedSource {
public:
    ~FeedSource();
    FeedSource(FeedSource&&) noexcept;
    FeedSource& operator=(FeedSource&&) noexcept;

    // A folder, or a file that must be a zip archive; the fault when it is neither.
    static std::optional<FeedSource> open(const std::filesystem::path& feed, FeedError& error);

    bool has(std::string_view name) const;
    // Hands the file's bytes to `chunk` in order until it gives false; false (and the fault)
    // when the file cannot be read.
    bool read(std::string_view name,
              const std::function<bool(std::string_view)>& chunk,
              FeedError& error) const;

private:
    struct Archive;

    FeedSource() = default;

    std::filesystem::path m_folder;
    std::unique_ptr<Archive> m_archive;
};

// One CSV file to read: a file of a feed, or text in memory that stands for a file of that name
// (messages name it). Either way the reader sees the same bytes.
class CsvInput {
public:
    CsvInput(const FeedSource& source, std::string_view file)
        : m_source(&source)
        , m_file(file) {}

    CsvInput(std::string_view file, std::string_view text)
        : m_file(file)
        , m_text(text) {}

    std::string_view file() const { return m_file; }

    // Hands the bytes to `chunk` in order until it gives false; false (and the fault) when they
    // cannot be read.
    bool read(const std::function<bool(std::string_view)>& chunk, FeedError& error) const;

private:
    const FeedSource* m_source = nullptr;
    std::string_view m_file;
    std::string_view m_text;
};

// One record of a CSV file: its line number and its fields, reached by column name.
class CsvRecord {
public:
    CsvRecord(long line,
              const std::vector<std::string_view>& fields,
              const std::vector<int>& columns)
        : m_line(line)
        , m_fields(fields)
        , m_columns(columns) {}

    long line() const { return m_line; }

    // The field of the column asked for by its position in the list given to readCsv; empty
    // text when the file has no such column or the record is short.
    std::string_view operator[](size_t column) const;

    bool hasColumn(size_t column) const { return m_columns[column] >= 0; }

private:
    long m_line;
    const std::vector<std::string_view>& m_fields;
    const std::vector<int>& m_columns;
};

// Reads one CSV file of the feed (UTF-8 with or without BOM, quoted fields, CR LF, LF or CR;
// blank lines skipped): `columns` are the names the caller reads, the first `required` of which
// must be in the header. `row` is called for every record, with the line on which the record
// begins, and gives false (after filling the error) to stop. With `byPosition` the header is
// skipped whatever it says and `columns` are the first fields. Refused, naming the line: a quoted
// field whose quotes do not close (at the end of the file, or followed by anything but a comma,
// blanks or the line's end), a field over 1 MB, a record over 4 MB.
bool readCsv(const CsvInput& input,
             const std::vector<std::string_view>& columns,
             size_t required,
             const std::function<bool(const CsvRecord&, FeedError&)>& row,
             FeedError& error,
             bool byPosition = false);

} // namespace tramela::comm::gtfs
