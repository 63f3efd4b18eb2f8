// 表 and ソ in a comment stay UTF-8: "表"
/* a block comment with "ソ" and 'x' */
const char* table = "表";              // trail byte 0x5C
const char* so = "ソ\"";               // trail byte 0x5C before an escaped quote
const char* none = "なし" "1";          // an octal escape never swallows a digit
const char* mixed = "a表b\\c";
const wchar_t* wide = L"表";
const char* utf8 = u8"表";
const char16_t* utf16 = u"表";
const char* raw = R"x(plain "ascii" text)x";
const wchar_t* wideRaw = LR"(表)";
const int thousand = 1'000'000;
const char quote = '\'';
const char* afterSeparator = "ー";
