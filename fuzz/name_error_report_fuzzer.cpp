// nmerr.html built for rows read from the input as cr.x, plus one row whose
// name field is the whole input (any bytes, line breaks and NULs included).
//
// Invariants: the page holds exactly as many '<', '>' and '"' as its fixed
// markup and the red runs of the marked names bring, so no byte of a name ever
// becomes markup; every '&' starts one of the four references; a marked name
// reads back as the name once its tags are dropped and its references resolved,
// with one pair of tags per run of non-alphanumerics; the row count is stated.
#include "fuzz_support.h"
#include "registrar/name_error_report.h"
#include "registrar/registration_file.h"
#include "registrar/registration_names.h"

namespace {

using registrar::Entry;

const std::string kRedRunOpen = "<FONT COLOR = \"#FF0000\"><B>";
const std::string kRedRunClose = "</B></FONT>";

// Runs of characters that are not a-z, A-Z, 0-9; a lead byte takes the byte
// after it along, whatever that byte is.
std::size_t RedRuns(const std::string& text) {
    std::size_t runs = 0;
    bool open = false;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const char c = text[pos];
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alphanumeric) {
            open = false;
            continue;
        }
        if (!open) ++runs;
        open = true;
        if (fuzz::IsCp932LeadByte(c) && pos + 1 < text.size()) ++pos;
    }
    return runs;
}

// Appends the character that the reference at `pos` stands for and steps past
// it; false when no reference starts there.
bool TakeReference(const std::string& text, std::size_t& pos, std::string& plain) {
    static const std::pair<std::string, char> kReferences[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    if (text[pos] != '&') return false;
    for (const auto& [reference, character] : kReferences) {
        if (text.compare(pos, reference.size(), reference) == 0) {
            plain += character;
            pos += reference.size();
            return true;
        }
    }
    return false;
}

std::string Unescape(const std::string& text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        if (!TakeReference(text, pos, plain)) plain += text[pos++];
    }
    return plain;
}

// A marked name read back: its tags dropped and counted, its references resolved.
struct Unmarked {
    std::string text;
    std::size_t opened = 0;
    std::size_t closed = 0;
    bool reopened = false;  // a run opened right where one was closed
};

Unmarked Unmark(const std::string& marked) {
    Unmarked result;
    result.text.reserve(marked.size());
    bool justClosed = false;
    for (std::size_t pos = 0; pos < marked.size();) {
        if (marked[pos] == '<' && marked.compare(pos, kRedRunOpen.size(), kRedRunOpen) == 0) {
            result.reopened = result.reopened || justClosed;
            ++result.opened;
            pos += kRedRunOpen.size();
            justClosed = false;
        } else if (marked[pos] == '<' && marked.compare(pos, kRedRunClose.size(), kRedRunClose) == 0) {
            ++result.closed;
            pos += kRedRunClose.size();
            justClosed = true;
        } else {
            if (!TakeReference(marked, pos, result.text)) result.text += marked[pos++];
            justClosed = false;
        }
    }
    return result;
}

void CheckMarked(const std::string& text) {
    const std::string marked = registrar::MarkNonAlphanumerics(text);
    const std::size_t runs = RedRuns(text);
    const Unmarked plain = Unmark(marked);
    FUZZ_CHECK(plain.opened == runs && plain.closed == runs && !plain.reopened);
    FUZZ_CHECK(fuzz::CountOf(marked, '<') == 4 * runs);
    FUZZ_CHECK(plain.text == text);

    const std::string escaped = registrar::EscapeHtml(text);
    FUZZ_CHECK(escaped.find_first_of("<>\"") == std::string::npos);
    FUZZ_CHECK(Unescape(escaped) == text);
}

// Every '&' begins a reference.
bool AmpersandsAreReferences(const std::string& page) {
    for (auto pos = page.find('&'); pos != std::string::npos; pos = page.find('&', pos + 1)) {
        const bool reference = page.compare(pos, 5, "&amp;") == 0 || page.compare(pos, 4, "&lt;") == 0 ||
                               page.compare(pos, 4, "&gt;") == 0 || page.compare(pos, 6, "&quot;") == 0;
        if (!reference) return false;
    }
    return true;
}

// How many '<', '>' and '"' a text holds, in one pass.
struct Markup {
    std::size_t open = 0;
    std::size_t close = 0;
    std::size_t quotes = 0;
};

Markup MarkupOf(const std::string& text) {
    Markup markup;
    for (char c : text) {
        markup.open += c == '<';
        markup.close += c == '>';
        markup.quotes += c == '"';
    }
    return markup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::BytesOf(data, size);
    std::vector<Entry> rows = registrar::ParseRegistrationFile(bytes);
    rows.push_back({bytes, "C:\\"});
    const registrar::ReportTime time{2000, 7, 23, 9, 5, 3};
    // The fixed markup of a page without rows, counted once.
    static const Markup fixed = MarkupOf(registrar::BuildNameErrorReport({}, time));

    const std::string page = registrar::BuildNameErrorReport(rows, time);

    // Per row: five <BR> and two quotes around the file name; per red run an
    // opening tag (two '<', two '>', two '"') and a closing one (two '<', two '>').
    std::size_t runs = 0;
    for (const Entry& row : rows) {
        const registrar::NameFieldParts parts = registrar::SplitNameField(row.nameField);
        const registrar::FileNameParts file = registrar::SplitFileName(parts.fileName);
        CheckMarked(file.baseName);
        CheckMarked(parts.registrationName);
        runs += 2 * RedRuns(file.baseName) + RedRuns(parts.registrationName);
    }
    const Markup markup = MarkupOf(page);
    FUZZ_CHECK(markup.open == fixed.open + 5 * rows.size() + 4 * runs);
    FUZZ_CHECK(markup.close == fixed.close + 5 * rows.size() + 4 * runs);
    FUZZ_CHECK(markup.quotes == fixed.quotes + 2 * rows.size() + 2 * runs);
    FUZZ_CHECK(AmpersandsAreReferences(page));
    FUZZ_CHECK(page.find("今回、以下の " + std::to_string(rows.size()) + " 個") != std::string::npos);
    return 0;
}
