#pragma once

#include <QString>

// The program's own texts by number, from resources/strings.tsv.
namespace StringTable {

inline constexpr int ProductDescription = 10001;
inline constexpr int Copyright = 10002;
inline constexpr int Reserved = 10003;
inline constexpr int Comments = 10004;
inline constexpr int WebAddress = 10005;
inline constexpr int EMail = 10006;
inline constexpr int PrintCredit = 10007;
inline constexpr int ClosePrompt = 11001;

// An unknown number gives an empty text.
QString LoadStr(int id);

}
