#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tramela::comm::gtfs {

// Every adaptation made to fit the feed into the tables, by kind, in the order first met, with
// the first ten examples of each.
class Adaptations {
public:
    void add(const std::string& kind, std::string example);

    // "Nessun adattamento ..." or the list of kinds with their counts and examples.
    std::string text() const;

private:
    static constexpr size_t kExamples = 10;

    struct Entry {
        size_t count = 0;
        std::vector<std::string> examples;
    };

    std::map<std::string, Entry> m_byKind;
    std::vector<std::string> m_order;
};

// The UTF-8 text with every character that Latin-1 cannot hold (and every invalid byte and
// control character) replaced by "?": the exchange files are written one byte per character.
// `changed` is set when a character was replaced.
std::string latin1Safe(std::string_view text, bool& changed);

// The first `limit` characters of a UTF-8 text; `cut` is set when it was longer.
std::string cutChars(std::string_view text, size_t limit, bool& cut);

size_t charCount(std::string_view text);

// A text made fit for a column of `limit` characters: control characters (a line feed in a
// quoted field, a tab) made blanks, Latin-1 only, cut to the limit; each change is reported
// under the column's name (`what`).
std::string
fitText(std::string_view text, size_t limit, std::string_view what, Adaptations& adaptations);

// The codes given so far in one column, and how to give the next one.
class CodeSet {
public:
    // A code unique in the set and within `limit` characters: the text itself when it fits and
    // is free, otherwise its beginning followed by "~" and the first number that makes it unique
    // ("una-corsa-molto-lunga" in 10 characters becomes "una-cors~1"). The change is reported
    // under `what` unless `reportChange` is false.
    std::string uniqueCode(std::string_view text,
                           size_t limit,
                           std::string_view what,
                           Adaptations& adaptations,
                           bool reportChange = true);

private:
    std::unordered_set<std::string> m_used;
    // The first number not yet tried by the texts that begin alike, by limit and beginning.
    std::unordered_map<std::string, int> m_nextNumber;
};

} // namespace tramela::comm::gtfs
