// nmerr.html: the page that explains the naming rule and shows, in red bold,
// the characters of each refused name that are not alphanumerics.
#pragma once

#include <string>
#include <vector>

#include "common/file_store.h"
#include "registrar/registration_file.h"

namespace registrar {

constexpr const char* kNameErrorReportFileName = "nmerr.html";

// 0 for a-z, A-Z, 0-9; 2 for the lead byte of a double-byte character (the fixed
// cp932 table); 1 for any other byte.
int ClassifyByte(unsigned char byte);

// Text as it goes into the page: & < > " become character references.
std::string EscapeHtml(const std::string& text);

// Wraps every run of non-alphanumeric characters, single- or double-byte, in one
// pair of red bold tags. The text's own bytes come out HTML-escaped: a name is
// data, never markup.
std::string MarkNonAlphanumerics(const std::string& text);

// The local time read once when the page is built.
struct ReportTime {
    int year = 0;
    int month = 0;   // 1-12
    int day = 0;
    int hour = 0;    // 0-23
    int minute = 0;
    int second = 0;
};

// The whole page, cp932 bytes, no line breaks: one block per row (the row's
// name field as the name-check dialog shows it, and its entry's folder text).
std::string BuildNameErrorReport(const std::vector<Entry>& rows, const ReportTime& time);

// Replaces the page at `path`; true when it was written, and only then is it
// to be opened.
bool WriteNameErrorReport(FileStore& store, const std::string& path, const std::vector<Entry>& rows,
                          const ReportTime& time);

}  // namespace registrar
